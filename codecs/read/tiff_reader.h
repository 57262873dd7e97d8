#pragma once
// TIFF reader: the first image of an uncompressed, strip-organised file.
// Accepted: 1/4/8-bit grey (both photometric senses), 1/4/8-bit palette and
// RGB with 8 or 16 bits per sample. Everything else is refused.
#include <cstdint>

#include "codecs/common/mapped_input.h"

namespace qdx {

class WideString;

// Reads a value at `cursor` in the file's byte order and advances the cursor.
using TiffRead16 = uint16_t (*)(const uint8_t*& cursor);
using TiffRead32 = uint32_t (*)(const uint8_t*& cursor);

struct TiffReaderState {
    MappedInput input;

    int32_t photometric = 4;  // 4 until the tag is seen: a file without it is refused
    uint8_t littleEndian = 0;
    TiffRead16 read16 = nullptr;
    TiffRead32 read32 = nullptr;
    uint32_t xResolutionOffset = 0;  // 0 when absent
    uint32_t yResolutionOffset = 0;
    uint32_t colourMapOffset = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerSample = 1;
    int32_t bitsPerSampleCount = 0;
    int32_t compression = 1;
    uint32_t stripCount = 0;
    int32_t resolutionUnit = 2;  // inch
    int32_t outputBits = 0;      // 8 or 24
    uint32_t outputStride = 0;

    // Working buffers of one read, from the virtual-memory allocator; released
    // before ReadTiffImage returns, whatever the outcome.
    os::PixelArray<uint32_t> stripOffsets;
    uint32_t stripOffsetCount = 0;
    os::PixelArray<uint32_t> stripByteCounts;
    uint32_t stripByteCountCount = 0;
    os::PixelMemory joined;  // the strips, one after another
    uint32_t joinedSize = 0;
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason and no pixel buffer is
// left in the record.
bool ReadTiffImage(TiffReaderState& state, const WideString& path, DecodedImage* image);

// Releases the strip arrays and the joined strip data.
void ReleaseTiffBuffers(TiffReaderState& state);

}  // namespace qdx
