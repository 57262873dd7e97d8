#pragma once
// A bottom-up 24-bit picture that compresses like a photograph: smooth
// gradients with a little noise. Shared by the benchmarks that need one.
#include <cstdint>
#include <vector>

#include "core/decoded_image.h"

namespace qdx::bench {

inline std::vector<uint8_t> MakePhoto(int32_t width, int32_t height) {
    const uint32_t stride = RowStride(uint32_t(width), 24);
    std::vector<uint8_t> pixels(size_t(stride) * height + 4);
    uint32_t variant = 12345;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            variant = variant * 1103515245u + 12345u;
            const int noise = int((variant >> 16) & 7) - 3;
            uint8_t* p = &pixels[size_t(y) * stride + 3 * size_t(x)];
            p[0] = uint8_t((x * 255 / width + noise) & 0xFF);
            p[1] = uint8_t(((x + y) * 255 / (width + height) + noise) & 0xFF);
            p[2] = uint8_t((y * 255 / height + noise) & 0xFF);
        }
    return pixels;
}

}  // namespace qdx::bench
