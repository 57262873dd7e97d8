#pragma once
// Large pixel regions freed during a batch, kept mapped for the next picture.
// A batch frees and allocates pictures of a handful of sizes again and again;
// a kept region spares the next one its page faults and the system its page
// clearing. The slots are plain data: the caller holds its own lock around
// every call.
#include <cstddef>

namespace qdx::os {

constexpr size_t kKeptSlots = 8;
// Below this, a fresh mapping is cheap enough.
constexpr size_t kMinKeptBytes = size_t(1) << 20;

struct KeptRegion {
    void* base = nullptr;
    size_t size = 0;  // mapped bytes
};

struct KeptRegions {
    KeptRegion slots[kKeptSlots];
};

// The smallest kept region of at least `size` bytes that wastes no more than
// half of itself, taken out of the slots; an empty region when none fits.
KeptRegion TakeKeptRegion(KeptRegions& kept, size_t size);

// Keeps `region` in an empty slot or in place of the smallest smaller one.
// Returns what the caller must now release: the region displaced, or
// `region` itself when it is not kept (too small, or every kept one is larger).
KeptRegion KeepRegion(KeptRegions& kept, KeptRegion region);

// Empties the slots into `out` (kKeptSlots entries) for the caller to release.
void TakeAllKeptRegions(KeptRegions& kept, KeptRegion* out);

}  // namespace qdx::os
