#pragma once
// HEIF reader (libheif with libde265 and dav1d): HEIC and AVIF files. The
// primary image is read with the transformations its container records
// (rotation, mirror, clean-aperture crop) applied by libheif, so the picture
// comes out as the file is meant to be shown and no Exif orientation may be
// applied after it. Grid images are joined by libheif; 10- and 12-bit
// samples are rounded to 8 bits; alpha is flattened onto the background the
// caller gives; a picture whose every pixel is grey (as every monochrome one
// is) becomes an 8-bit grey picture. The file's colour profile and Exif item
// go into the record beside the pixels (codecs/read/heif_embedded.h). Other
// frames, thumbnails and auxiliary pictures (depth, alpha of other items) are
// not read.
#include <cstdint>

#include "codecs/common/mapped_input.h"

namespace qdx {

class WideString;
struct BlendTable;
struct HeifFunctions;

// libheif refuses pictures wider or taller than this by default; we say so.
inline constexpr uint32_t kHeifLargestSide = 32768;

struct HeifReaderState {
    MappedInput input;
    // Set by the caller before every read: the library's functions
    // (LoadHeifFunctions; a read without them fails), the background (red,
    // green, blue) and a blend table to lend (a temporary one when null).
    const HeifFunctions* library = nullptr;
    uint8_t backgroundColour[3] = {255, 255, 255};
    const BlendTable* blendTable = nullptr;
    // The widest and tallest picture libheif is let to decode.
    uint32_t largestSide = kHeifLargestSide;
    // What the last read found, for callers and tests.
    uint8_t hadAlpha = 0;
    uint8_t bitDepth = 0;  // of the samples as stored
};

// Whether a picture of width x height may be decoded: both sides at least 1
// and at most the state's largest side, and the 24-bit picture and libheif's
// widest decoded rows (four 16-bit samples a pixel) within 32-bit sizes.
// Checked before libheif decodes anything and again before our buffer is
// allocated. Returns 0 or the result code of the refusal.
uint32_t CheckHeifDimensions(const HeifReaderState& state, uint32_t width, uint32_t height);

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason and no pixel buffer is
// left in the record.
bool ReadHeifImage(HeifReaderState& state, const WideString& path, DecodedImage* image);

// The same decoding of a whole file held in memory.
bool DecodeHeifBytes(HeifReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image);

}  // namespace qdx
