#pragma once
// Row layout of an 8- or 24-bit image and the conversions between the two,
// including colour reduction to at most 256 colours. Every writer state holds
// one; the squared-difference table is built on first use and kept.
#include <cstdint>

#include "core/bitmap_types.h"
#include "core/os/owned_memory.h"

namespace qdx {

struct PixelConverter {
    const RGBQUAD* paletteIn = nullptr;
    RGBQUAD* paletteOut = nullptr;
    const uint8_t* pixelsIn = nullptr;
    uint8_t* pixelsOut = nullptr;
    int32_t rowBytes = 0;    // pixel bytes of one row at targetDepth
    int32_t stride = 0;      // bytes from one row to the next at targetDepth
    int32_t workStride = 0;  // 4 * width
    uint32_t imageSize = 0;  // stride * height; 0 when over 32 bits
    os::PixelMemory workBuffer;                  // the 32-bit working copy of one reduction
    os::HeapArray<int32_t> squaredDifference;  // 511 entries, d = -255..255
    int32_t width = 0;
    int32_t height = 0;
    uint32_t sourceDepth = 0;
    uint32_t targetDepth = 0;
};

// The caller sets width and height first.
void SetLayout(PixelConverter& converter, uint32_t sourceDepth, uint32_t targetDepth);
// Width, height and layout for converting a picture with this header to
// `targetDepth`.
void SetLayoutFor(PixelConverter& converter, const BITMAPINFOHEADER& header, uint32_t targetDepth);
// 8->8, 24->24, 8->24 and 24->8 (colour reduction); false for anything else.
bool Convert(PixelConverter& converter, const RGBQUAD* paletteIn, const uint8_t* pixelsIn, RGBQUAD* paletteOut,
             uint8_t* pixelsOut);
// Reduces an 8- or 24-bit image to at most 256 colours, writing packed rows of
// width index bytes (bottom row first).
bool ReduceForGif(PixelConverter& converter, const RGBQUAD* paletteIn, const uint8_t* pixelsIn, RGBQUAD* paletteOut,
                  uint8_t* indexBuffer);

}  // namespace qdx
