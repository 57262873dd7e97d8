#pragma once
// 24-bit test pictures in the program's own layout (bottom-up rows padded to
// 4 bytes, from the pixel allocator), owned for the length of a test.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "core/decoded_image.h"
#include "core/os/owned_memory.h"

namespace qdx::test {

class Picture {
public:
    Picture() = default;
    // Adopts a pixel buffer of width x height, 24 bits.
    Picture(os::PixelMemory pixels, int32_t width, int32_t height)
        : pixels_(std::move(pixels)), width_(width), height_(height) {}
    Picture(int32_t width, int32_t height)
        : pixels_(AllocatePixelBuffer(uint32_t(width), uint32_t(height), 24)), width_(width), height_(height) {}

    uint8_t* pixels() const { return pixels_.Get(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t stride() const { return RowStride(uint32_t(width_), 24); }
    // Channel c (0 blue, 1 green, 2 red) of column x in stored row y.
    uint8_t& at(int32_t x, int32_t y, int c) const { return pixels_.Get()[size_t(y) * stride() + size_t(x) * 3 + c]; }
    bool SameAs(const uint8_t* other) const {
        for (int32_t y = 0; y < height_; ++y)
            if (std::memcmp(pixels_.Get() + size_t(y) * stride(), other + size_t(y) * stride(), size_t(width_) * 3) != 0)
                return false;
        return true;
    }

    // Every sample from f(x, storedRow, channel).
    template <typename F>
    static Picture Make(int32_t width, int32_t height, F f) {
        Picture p(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) p.at(x, y, c) = uint8_t(f(x, y, c));
        return p;
    }
    // One line of samples, all three channels alike, laid out across (a row)
    // or along the stored rows (a column).
    static Picture Row(const std::vector<int>& q) {
        return Make(int32_t(q.size()), 1, [&](int x, int, int) { return q[size_t(x)]; });
    }
    static Picture Column(const std::vector<int>& q) {
        return Make(1, int32_t(q.size()), [&](int, int y, int) { return q[size_t(y)]; });
    }

private:
    os::PixelMemory pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace qdx::test
