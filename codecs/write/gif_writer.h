#pragma once
// GIF writer: a single-image GIF89a file with a 256-entry global colour table
// and LZW-compressed pixels. Every image is first reduced to 8-bit indices.
#include <cstdint>

#include "codecs/write/pixel_converter.h"
#include "core/decoded_image.h"
#include "core/result_codes.h"

namespace qdx {

class WideString;

// The encoder's string table: open addressing over (prefix code, byte) keys,
// 8192 slots for at most 4096 codes. A slot holds key << 12 | code, 0 when
// empty (no real entry has code 0).
inline constexpr uint32_t kGifHashSlots = 8192;
struct GifStringTable {
    uint32_t slots[kGifHashSlots];
};

struct GifWriterState {
    uint32_t writeStatus = kStatusUnspecified;
    uint8_t transparency = 0;                     // a transparent colour is to be written
    uint8_t transparentColour[3] = {};           // red, green, blue
    PixelConverter converter;

    // LZW encoder.
    int32_t codeWidth = 0;
    int32_t clearCode = 0;
    int32_t endCode = 0;
    int32_t nextCode = 0;
    uint64_t bitAccumulator = 0;
    int32_t bitCount = 0;
    os::HeapMemory table;  // one GifStringTable, kept for the batch
};

// Sets the converter to turn `header`'s picture into 8-bit indices and takes
// the transparent colour over (everything done before a write).
void PrepareGifWriter(GifWriterState& state, const BITMAPINFOHEADER& header, const TransparentColour& transparent);

// Writes the image described by state.converter (width, height, sourceDepth,
// targetDepth 8, stride, imageSize) to `path`.
bool WriteGifFile(GifWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels);

// Bytes EncodeLzw may write for `count` indices: at most 12 bits per index
// plus clear and end codes stay below this.
inline uint64_t GifLzwOutputBound(uint64_t count) { return 2 * count + 4; }

// Encodes `count` (> 0) 8-bit indices with minimum code size 8 into `output`,
// which must hold GifLzwOutputBound(count) bytes. Returns the end of the
// output, or null when count is 0 or the string table cannot be allocated.
uint8_t* EncodeLzw(GifWriterState& state, const uint8_t* indices, uint32_t count, uint8_t* output);

}  // namespace qdx
