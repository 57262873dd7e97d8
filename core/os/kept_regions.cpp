#include "core/os/kept_regions.h"

namespace qdx::os {

KeptRegion TakeKeptRegion(KeptRegions& kept, size_t size) {
    KeptRegion* best = nullptr;
    for (KeptRegion& slot : kept.slots)
        if (slot.base && slot.size >= size && slot.size / 2 <= size && (!best || slot.size < best->size))
            best = &slot;
    if (!best) return KeptRegion{};
    const KeptRegion taken = *best;
    *best = KeptRegion{};
    return taken;
}

KeptRegion KeepRegion(KeptRegions& kept, KeptRegion region) {
    if (!region.base || region.size < kMinKeptBytes) return region;
    KeptRegion* slot = nullptr;
    for (KeptRegion& candidate : kept.slots)
        if (!slot || (slot->base && (!candidate.base || candidate.size < slot->size))) slot = &candidate;
    if (slot->base && slot->size >= region.size) return region;
    const KeptRegion displaced = *slot;
    *slot = region;
    return displaced;
}

void TakeAllKeptRegions(KeptRegions& kept, KeptRegion* out) {
    for (size_t i = 0; i < kKeptSlots; ++i) {
        out[i] = kept.slots[i];
        kept.slots[i] = KeptRegion{};
    }
}

}  // namespace qdx::os
