#pragma once
// BMP reader: Windows bitmaps at 1, 4, 8, 16, 24 and 32 bits, uncompressed,
// run-length encoded (4 and 8 bits) or with colour masks (16 and 32 bits,
// alpha flattened onto the background), bottom-up or top-down, with any of
// the Windows info headers or the OS/2 1.x and 2.x headers, into an 8-bit
// palette image (1, 4 and 8 bits) or a 24-bit one (16, 24 and 32 bits).
#include "codecs/common/mapped_input.h"
#include "core/bitmap_types.h"

namespace qdx {

class WideString;

struct BlendTable;

struct BmpReaderState {
    MappedInput input;
    BITMAPINFOHEADER info{};  // the file's info header in the 40-byte layout
    // Set by the caller before every read: red, green, blue, for pictures
    // with an alpha mask.
    uint8_t backgroundColour[3] = {255, 255, 255};
    const BlendTable* blendTable = nullptr;  // lent; a temporary one when null
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason and the record holds no
// pixel buffer. A 16- or 32-bit file whose masks leave no room for a
// channel is read as black with status 50004 and still succeeds.
bool ReadBmpImage(BmpReaderState& state, const WideString& path, DecodedImage* image);

// The same decoding of a whole file held in memory (`size` bytes at `data`),
// for callers that already hold the bytes; nothing beyond them is read.
bool DecodeBmpBytes(BmpReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image);

}  // namespace qdx
