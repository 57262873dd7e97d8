#include "core/os/kept_regions.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qdx::os {
namespace {

constexpr size_t kMiB = size_t(1) << 20;

// Fake regions: only their addresses and sizes matter here.
KeptRegion Region(uintptr_t id, size_t mib) { return KeptRegion{reinterpret_cast<void*>(id * 4096), mib * kMiB}; }

TEST(KeptRegions, BestFitWithinHalfAndTheLargestStay) {
    KeptRegions kept;
    // Too small to keep: handed straight back.
    EXPECT_EQ(KeepRegion(kept, KeptRegion{reinterpret_cast<void*>(4096), kMinKeptBytes - 1}).size,
              kMinKeptBytes - 1);
    for (uintptr_t i = 0; i < kKeptSlots; ++i) EXPECT_EQ(KeepRegion(kept, Region(i + 1, 10 + i)).base, nullptr);
    // Full: a smaller region is refused, a larger one displaces the smallest.
    EXPECT_EQ(KeepRegion(kept, Region(90, 2)).base, Region(90, 2).base);
    EXPECT_EQ(KeepRegion(kept, Region(91, 60)).base, Region(1, 10).base);

    struct Want {
        size_t bytes;
        KeptRegion expected;
    };
    const Want wants[] = {
        {12 * kMiB, Region(3, 12)},      // exact
        {12 * kMiB, Region(4, 13)},      // the smallest that holds it
        {40 * kMiB, Region(91, 60)},     // wastes a third
        {5 * kMiB, KeptRegion{}},        // the smallest left (11) would waste more than half
        {100 * kMiB, KeptRegion{}},      // none holds it
    };
    for (const Want& want : wants) {
        const KeptRegion taken = TakeKeptRegion(kept, want.bytes);
        EXPECT_EQ(taken.base, want.expected.base) << want.bytes;
        EXPECT_EQ(taken.size, want.expected.size) << want.bytes;
    }
    KeptRegion all[kKeptSlots];
    TakeAllKeptRegions(kept, all);
    size_t left = 0;
    for (const KeptRegion& region : all) left += region.base != nullptr;
    EXPECT_EQ(left, kKeptSlots - 3);
    EXPECT_EQ(TakeKeptRegion(kept, 12 * kMiB).base, nullptr);
}

}  // namespace
}  // namespace qdx::os
