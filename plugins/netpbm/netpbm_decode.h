#pragma once
// The decoding core of our Netpbm reader plug-in: PBM, PGM and PPM, plain
// (ASCII) and raw (binary), maxval 1 to 65535. It depends on nothing but the
// C++ library, turns a file's bytes into a device-independent bitmap (rows
// bottom-up, padded to 4 bytes) and refuses, never guesses: a sample above
// maxval, a raster shorter than the header promises, or a picture whose
// bitmap would not fit in 2 GiB is an error.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qdx::netpbm {

enum class Kind : uint8_t { Bitmap, Greymap, Pixmap };

struct Header {
    Kind kind = Kind::Bitmap;
    bool plain = false;       // ASCII samples (P1, P2, P3)
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxval = 1;      // 1 for bitmaps
    size_t rasterStart = 0;   // offset of the first raster byte
};

// Largest bitmap we build, in bytes (rows padded to 4 bytes).
inline constexpr uint64_t kMaxBitmapBytes = uint64_t(1) << 31;

// True when `data` starts like a Netpbm file we read: "P1" to "P6" followed
// by white space or a comment.
bool HasSignature(const uint8_t* data, size_t size);

// Reads the header; false when it is malformed, a dimension is 0 or above
// 2^31 - 1, maxval is 0 or above 65535, or the bitmap would be too large.
bool ReadHeader(const uint8_t* data, size_t size, Header& header);

// Bits per sample as stored: 1 for bitmaps, 8 or 16 otherwise; times three
// for pixmaps.
uint16_t StoredBitDepth(const Header& header);

// The decoded picture as the plug-in interface delivers it: 1 bit for
// bitmaps (palette: 0 white, 1 black), 8 bits with a grey palette for
// greymaps, 24 bits blue-green-red for pixmaps. Samples are scaled to 8 bits
// with rounding: (v * 255 + maxval / 2) / maxval.
struct Picture {
    Header header;
    uint16_t bitCount = 0;
    uint32_t stride = 0;
    uint32_t paletteEntries = 0;
    uint8_t palette[256][4] = {};  // blue, green, red, 0
    std::unique_ptr<uint8_t[]> rows;
    uint32_t rowBytes = 0;  // stride * height
};

bool Decode(const uint8_t* data, size_t size, Picture& picture);

}  // namespace qdx::netpbm
