#pragma once
// JPEG reader: drives libjpeg-turbo over the mapped file. Greyscale files
// become 8-bit images with a grey ramp; colour and CMYK files become 24-bit
// blue-green-red images.
#include <cstdint>

#include "codecs/common/mapped_input.h"
#include "core/os/wide_string.h"

namespace qdx {

struct JpegReaderState {
    MappedInput input;
    uint8_t greyscale = 0;    // the file decoded to one component
    uint8_t progressive = 0;  // the file is progressive
    WideString message;       // text of the last decoder error; emptied on entry
    int32_t imageWidth = 0;   // frame size from the file header
    int32_t imageHeight = 0;
    // Per-read option: keep a CMYK file's own samples in the record's
    // cmykSamples beside the plain conversion (for its colour profile).
    uint8_t keepCmykSamples = 0;

    // 256 x 256 products i * j / 255 for CMYK files, built on first use and
    // kept for the rest of the batch.
    os::HeapMemory productTable;

    // Optional caps for hostile input (0 = none beyond the 32-bit rule of the
    // image record): the largest pixel buffer accepted, and the most memory
    // the library may take for its own work (progressive coefficients).
    uint32_t maxPixelBufferBytes = 0;
    uint32_t maxLibraryMemory = 0;
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason and, for an error reported
// by the library, `state.message` its text.
bool ReadJpegImage(JpegReaderState& state, const WideString& path, DecodedImage* image);

// More scans than any encoder produces; a file with more is refused, so that
// a small crafted file cannot make the decoder rework a large image without end.
inline constexpr int kMaxJpegScans = 1000;

}  // namespace qdx
