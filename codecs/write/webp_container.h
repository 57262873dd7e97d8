#pragma once
// The extended WebP container that carries an Exif block: a "VP8X" chunk
// (the canvas size and flags naming what else the file holds), the
// encoder's image chunks unchanged, then an "EXIF" chunk. The encoder writes
// the simple container ("VP8 " or "VP8L" alone), or an extended one of its
// own for a lossy picture with alpha; either is taken as it comes.
#include <cstddef>
#include <cstdint>

namespace qdx {

// The size of the file `encoded` (what the encoder wrote, `encodedSize`
// bytes) once an Exif block of `exifSize` bytes is added; `encodedSize` when
// `exifSize` is 0. 0 when `encoded` is not a WebP file.
uint64_t WebpSizeWithExif(const uint8_t* encoded, size_t encodedSize, uint32_t exifSize);

// Writes that file into `out`, which has room for WebpSizeWithExif bytes.
// False, nothing written, when `encoded` is not a WebP file the decoder
// reads or the result would be beyond the 4 GiB a RIFF size can state.
bool AddWebpExif(const uint8_t* encoded, size_t encodedSize, const uint8_t* exif, uint32_t exifSize, uint8_t* out);

}  // namespace qdx
