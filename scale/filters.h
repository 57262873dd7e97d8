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

// A block from the private heap (zero-filled), released when the owner goes.
template <typename T>
class PrivateArray {
public:
    PrivateArray() = default;
    PrivateArray(const PrivateArray&) = delete;
    PrivateArray& operator=(const PrivateArray&) = delete;
    ~PrivateArray() { os::PrivateFree(data_); }

    // False when the count overflows or memory is short.
    bool Allocate(size_t count) {
        os::PrivateFree(data_);
        data_ = nullptr;
        if (count == 0 || count > SIZE_MAX / sizeof(T)) return false;
        data_ = static_cast<T*>(os::PrivateAlloc(count * sizeof(T)));
        return data_ != nullptr;
    }
    T* get() const { return data_; }
    T& operator[](size_t i) const { return data_[i]; }

private:
    T* data_ = nullptr;
};

// A 24-bit pixel buffer from the pixel allocator, released unless handed on.
class PixelBlock {
public:
    PixelBlock() = default;
    PixelBlock(const PixelBlock&) = delete;
    PixelBlock& operator=(const PixelBlock&) = delete;
    ~PixelBlock() { Reset(); }

    bool Allocate(uint32_t width, uint32_t height) {
        Reset();
        data_ = AllocatePixelBuffer(width, height, 24);
        return data_ != nullptr;
    }
    void Reset() {
        if (data_) os::FreePixels(data_);
        data_ = nullptr;
    }
    // Takes ownership of `pixels`, releasing what was held.
    void Adopt(uint8_t* pixels) {
        Reset();
        data_ = pixels;
    }
    uint8_t* get() const { return data_; }
    uint8_t* Release() {
        uint8_t* p = data_;
        data_ = nullptr;
        return p;
    }

private:
    uint8_t* data_ = nullptr;
};

}  // namespace qdx
