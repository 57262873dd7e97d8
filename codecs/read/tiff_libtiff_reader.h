#pragma once
// TIFF through libtiff, for the files our own TIFF reader refuses for their
// layout: any compression libtiff was built with (LZW, Deflate, PackBits,
// JPEG, CCITT), tiles, other bit depths, CMYK, YCbCr, separate planes,
// orientations. The first page becomes a 24-bit picture (alpha flattened onto
// the background), or an 8-bit one with its palette for palette files.
#include <cstdint>

#include "codecs/common/mapped_input.h"

namespace qdx {

class WideString;
struct BlendTable;

struct TiffLibraryReaderState {
    MappedInput input;
    // Set by the caller before every read: red, green, blue.
    uint8_t backgroundColour[3] = {255, 255, 255};
    const BlendTable* blendTable = nullptr;  // lent; a temporary one when null
};

// Whether a file our own reader refused with `status` is worth handing to
// libtiff: refused for its layout or a structure it does not take, not for
// being damaged (data outside the file) or for lack of memory.
bool LibtiffMayRead(uint32_t status);

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason and no pixel buffer is
// left in the record.
bool ReadTiffWithLibtiff(TiffLibraryReaderState& state, const WideString& path, DecodedImage* image);

// The same decoding of a whole file held in memory.
bool DecodeTiffBytesWithLibtiff(TiffLibraryReaderState& state, const uint8_t* data, uint32_t size,
                                DecodedImage& image);

}  // namespace qdx
