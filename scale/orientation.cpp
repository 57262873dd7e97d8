#include "scale/orientation.h"

#include <cstring>
#include <utility>

namespace qdx {
namespace {

constexpr uint32_t kMirrored = 2;       // left and right swapped
constexpr uint32_t kHalfTurn = 3;
constexpr uint32_t kFlipped = 4;        // top and bottom swapped
constexpr uint32_t kTransposed = 5;     // rows stored as columns, first row on the left
constexpr uint32_t kQuarterTurn = 6;    // turn clockwise to view
constexpr uint32_t kTransversed = 7;
constexpr uint32_t kThreeQuarterTurn = 8;  // turn anticlockwise to view

// The stored position (top-down) of the upright pixel (u, v), for a stored
// picture of width x height.
inline void StoredPosition(uint32_t orientation, uint32_t width, uint32_t height, uint32_t u, uint32_t v,
                           uint32_t& x, uint32_t& y) {
    switch (orientation) {
    case kMirrored: x = width - 1 - u, y = v; break;
    case kHalfTurn: x = width - 1 - u, y = height - 1 - v; break;
    case kFlipped: x = u, y = height - 1 - v; break;
    case kTransposed: x = v, y = u; break;
    case kQuarterTurn: x = v, y = height - 1 - u; break;
    case kTransversed: x = width - 1 - v, y = height - 1 - u; break;
    case kThreeQuarterTurn: x = width - 1 - v, y = u; break;
    default: x = u, y = v; break;
    }
}

}  // namespace

bool OrientImage(DecodedImage& image, uint32_t orientation) {
    if (orientation == 1) return true;
    if (orientation < kMirrored || orientation > kThreeQuarterTurn || !image.pixels) return false;
    const uint16_t bitCount = image.header.biBitCount;
    if (bitCount != 8 && bitCount != 24) return false;
    if (image.header.biWidth <= 0 || image.header.biHeight <= 0) return false;
    const uint32_t width = uint32_t(image.header.biWidth), height = uint32_t(image.header.biHeight);
    const bool swapsSides = orientation >= kTransposed;
    const uint32_t newWidth = swapsSides ? height : width, newHeight = swapsSides ? width : height;
    uint32_t size = 0;
    if (!PixelBufferSize(newWidth, newHeight, bitCount, size)) return false;
    os::PixelMemory turned = AllocatePixelRows(newWidth, newHeight, bitCount);  // every pixel is copied
    if (!turned) return false;

    const uint32_t bytes = bitCount / 8;
    const uint32_t stride = RowStride(width, bitCount), newStride = RowStride(newWidth, bitCount);
    for (uint32_t v = 0; v < newHeight; ++v) {
        uint8_t* out = turned.Get() + uint64_t(newHeight - 1 - v) * newStride;  // rows are stored bottom-up
        for (uint32_t u = 0; u < newWidth; ++u) {
            uint32_t x = 0, y = 0;
            StoredPosition(orientation, width, height, u, v, x, y);
            const uint8_t* in = image.pixels.Get() + uint64_t(height - 1 - y) * stride + uint64_t(x) * bytes;
            std::memcpy(out + uint64_t(u) * bytes, in, bytes);
        }
    }
    image.pixels = std::move(turned);
    image.header.biWidth = int32_t(newWidth);
    image.header.biHeight = int32_t(newHeight);
    if (image.header.biSizeImage != 0) image.header.biSizeImage = size - 4;
    if (swapsSides) std::swap(image.header.biXPelsPerMeter, image.header.biYPelsPerMeter);
    return true;
}

}  // namespace qdx
