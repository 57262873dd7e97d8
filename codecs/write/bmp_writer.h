#pragma once
// BMP writer: an uncompressed bitmap, bottom row first, at 8 bits with a full
// 256-entry colour table or at 24 bits. Pixels go through the PixelConverter
// when the image holds another depth than the file is to have.
#include <cstdint>

#include "codecs/write/pixel_converter.h"
#include "core/bitmap_types.h"
#include "core/result_codes.h"

namespace qdx {

class WideString;

struct BmpWriterState {
    uint32_t writeStatus = kStatusUnspecified;
    PixelConverter converter;  // width, height and the depths drive the writer
    uint8_t fileHeader[14] = {};
    uint8_t infoHeader[40] = {};
    int32_t horizontalResolution = 0;  // pixels per metre
    int32_t verticalResolution = 0;
};

// Writes the file for the converter's layout: `palette` is the image's 256
// entries, `pixels` its buffer at the converter's sourceDepth. A failed write
// also fails, with 50005.
bool WriteBmpFile(BmpWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels);

}  // namespace qdx
