#pragma once
// PNG writer: a non-interlaced PNG with one IDAT chunk. An 8-bit target is
// written as a compacted palette image, a 24-bit target as RGB with an
// adaptive filter per row; a transparent colour becomes tRNS and bKGD.
#include <cstdint>

#include "codecs/common/png_result_codes.h"
#include "codecs/write/pixel_converter.h"
#include "core/result_codes.h"

namespace qdx {

class WideString;

struct PngWriterState {
    PngWriterState() = default;
    PngWriterState(const PngWriterState&) = delete;
    PngWriterState& operator=(const PngWriterState&) = delete;

    uint32_t writeStatus = kStatusUnspecified;
    int32_t bitDepth = 0;
    int32_t colourType = 0;
    int32_t paletteSize = 0;    // PLTE entries after compaction
    int32_t bytesPerPixel = 0;  // filter distance: 3 for RGB, 1 for palette images
    PixelConverter converter;   // width, height and depths of the image to write
    int32_t compressionLevel = 9;
    uint8_t transparency = 0;
    const uint8_t* transparentColour = nullptr;  // red, green, blue
    uint32_t horizontalResolution = 0;           // pixels per metre
    uint32_t verticalResolution = 0;
    // An Exif block (a TIFF structure) stored as an eXIf chunk before the
    // image data, lent for one write; null for none.
    const uint8_t* exif = nullptr;
    uint32_t exifSize = 0;
    // Inside the working buffer while a file is written: previous raw row,
    // current raw row, then the Sub, Up, Average and Paeth candidates.
    uint8_t* rows[6] = {};
};

// Writes `pixels` (and `palette`) as laid out by state.converter to `path`.
bool WritePngFile(PngWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels);

}  // namespace qdx
