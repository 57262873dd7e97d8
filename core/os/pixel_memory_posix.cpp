// Pixel buffers on POSIX systems: anonymous mappings, zero-filled.
//
// A large picture sits on whole, aligned huge pages where the system grants
// them (2 MiB per page fault instead of 4 KiB), and a freed buffer of a
// megabyte or more is kept for the next picture it fits, as on Windows, so
// that a batch stops faulting in and clearing fresh memory for every file.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/os/kept_regions.h"
#include "core/os/os.h"

namespace qdx::os {

#if defined(QDX_PIXELS_FROM_HEAP)
// Sanitizer and fuzz builds take pixel buffers from the instrumented heap, so
// that an overrun anywhere past a buffer's end is reported; whole pages would
// hide one that stays inside the last page.
void* AllocatePixels(size_t size) { return size == 0 ? nullptr : std::calloc(1, size); }
void* AllocatePixelsForOverwrite(size_t size) { return AllocatePixels(size); }
void FreePixels(void* pixels) { std::free(pixels); }
void ReleaseKeptPixels() {}
#else

namespace {

// A buffer carries its mapped size in a small header before the pixels.
constexpr size_t kPixelHeader = 64;
constexpr size_t kHugePageBytes = size_t(2) << 20;

std::mutex g_keptLock;
KeptRegions g_kept;

size_t MappedSize(const void* base) {
    size_t total;
    std::memcpy(&total, base, sizeof total);
    return total;
}

void Unmap(const KeptRegion& region) {
    if (region.base) ::munmap(region.base, region.size);
}

// A fresh mapping of `total` bytes; one of whole huge pages starts on a huge
// page boundary, since only aligned whole huge pages can be huge.
uint8_t* MapFresh(size_t total) {
    if (total < kHugePageBytes) {
        void* base = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return base == MAP_FAILED ? nullptr : static_cast<uint8_t*>(base);
    }
    const size_t mapped = total + kHugePageBytes;
    void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto* start = static_cast<uint8_t*>(raw);
    const size_t head = (kHugePageBytes - reinterpret_cast<uintptr_t>(start) % kHugePageBytes) % kHugePageBytes;
    if (head) ::munmap(start, head);
    if (mapped - head > total) ::munmap(start + head + total, mapped - head - total);
    // A refusal changes nothing but the speed.
    ::madvise(start + head, total, MADV_HUGEPAGE);
    return start + head;
}

// Pixels from a kept region when one fits, else from a fresh (zero) mapping;
// a kept region is cleared only when `zeroed`.
void* TakePixels(size_t size, bool zeroed) {
    if (size == 0 || size > SIZE_MAX - kPixelHeader - 2 * kHugePageBytes) return nullptr;
    size_t total = size + kPixelHeader;
    if (total >= kHugePageBytes) total = (total + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    if (total >= kMinKeptBytes) {
        KeptRegion kept;
        {
            std::lock_guard<std::mutex> lock(g_keptLock);
            kept = TakeKeptRegion(g_kept, total);
        }
        if (kept.base) {
            auto* pixels = static_cast<uint8_t*>(kept.base) + kPixelHeader;
            if (zeroed) std::memset(pixels, 0, size);
            return pixels;
        }
    }
    uint8_t* base = MapFresh(total);
    if (!base) {
        // The buffers kept for later pictures go back before this one fails.
        ReleaseKeptPixels();
        base = MapFresh(total);
    }
    if (!base) return nullptr;
    std::memcpy(base, &total, sizeof total);
    return base + kPixelHeader;
}

}  // namespace

void* AllocatePixels(size_t size) { return TakePixels(size, true); }
void* AllocatePixelsForOverwrite(size_t size) { return TakePixels(size, false); }

void FreePixels(void* pixels) {
    if (!pixels) return;
    uint8_t* base = static_cast<uint8_t*>(pixels) - kPixelHeader;
    KeptRegion release{base, MappedSize(base)};
    {
        std::lock_guard<std::mutex> lock(g_keptLock);
        release = KeepRegion(g_kept, release);
    }
    Unmap(release);
}

void ReleaseKeptPixels() {
    KeptRegion kept[kKeptSlots];
    {
        std::lock_guard<std::mutex> lock(g_keptLock);
        TakeAllKeptRegions(g_kept, kept);
    }
    for (const KeptRegion& region : kept) Unmap(region);
}

#endif

}  // namespace qdx::os
