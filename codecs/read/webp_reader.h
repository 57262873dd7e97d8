#pragma once
// WebP reader (libwebp): lossy, lossless and extended files, and the first
// frame of an animation, into a 24-bit picture. Alpha is flattened onto the
// background colour the caller gives; no transparent colour is kept.
#include <cstdint>

#include "codecs/common/mapped_input.h"

namespace qdx {

class WideString;
struct BlendTable;

struct WebpReaderState {
    MappedInput input;
    // Set by the caller before every read: red, green, blue.
    uint8_t backgroundColour[3] = {255, 255, 255};
    const BlendTable* blendTable = nullptr;  // lent; a temporary one when null
    // What the last read found, for callers and tests.
    uint8_t hadAlpha = 0;
    uint8_t animated = 0;
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason and no pixel buffer is
// left in the record.
bool ReadWebpImage(WebpReaderState& state, const WideString& path, DecodedImage* image);

// The same decoding of a whole file held in memory.
bool DecodeWebpBytes(WebpReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image);

}  // namespace qdx
