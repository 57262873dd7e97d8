#pragma once
// The TIFF tags and field types the reader understands and the writer writes.
#include <cstdint>

namespace qdx {

inline constexpr uint16_t kTagImageWidth = 256;
inline constexpr uint16_t kTagImageLength = 257;
inline constexpr uint16_t kTagBitsPerSample = 258;
inline constexpr uint16_t kTagCompression = 259;
inline constexpr uint16_t kTagPhotometric = 262;
inline constexpr uint16_t kTagStripOffsets = 273;
inline constexpr uint16_t kTagSamplesPerPixel = 277;
inline constexpr uint16_t kTagRowsPerStrip = 278;
inline constexpr uint16_t kTagStripByteCounts = 279;
inline constexpr uint16_t kTagXResolution = 282;
inline constexpr uint16_t kTagYResolution = 283;
inline constexpr uint16_t kTagResolutionUnit = 296;
inline constexpr uint16_t kTagColorMap = 320;

inline constexpr uint16_t kTypeShort = 3;
inline constexpr uint16_t kTypeLong = 4;
inline constexpr uint16_t kTypeRational = 5;

}  // namespace qdx
