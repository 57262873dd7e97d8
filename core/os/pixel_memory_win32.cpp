// Pixel buffers on Windows: whole committed pages from VirtualAlloc.
//
// Large pages need a privilege a user does not have, so a batch saves its
// page faults another way: a buffer of a megabyte or more that is freed is
// kept (under a lock, since the workers of a batch allocate at the same time)
// and handed out again, zeroed here, to the next request it fits. Its pages
// stay committed and mapped, so the next picture touches memory that is
// already there. ReleaseKeptPixels gives them back when the batch ends.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

#include "core/os/kept_regions.h"
#include "core/os/os.h"

namespace qdx::os {

namespace {

SRWLOCK g_keptLock = SRWLOCK_INIT;
KeptRegions g_kept;

class KeptLock {
public:
    KeptLock() { ::AcquireSRWLockExclusive(&g_keptLock); }
    ~KeptLock() { ::ReleaseSRWLockExclusive(&g_keptLock); }
    KeptLock(const KeptLock&) = delete;
    KeptLock& operator=(const KeptLock&) = delete;
};

void ReleaseRegion(void* base) {
    if (!base) return;
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(base, &info, sizeof info)) ::VirtualFree(base, info.RegionSize, MEM_DECOMMIT);
    ::VirtualFree(base, 0, MEM_RELEASE);
}

// Pixels from a kept region when one fits, else freshly committed (zero);
// a kept region is cleared only when `zeroed`.
void* TakePixels(size_t size, bool zeroed) {
    if (size == 0) return nullptr;
    if (size >= kMinKeptBytes) {
        KeptRegion kept;
        {
            KeptLock lock;
            kept = TakeKeptRegion(g_kept, size);
        }
        if (kept.base) {
            if (zeroed) std::memset(kept.base, 0, size);
            return kept.base;
        }
    }
    if (void* fresh = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) return fresh;
    // The buffers kept for later pictures go back before this one fails.
    ReleaseKeptPixels();
    return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

}  // namespace

void* AllocatePixels(size_t size) { return TakePixels(size, true); }
void* AllocatePixelsForOverwrite(size_t size) { return TakePixels(size, false); }

void FreePixels(void* pixels) {
    if (!pixels) return;
    MEMORY_BASIC_INFORMATION info;
    KeptRegion release{pixels, 0};
    if (::VirtualQuery(pixels, &info, sizeof info)) {
        KeptLock lock;
        release = KeepRegion(g_kept, KeptRegion{pixels, info.RegionSize});
    }
    ReleaseRegion(release.base);
}

void ReleaseKeptPixels() {
    KeptRegion kept[kKeptSlots];
    {
        KeptLock lock;
        TakeAllKeptRegions(g_kept, kept);
    }
    for (const KeptRegion& region : kept) ReleaseRegion(region.base);
}

}  // namespace qdx::os
