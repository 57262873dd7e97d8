#pragma once
// What identification found in a file's leading bytes; it selects the reader.
// Stored as an unsigned 32-bit value (DecodedImage::sourceKind).
#include <cstdint>

namespace qdx {

enum InputKind : uint32_t {
    kInputNotRecognised = 0,
    kInputBmp = 1,
    kInputPng = 2,
    kInputJpeg = 3,
    kInputTiff = 4,
    kInputGif = 5,
    kInputUnreadable = 6,  // cannot be opened, or shorter than 8 bytes
};

// Classifies the first 8 bytes of a file.
InputKind ClassifyLeadingBytes(const uint8_t bytes[8]);

}  // namespace qdx
