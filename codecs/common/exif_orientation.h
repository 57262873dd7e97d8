#pragma once
// The orientation a camera records beside the pixels: tag 274 of a TIFF's
// first directory, or of the Exif block in a JPEG's APP1 segment. Values 1 to
// 8 say how the stored rows map onto the upright picture; anything else
// (missing tag, damaged block, value out of range) reads as 0, "as stored".
#include <cstddef>
#include <cstdint>

namespace qdx {

inline constexpr uint32_t kOrientationAsStored = 0;
inline constexpr uint32_t kOrientationUpright = 1;
inline constexpr uint32_t kOrientationLast = 8;
inline constexpr uint16_t kTagOrientation = 274;

// Reads tag 274 of the first directory of a TIFF structure (a TIFF file, or
// the body of an Exif block) starting at `data`. Offsets are relative to
// `data`; every one is checked against `size`.
uint32_t ReadTiffOrientation(const uint8_t* data, size_t size);

// Walks a JPEG's marker segments up to the start of scan and reads the
// orientation from the first APP1 segment that begins "Exif\0\0".
uint32_t ReadJpegOrientation(const uint8_t* data, size_t size);

}  // namespace qdx
