#pragma once
// GIF reader: the first image of a GIF file, placed on its logical screen,
// as an 8-bit DecodedImage. Later images of an animation are not looked at.
#include <cstdint>

#include "codecs/common/mapped_input.h"

namespace qdx {

class WideString;

// One entry of the LZW string table: the last byte of its string, the code of
// the string without that byte (-1 for roots) and the string's length.
struct GifCodeEntry {
    int32_t prefix;
    uint32_t length;
    uint8_t byte;
};

inline constexpr int32_t kGifMaxCodes = 4096;

// The LZW string table, allocated zero-filled for each image and released
// after it.
struct GifCodeTable {
    GifCodeEntry entries[kGifMaxCodes];
};

struct GifReaderState {
    MappedInput input;

    uint8_t transparent = 0;  // flag of the last graphic control extension
    uint8_t interlaced = 0;
    uint32_t codeMasks[10] = {};  // 2^n - 1 for n = 3 to 12
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t sourceDepth = 0;  // colour table bits; 0 without tables
    uint8_t hasLocalTable = 0;
    uint8_t backgroundIndex = 0;
    uint8_t* activeTable = nullptr;  // local when present, else global
    os::HeapMemory globalTable;  // 768 bytes each, red, green, blue
    os::HeapMemory localTable;
    int32_t transparentIndex = 0;

    // Per-read options, set by the caller before every read.
    uint8_t flattenTransparency = 1;
    uint8_t useOwnBackground = 0;
    uint8_t backgroundColour[3] = {0xFF, 0xFF, 0xFF};  // red, green, blue

    // Copies kept for the caller after a successful read.
    uint8_t resultTransparent = 0;
    int32_t resultTransparentIndex = 0;
    uint8_t resultInterlaced = 0;
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason.
bool ReadGifImage(GifReaderState& state, const WideString& path, DecodedImage* image);

// Decodes the GIF held in state.input (dataStart, cursor at its first byte,
// dataEnd) into `image`, which must have been attached with
// PrepareImageRecord. Does not open, map or close anything; `fileSize` and
// `lastWriteTime` are left to the caller.
bool DecodeGifStream(GifReaderState& state, DecodedImage& image);

// LZW-decodes `dataSize` bytes of joined sub-block data (followed by at least
// 4 readable bytes of slack) into at most `outputSize` bytes of `output`.
// Damaged data never fails: decoding stops and the rest stays as it was.
// False only when the string table cannot be allocated.
bool DecodeGifLzw(GifReaderState& state, const uint8_t* data, uint32_t dataSize, int32_t minimumCodeSize,
                  uint8_t* output, uint32_t outputSize);

}  // namespace qdx
