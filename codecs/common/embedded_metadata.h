#pragma once
// Finds what a file carries beside its pixels: the ICC profile (JPEG APP2
// chunks, PNG iCCP, TIFF tag 34675, WebP ICCP) and the Exif block (JPEG APP1,
// PNG eXIf, TIFF first and Exif directories, WebP EXIF), and copies them into
// the image record. HEIF files are read by libheif, which hands both to
// codecs/read/heif_embedded.h. Damaged or incomplete blocks are left out; the pixels
// never depend on them.
#include <cstddef>
#include <cstdint>

#include "core/decoded_image.h"

namespace qdx {

// Profiles above this size are refused: the largest real ones (press CMYK
// tables) stay well below it, and a crafted iCCP cannot inflate without end.
inline constexpr uint32_t kMaxProfileBytes = 8u << 20;
// An Exif block above this size is refused (a JPEG's is below 64 KiB).
inline constexpr uint32_t kMaxExifBytes = 4u << 20;
// The smallest ICC profile: its 128-byte header and a tag count.
inline constexpr uint32_t kMinProfileBytes = 132;

// Fills `image.iccProfile` and `image.exif` from the file bytes of an input
// of `kind` (InputKind); either stays empty when the file has none or it is
// damaged. Other kinds carry nothing.
void ReadEmbeddedMetadata(uint32_t kind, const uint8_t* data, size_t size, DecodedImage& image);

void ReadJpegMetadata(const uint8_t* data, size_t size, DecodedImage& image);
void ReadPngMetadata(const uint8_t* data, size_t size, DecodedImage& image);
void ReadTiffMetadata(const uint8_t* data, size_t size, DecodedImage& image);
void ReadWebpMetadata(const uint8_t* data, size_t size, DecodedImage& image);

// Takes a profile when its header's size field matches `size` and the size
// lies in the accepted range; false otherwise.
bool AcceptProfile(const uint8_t* data, size_t size, DecodedImage& image);
// Takes an Exif block, skipping an "Exif\0\0" prefix some writers put first;
// false when what remains does not start like a TIFF structure.
bool AcceptExif(const uint8_t* data, size_t size, DecodedImage& image);

}  // namespace qdx
