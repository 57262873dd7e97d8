#pragma once
// WebP writer (libwebp's encoder): lossy at a quality, or lossless; a
// transparent colour becomes alpha. With a size limit the highest quality
// whose file fits is searched as for JPEG. The encoder runs on one thread
// with a fixed method, so a picture gives the same bytes on every machine
// and at any number of batch threads.
#include <cstdint>

#include "codecs/write/pixel_converter.h"
#include "core/bitmap_types.h"
#include "core/result_codes.h"

namespace qdx {

class WideString;
struct DecodedImage;

// libwebp's speed/size trade-off, 0 (fast) to 6 (small), as its own tool uses
// by default: the bench shows where the time goes.
inline constexpr int kWebpMethod = 4;
// Lossless files have no quality; this is the encoder's effort for them.
inline constexpr int kWebpLosslessEffort = 75;

struct WebpWriterState {
    uint32_t writeStatus = kStatusUnspecified;
    // Width, height and the depth to write: 8 keeps a palette picture's
    // colours (a resized one is reduced again), 24 a true-colour picture.
    PixelConverter converter;
    int32_t quality = 75;  // 1 to 100, lossy files
    uint8_t lossless = 0;
    uint8_t hasTransparentColour = 0;
    uint8_t transparentColour[3] = {};  // red, green, blue
    // An Exif block (a TIFF structure) to store in an "EXIF" chunk of the
    // extended container, lent for one write; null for none, and then the
    // file is the encoder's simple container. Counted in the size limit.
    const uint8_t* exif = nullptr;
    uint32_t exifSize = 0;
    // What the last write did, for callers and tests.
    uint32_t encodes = 0;         // complete encodes
    int32_t writtenQuality = 0;   // quality of the file written; 0 when lossless
    RGBQUAD scratchPalette[256]{};
};

// Resets the state for `image`: the depth to write (8 when the picture was a
// palette picture when decoded), the quality (75 when above 100, 1 when 0),
// lossless for palette pictures or when asked, and the transparent colour
// (red, green, blue; null: none). The Exif block is left as it is.
void PrepareWebpWriter(WebpWriterState& state, const DecodedImage& image, uint16_t savedBitDepth, uint32_t quality,
                       bool lossless, const uint8_t* transparentColour);

// Writes the picture to `path`. With `limitKiB` above 0 the file is to stay
// within that many KiB: a lossless file that does not fit gives way to the
// quality search, which ends at quality 1 when nothing fits.
bool WriteWebpFile(WebpWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels,
                   uint32_t limitKiB);

}  // namespace qdx
