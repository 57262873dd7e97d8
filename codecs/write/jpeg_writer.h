#pragma once
// JPEG writer: stores a DecodedImage as a baseline JFIF file through
// libjpeg-turbo, either straight into the file at a given quality or,
// with a size limit, into memory while searching for a quality that fits.
#include <cstdint>

#include "codecs/write/pixel_converter.h"
#include "core/bitmap_types.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/result_codes.h"
#include "core/os/wide_string.h"

namespace qdx {

struct DecodedImage;

// What one APP1 segment holds after its "Exif\0\0" signature.
inline constexpr uint32_t kMaxJpegExifBytes = 65533 - 6;

struct JpegWriterState {
    uint32_t writeStatus = kStatusUnspecified;
    os::File file;              // the open output file (direct mode)
    os::HeapMemory memory;      // the compression buffer (size-limited mode)
    uint32_t memorySize = 0;    // bytes allocated at `memory` (it grows when an attempt needs more)
    WideString message;         // text of the last library error
    PixelConverter converter;   // layout at the image's depth -> 24 bits
    // 0 in direct mode; in size-limited mode the room before an attempt and
    // the number of bytes produced after it.
    uint32_t memoryCapacity = 0;
    int32_t quality = 75;             // 1 to 100
    int32_t horizontalSampling = 2;   // luminance sampling factors
    int32_t verticalSampling = 2;
    int32_t horizontalResolution = 0;  // pixels per metre; 0 = not given
    int32_t verticalResolution = 0;
    uint32_t compressions = 0;  // complete compressions made by the last write
    // An Exif block (a TIFF structure) to store in an APP1 segment after the
    // JFIF one, lent for one write; null for none. At most kMaxJpegExifBytes.
    const uint8_t* exif = nullptr;
    uint32_t exifSize = 0;
    RGBQUAD scratchPalette[256]{};
};

// Resets the state for `image` and takes the quality (kept at 75 when above
// 100), the sampling (2 x 2, or 1 x 1 for chroma at full resolution) and the
// image's resolution: everything done before a write.
void PrepareJpegWriter(JpegWriterState& state, const DecodedImage& image, uint32_t quality, bool fullChroma);

// Compresses once at the state's quality straight into the file.
bool WriteJpegFile(JpegWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels);

// Searches for a quality at which the file is at most `limitKiB` KiB and
// writes the last attempt (even when nothing fitted).
bool WriteJpegLimited(JpegWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels,
                      uint32_t limitKiB);

// One complete compression of 24-bit bottom-up pixels: into the memory buffer
// when `memoryCapacity` is non-zero, else into the open file.
bool CompressJpeg(JpegWriterState& state, const uint8_t* pixels);

}  // namespace qdx
