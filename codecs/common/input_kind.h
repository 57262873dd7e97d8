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
    kInputWebp = 7,        // "RIFF", 4 bytes of length, "WEBP"
    kInputHeif = 8,        // an "ftyp" box naming a HEIC or AVIF brand
};

// Identification reads this many leading bytes; fewer than 8 is unreadable.
inline constexpr uint32_t kMinimumLeadingBytes = 8;
// Enough for a HEIF file's "ftyp" box with a few compatible brands.
inline constexpr uint32_t kLeadingBytes = 32;

// Classifies the first `count` bytes of a file (8 to kLeadingBytes; a
// signature longer than what was read does not match).
InputKind ClassifyLeadingBytes(const uint8_t* bytes, uint32_t count);

}  // namespace qdx
