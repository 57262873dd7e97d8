#pragma once
// Row work of the PNG reader: the converters that reverse each filter type
// per layout, and the inflate loop that feeds them one filtered row at a time.
#include <cstdint>

namespace qdx {

struct PngReaderState;

// Chooses the five row converters (and, below 8 bits, the byte unpackers) for
// the state's bit depth and colour type.
void SelectRowConverters(PngReaderState& state);

// Inflates `length` bytes of zlib data into the record's pixel buffer and, for
// images with alpha, into `alphaPlane` (width x height bytes, bottom-up).
// Rows the stream does not reach stay 0. False with the status set when the
// stream cannot be set up or is damaged (50009), or memory is short (50001).
bool InflateImageData(PngReaderState& state, const uint8_t* data, uint32_t length, uint8_t* alphaPlane);

}  // namespace qdx
