#pragma once
// The resampling filters behind Resample, and the small owners they share.
// Every filter takes a 24-bit picture (bottom-up rows padded to 4 bytes) and
// returns a new buffer from the pixel allocator, or null with everything it
// allocated released. Sizes are > 0 and the target buffer size has been
// checked by Resample before any filter runs.
#include <cstddef>
#include <cstdint>

#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "scale/scaling.h"

namespace qdx {

// `pool` (or none) shares the lines of each pass among threads.
uint8_t* AreaAverageResample(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight, uint32_t targetWidth,
                             uint32_t targetHeight, WorkerPool* pool = nullptr);
uint8_t* BicubicResample(ScalingState& state, const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                         uint32_t targetWidth, uint32_t targetHeight);
uint8_t* NearestResample(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight, uint32_t targetWidth,
                         uint32_t targetHeight);

inline uint32_t Stride24(uint32_t width) { return RowStride(width, 24); }

// A typed block from the private heap (zero-filled), released when the owner goes.
template <typename T>
class PrivateArray {
public:
    // False when the count overflows or memory is short.
    bool Allocate(size_t count) {
        memory_.Reset();
        return count != 0 && count <= SIZE_MAX / sizeof(T) && memory_.Allocate(count * sizeof(T));
    }
    T* get() const { return reinterpret_cast<T*>(memory_.Get()); }
    T& operator[](size_t i) const { return get()[i]; }

private:
    os::HeapMemory memory_;
};

// A 24-bit pixel buffer from the pixel allocator, released unless handed on.
class PixelBlock {
public:
    bool Allocate(uint32_t width, uint32_t height) {
        uint32_t size = 0;
        memory_.Reset();
        return PixelBufferSize(width, height, 24, size) && memory_.Allocate(size);
    }
    void Reset() { memory_.Reset(); }
    // Takes ownership of `pixels`, releasing what was held.
    void Adopt(uint8_t* pixels) { memory_.Reset(pixels); }
    uint8_t* get() const { return memory_.Get(); }
    [[nodiscard]] uint8_t* Release() { return memory_.Release(); }

private:
    os::PixelMemory memory_;
};

}  // namespace qdx
