#include "core/decoded_image.h"

#include <cstring>

#include "core/os/os.h"

namespace qdx {

uint32_t RowStride(uint32_t width, uint32_t bitCount) {
    const uint64_t stride = ((uint64_t(width) * bitCount + 31) / 32) * 4;
    return stride > 0xFFFFFFFFu ? 0 : uint32_t(stride);
}

bool PixelBufferSize(uint32_t width, uint32_t height, uint32_t bitCount, uint32_t& size) {
    if (width == 0 || height == 0) return false;
    const uint64_t stride = ((uint64_t(width) * bitCount + 31) / 32) * 4;
    const uint64_t total = stride * height + 4;  // stride < 2^37, height < 2^32: no 64-bit overflow
    if (stride > 0xFFFFFFFFu || total > 0xFFFFFFFFu) return false;
    size = uint32_t(total);
    return true;
}

os::PixelMemory AllocatePixelBuffer(uint32_t width, uint32_t height, uint32_t bitCount) {
    os::PixelMemory buffer;
    uint32_t size = 0;
    if (PixelBufferSize(width, height, bitCount, size)) buffer.Allocate(size);
    return buffer;
}

os::PixelMemory AllocatePixelRows(uint32_t width, uint32_t height, uint32_t bitCount) {
    uint32_t size = 0;
    if (!PixelBufferSize(width, height, bitCount, size)) return os::PixelMemory();
    os::PixelMemory buffer(static_cast<uint8_t*>(os::AllocatePixelsForOverwrite(size)));
    if (!buffer) return buffer;
    const uint32_t stride = RowStride(width, bitCount);
    const uint32_t used = uint32_t((uint64_t(width) * bitCount + 7) / 8);
    if (used < stride)
        for (uint32_t y = 0; y < height; ++y) std::memset(buffer.Get() + uint64_t(y) * stride + used, 0, stride - used);
    std::memset(buffer.Get() + uint64_t(stride) * height, 0, size - uint64_t(stride) * height);
    return buffer;
}

void SetImageHeader(DecodedImage& image, int32_t width, int32_t height, uint16_t bitCount) {
    image.header = BITMAPINFOHEADER{};
    image.header.biSize = 40;
    image.header.biWidth = width;
    image.header.biHeight = height;
    image.header.biPlanes = 1;
    image.header.biBitCount = bitCount;
}

bool AssignEmbeddedBlock(EmbeddedBlock& block, const uint8_t* data, uint32_t size) {
    ClearEmbeddedBlock(block);
    if (size == 0 || !data || !block.bytes.Allocate(size)) return false;
    std::memcpy(block.bytes.Get(), data, size);
    block.size = size;
    return true;
}

void ClearEmbeddedBlock(EmbeddedBlock& block) {
    block.bytes.Reset();
    block.size = 0;
}

void ClearEmbeddedData(DecodedImage& image) {
    ClearEmbeddedBlock(image.iccProfile);
    ClearEmbeddedBlock(image.exif);
    image.cmykSamples.Reset();
    image.cmykInverted = 0;
}

}  // namespace qdx
