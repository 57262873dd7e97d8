#pragma once
// PNG reader: every standard bit depth and colour type, interlaced or not,
// delivered as 8 bits with a palette (grey, palette, grey + alpha) or 24 bits
// (truecolour with or without alpha). Sixteen-bit samples keep their high
// byte; alpha, palette transparency and a transparent colour are flattened
// onto a background colour.
#include <cstdint>

#include "codecs/common/mapped_input.h"
#include "codecs/common/png_result_codes.h"

namespace qdx {

class WideString;
struct BlendTable;
struct PngReaderState;

// Reverses one filter type over the current row and writes the row's output
// pixels starting at `output` (alpha goes to state.alphaRow).
using PngRowConverter = void (*)(PngReaderState& state, uint8_t* output);
// Unpacks one byte of a 1-, 2- or 4-bit row, most significant bits first,
// into `count` index bytes `pixelStep` apart; returns the next output place.
using PngByteUnpacker = uint8_t* (*)(uint8_t packed, uint8_t* output, int32_t pixelStep, int32_t count);

struct PngReaderState {
    MappedInput input;
    int32_t bitDepth = 0;
    int32_t colourType = 0;
    uint8_t greyRamp = 0;
    uint8_t interlace = 0;
    uint32_t paletteEntries = 0;
    int32_t bytesPerPixel = 0;  // filter distance
    const BlendTable* blendTable = nullptr;  // lent by the conversion context
    int32_t width = 0;
    int32_t height = 0;
    uint8_t plteSeen = 0;
    uint8_t idatSeen = 0;
    uint8_t iendSeen = 0;
    uint8_t gamaSeen = 0;
    uint8_t bkgdSeen = 0;
    uint8_t trnsSeen = 0;
    uint32_t imageDataLength = 0;
    uint8_t fileBackground[3] = {};     // red, green, blue from bKGD
    uint8_t transparentColour[3] = {};  // red, green, blue from tRNS; grey level in green
    os::HeapMemory paletteAlpha;        // 256 entries, kept for the life of the state
    int32_t horizontalResolution = 0;   // pixels per metre
    int32_t verticalResolution = 0;
    int32_t outputStride = 0;
    int32_t bytesPerSample = 0;
    const uint8_t* imageData = nullptr;
    uint8_t* alphaRow = nullptr;
    uint8_t* priorRow = nullptr;
    uint8_t* currentRow = nullptr;
    int32_t pixelStep = 1;
    int32_t outputPixelStep = 3;
    int32_t rowLength = 0;       // filtered row, filter byte included
    int32_t lastBytePixels = 0;  // below 8 bits: pixels in the row's last byte, 0 = full
    int32_t outputBits = 0;
    uint8_t hasAlpha = 0;

    // Per-read options, set by the caller before every read.
    uint8_t flattenTransparency = 1;
    uint8_t useOwnBackground = 0;
    uint8_t backgroundColour[3] = {255, 255, 255};  // red, green, blue

    PngRowConverter rowConverters[5] = {};
    PngByteUnpacker byteUnpackers[2] = {};  // a full byte; the row's last byte
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason.
bool ReadPngImage(PngReaderState& state, const WideString& path, DecodedImage* image);

}  // namespace qdx
