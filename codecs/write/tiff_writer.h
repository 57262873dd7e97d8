#pragma once
// TIFF writer: an uncompressed little-endian baseline file with one image in
// one strip, 8-bit palette or 24-bit RGB. The layout is fixed, so every
// offset depends only on the kind of image:
//   0     header ("II", 42, directory at 8)
//   8     directory: 12 entries, 150 bytes
//   158   RGB: BitsPerSample 8,8,8; XResolution 164; YResolution 172; pixels 180
//   158   palette: XResolution 158; YResolution 166; ColorMap 174; pixels 1710
// With an Exif block the directory grows by its first directory's entries,
// every later offset moves by 12 bytes an entry, and the block follows the
// pixels.
#include <cstdint>

#include "codecs/write/pixel_converter.h"
#include "core/bitmap_types.h"
#include "core/result_codes.h"

namespace qdx {

class WideString;

struct TiffWriterState {
    uint32_t writeStatus = kStatusUnspecified;
    int32_t photometric = 2;  // 2 RGB, 3 palette
    // width, height, sourceDepth (the image's) and targetDepth (the saved one)
    PixelConverter converter;
    uint16_t entryCount = 12;
    int32_t colourMapCount = 768;  // 16-bit values
    uint32_t dataSize = 0;         // pixel bytes in the strip
    uint32_t bitsPerSampleCount = 0;
    uint32_t bitsPerSampleValue = 0;  // the value, or the offset of the three values
    uint32_t xResolutionOffset = 0;
    uint32_t yResolutionOffset = 0;
    uint32_t colourMapOffset = 0;
    uint32_t stripOffset = 0;
    int32_t horizontalResolution = 0;  // pixels per metre
    int32_t verticalResolution = 0;
    // An Exif block made by WriteExifBlock, lent for one write; null for none.
    // Its first-directory entries join the file's directory and the rest of
    // it follows the strip.
    const uint8_t* exif = nullptr;
    uint32_t exifSize = 0;
};

// Writes `pixels` (at the converter's source depth, bottom-up DIB rows) to
// `path` at the converter's target depth (8 or 24).
bool WriteTiffFile(TiffWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels);

}  // namespace qdx
