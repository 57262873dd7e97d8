// Pixel buffers on Windows: whole committed pages from VirtualAlloc.
//
// Large pages need a privilege a user does not have, so a batch saves its
// page faults another way: a buffer of a megabyte or more that is freed is
// kept (a few of them, under a lock, since the workers of a batch allocate at
// the same time) and handed out again, zeroed here, to the next request it
// fits. Its pages stay committed and mapped, so the next picture touches
// memory that is already there. ReleaseKeptPixels gives them back when the
// batch ends.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

#include "core/os/os.h"

namespace qdx::os {

namespace {

constexpr size_t kKeptSlots = 4;
constexpr size_t kMinKeptBytes = size_t(1) << 20;

struct KeptRegion {
    void* base = nullptr;
    size_t size = 0;  // committed bytes
};

SRWLOCK g_keptLock = SRWLOCK_INIT;
KeptRegion g_kept[kKeptSlots];

class KeptLock {
public:
    KeptLock() { ::AcquireSRWLockExclusive(&g_keptLock); }
    ~KeptLock() { ::ReleaseSRWLockExclusive(&g_keptLock); }
    KeptLock(const KeptLock&) = delete;
    KeptLock& operator=(const KeptLock&) = delete;
};

void ReleaseRegion(void* base) {
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(base, &info, sizeof info)) ::VirtualFree(base, info.RegionSize, MEM_DECOMMIT);
    ::VirtualFree(base, 0, MEM_RELEASE);
}

// The smallest kept region that holds `size` bytes without wasting more than
// half of itself, taken out of the keep; null when there is none.
void* TakeKept(size_t size) {
    KeptLock lock;
    KeptRegion* best = nullptr;
    for (KeptRegion& kept : g_kept)
        if (kept.base && kept.size >= size && kept.size / 2 <= size && (!best || kept.size < best->size)) best = &kept;
    if (!best) return nullptr;
    void* base = best->base;
    *best = KeptRegion{};
    return base;
}

// Keeps a freed region in an empty slot, or in place of a smaller one (which
// is returned); false when it is not kept.
bool Keep(void* base, size_t size) {
    void* dropped = nullptr;
    {
        KeptLock lock;
        KeptRegion* slot = nullptr;
        for (KeptRegion& kept : g_kept)
            if (!kept.base || !slot || (slot->base && kept.size < slot->size)) slot = &kept;
        if (slot->base && slot->size >= size) return false;
        dropped = slot->base;
        *slot = KeptRegion{base, size};
    }
    if (dropped) ReleaseRegion(dropped);
    return true;
}

}  // namespace

void* AllocatePixels(size_t size) {
    if (size == 0) return nullptr;
    if (size >= kMinKeptBytes) {
        if (void* kept = TakeKept(size)) {
            std::memset(kept, 0, size);
            return kept;
        }
    }
    return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreePixels(void* pixels) {
    if (!pixels) return;
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(pixels, &info, sizeof info) && info.RegionSize >= kMinKeptBytes &&
        Keep(pixels, info.RegionSize))
        return;
    ReleaseRegion(pixels);
}

void ReleaseKeptPixels() {
    KeptRegion kept[kKeptSlots];
    {
        KeptLock lock;
        for (size_t i = 0; i < kKeptSlots; ++i) {
            kept[i] = g_kept[i];
            g_kept[i] = KeptRegion{};
        }
    }
    for (const KeptRegion& region : kept)
        if (region.base) ReleaseRegion(region.base);
}

}  // namespace qdx::os
