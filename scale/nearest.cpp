// Nearest neighbour: output (i, j) copies source column trunc((i + 0.5) * ratio)
// of stored row trunc((j + 0.5) * ratio), positions carried by adding ratio.
#include <cstring>

#include "scale/filters.h"

namespace qdx {

namespace {

// Source index for every output index of one direction.
bool NearestIndexes(uint32_t n, uint32_t m, os::HeapArray<uint32_t>& index) {
    if (!index.Allocate(m)) return false;
    const double ratio = double(n) / double(m);
    double x = 0.5 * ratio;
    for (uint32_t i = 0; i < m; ++i, x += ratio) {
        const uint32_t p = uint32_t(x);
        index[i] = p < n ? p : n - 1;  // rounding can never reach n, but never read past the line
    }
    return true;
}

}  // namespace

os::PixelMemory NearestResample(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                uint32_t targetWidth, uint32_t targetHeight) {
    os::HeapArray<uint32_t> columns, rows;
    if (!NearestIndexes(sourceWidth, targetWidth, columns) || !NearestIndexes(sourceHeight, targetHeight, rows))
        return {};
    for (uint32_t i = 0; i < targetWidth; ++i) columns[i] *= 3;  // byte offsets
    os::PixelMemory result = AllocatePixelBuffer(targetWidth, targetHeight, 24);
    if (!result) return {};
    const uint32_t sourceStride = Stride24(sourceWidth), targetStride = Stride24(targetWidth);
    const uint32_t rowBytes = targetWidth * 3;
    const uint32_t* offset = columns.Get();
    for (uint32_t j = 0; j < targetHeight; ++j) {
        uint8_t* out = result.Get() + size_t(j) * targetStride;
        if (j > 0 && rows[j] == rows[j - 1]) {  // enlarging: the same stored row again
            std::memcpy(out, out - targetStride, rowBytes);
            continue;
        }
        const uint8_t* in = source + size_t(rows[j]) * sourceStride;
        for (uint32_t i = 0; i < targetWidth; ++i, out += 3) {
            const uint8_t* p = in + offset[i];
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        }
    }
    return result;
}

}  // namespace qdx
