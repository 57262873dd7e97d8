#pragma once
// The decoded picture every reader fills, scaling rewrites and every writer
// consumes: a device-independent bitmap held in memory. Rows are stored
// bottom-up and padded to 4 bytes; 8-bit pixels index `palette`, 24-bit
// pixels are blue, green, red. The record owns its pixel buffer: it can be
// moved but not copied, and the buffer goes with the record. Beside the
// pixels it keeps what the source carried about them: its ICC profile and its
// Exif block, each as the file stored it (the Exif block as a TIFF structure,
// byte-order mark first), empty when the source had none.
#include <cstdint>

#include "core/bitmap_types.h"
#include "core/os/owned_memory.h"

namespace qdx {

// A block of bytes held beside the pixels; size 0 when there is none.
struct EmbeddedBlock {
    os::HeapMemory bytes;
    uint32_t size = 0;
};

// Takes a copy of `size` bytes (the block empties first); false, the block
// empty, when memory is short.
bool AssignEmbeddedBlock(EmbeddedBlock& block, const uint8_t* data, uint32_t size);
void ClearEmbeddedBlock(EmbeddedBlock& block);

struct DecodedImage {
    BITMAPINFOHEADER header{};
    RGBQUAD palette[256]{};
    uint32_t sourceKind = 0;  // InputKind of the reader; 0 for a plug-in
    os::PixelMemory pixels;  // empty until a reader fills it
    uint32_t fileSize = 0;
    uint32_t sourceBitDepth = 0;
    uint64_t lastWriteTime = 0;  // FILETIME value
    EmbeddedBlock iccProfile;
    EmbeddedBlock exif;
    // A CMYK source's own samples (4 bytes a pixel, rows bottom-up, padded to
    // 4 bytes), kept only when the reader was asked to, so that a profile can
    // turn them into colours; `pixels` holds the plain conversion meanwhile.
    os::PixelMemory cmykSamples;
    uint8_t cmykInverted = 0;  // the samples are stored inverted (255 = no ink)
};

// Empties the profile, the Exif block and the CMYK samples.
void ClearEmbeddedData(DecodedImage& image);

// Kept beside the DecodedImage; set after PNG and GIF reads.
struct TransparentColour {
    uint8_t hasTransparentColour = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Row stride in bytes for a width and bit count: rows padded to 4 bytes.
// Returns 0 when the stride would not fit in 32 bits.
uint32_t RowStride(uint32_t width, uint32_t bitCount);

// Size of a pixel buffer (stride * height + 4 bytes of slack), or false when
// it does not fit in 32 bits.
bool PixelBufferSize(uint32_t width, uint32_t height, uint32_t bitCount, uint32_t& size);

// Allocates a zero-filled pixel buffer of PixelBufferSize bytes; empty when
// the size overflows or memory is short.
os::PixelMemory AllocatePixelBuffer(uint32_t width, uint32_t height, uint32_t bitCount);

// The same for a caller that writes every pixel of every row itself: only the
// rows' padding and the slack come zeroed (pixels may hold an earlier
// picture until written), which spares clearing a large picture twice.
os::PixelMemory AllocatePixelRows(uint32_t width, uint32_t height, uint32_t bitCount);

// Sets the header for a fresh picture of the given size and depth (biSize 40,
// one plane, no compression, resolution and colour counts 0).
void SetImageHeader(DecodedImage& image, int32_t width, int32_t height, uint16_t bitCount);

// Start of stored row `y` (0 = the bottom row in memory).
inline uint8_t* StoredRow(DecodedImage& image, uint32_t y) {
    return image.pixels.Get() + static_cast<uint64_t>(y) *
                              RowStride(static_cast<uint32_t>(image.header.biWidth), image.header.biBitCount);
}

}  // namespace qdx
