#pragma once
// Result codes of the PNG reader and writer (beside the shared ones).
#include <cstdint>

namespace qdx {

inline constexpr uint32_t kPngInflateFailed = 50009;       // stream set-up failed or data damaged
inline constexpr uint32_t kPngCompressFailed = 50010;      // writer: deflate set-up or finish failed
inline constexpr uint32_t kPngChecksumMismatch = 50011;    // IHDR, PLTE, first IDAT or IEND
inline constexpr uint32_t kPngChunkTooLong = 50012;        // chunk length above 0x7FFFFFFF
inline constexpr uint32_t kPngHeaderLength = 50013;        // IHDR length is not 13
inline constexpr uint32_t kPngNoHeader = 50014;            // first chunk is not IHDR
inline constexpr uint32_t kPngColourTypeForDepth = 50016;  // colour type not allowed for the depth
inline constexpr uint32_t kPngBitDepth = 50017;            // depth not 1, 2, 4, 8 or 16
inline constexpr uint32_t kPngCompressionMethod = 50018;
inline constexpr uint32_t kPngFilterMethod = 50019;
inline constexpr uint32_t kPngInterlaceMethod = 50020;
inline constexpr uint32_t kPngChunkOrder = 50022;          // second IHDR, late or repeated PLTE, second IDAT run
inline constexpr uint32_t kPngMissingData = 50023;         // IEND without IDAT, or palette image without PLTE
inline constexpr uint32_t kPngImageDataRun = 50024;        // IDAT run damaged or 2^32 bytes or more

}  // namespace qdx
