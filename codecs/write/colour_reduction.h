#pragma once
// The pieces of colour reduction behind PixelConverter: colour counting, the
// exact and median-cut palettes and the nearest-colour searches. Writers use
// PixelConverter; these are exposed for the converter and its tests.
//
// Working colours are 32-bit values blue + 256 * green + 65536 * red, which is
// how a working-copy pixel (blue, green, red, 0) reads as a little-endian word.
#include <bit>
#include <cstdint>
#include <cstring>

#include "codecs/write/pixel_converter.h"
#include "core/bitmap_types.h"

namespace qdx {

static_assert(std::endian::native == std::endian::little, "working colours are read as little-endian words");

inline uint32_t LoadWorkColour(const uint8_t* p) {
    uint32_t colour;
    std::memcpy(&colour, p, 4);
    return colour;
}
inline uint32_t ColourKey(uint8_t blue, uint8_t green, uint8_t red) {
    return uint32_t(blue) | (uint32_t(green) << 8) | (uint32_t(red) << 16);
}
inline uint32_t ColourKey(const RGBQUAD& entry) { return ColourKey(entry.rgbBlue, entry.rgbGreen, entry.rgbRed); }

// Builds the 511-entry table of d * d (d = -255..255) on first use; false when
// it cannot be allocated.
bool EnsureSquaredDifferenceTable(PixelConverter& converter);

// Number of distinct colours among `pixelCount` working-copy pixels; 0 when the
// 2 MiB bit set cannot be allocated.
uint32_t CountColours(uint32_t pixelCount, const uint8_t* workPixels);

// Set bits of a word, without a library call on processors where the
// compiler may not assume a population-count instruction.
inline uint32_t BitCount(uint64_t v) {
    v = v - ((v >> 1) & 0x5555555555555555u);
    v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return uint32_t((v * 0x0101010101010101u) >> 56);
}

// The set of colours of an image as a 2^24-bit set. Once ranked, every colour
// present has a dense number (its rank) in increasing colour order, which
// serves as a perfect hash for per-colour tables.
class ColourSet {
public:
    // Marks the colours of the pixels; the distinct count, 0 when memory is short.
    uint32_t Mark(uint32_t pixelCount, const uint8_t* workPixels);
    bool Rank();
    uint32_t RankOf(uint32_t colour) const {
        const uint64_t word = bits_[colour >> 6];
        return ranks_[colour >> 6] + BitCount(word & ((uint64_t(1) << (colour & 63)) - 1));
    }
    uint32_t Count() const { return count_; }
    // Every colour present in increasing order, each with the number of
    // pixels that have it: colour in the low 32 bits, pixel count in the
    // high 32. Empty when memory is short.
    os::PixelArray<uint64_t> WeightedColours(uint32_t pixelCount, const uint8_t* workPixels) const;

private:
    os::PixelArray<uint64_t> bits_;
    os::PixelArray<uint32_t> ranks_;  // colours before each 64-bit word
    uint32_t count_ = 0;
};

// The palette of an image with at most 256 colours. An 8-bit source gives its
// own palette without repeated colours, in first-occurrence order; a 24-bit
// source gives the first `count` colours of the working copy sorted darkest
// first. Unused entries are 0.
void BuildExactPalette(const PixelConverter& converter, uint32_t count, RGBQUAD* paletteOut);

// Median cut of the working copy into n (1..256) colours; false when the
// image is empty, too large or memory is short.
bool MedianCutPalette(const PixelConverter& converter, uint32_t n, RGBQUAD* paletteOut);
// The same cut over the image's distinct colours with their pixel counts (as
// ColourSet::WeightedColours gives them), which it reorders.
bool MedianCutWeighted(uint64_t* weightedColours, uint32_t distinct, uint32_t n, RGBQUAD* paletteOut);
// The limit of the index array of the cut: images of 2^30 pixels or more fail.
inline bool MedianCutAccepts(uint64_t pixelCount) { return pixelCount > 0 && pixelCount < (uint64_t(1) << 30); }

// The straightforward search: the first of the nearest palette entries 0..n-1.
uint32_t NearestIndex(const int32_t* squaredDifference, const RGBQUAD* palette, uint32_t n, uint32_t colour);

// Gives exactly the answers of NearestIndex, but searches only the entries
// that can be nearest for the colour cube of side 8 holding the colour. The
// candidate lists are built the first time a cube is met.
class NearestColourSearch {
public:
    // The table and palette are borrowed and must outlive the search.
    bool Prepare(const int32_t* squaredDifference, const RGBQUAD* palette, uint32_t n);
    uint32_t Find(uint32_t colour);

private:
    void BuildCube(uint32_t cube);

    const int32_t* squared_ = nullptr;  // points at d = 0
    const RGBQUAD* palette_ = nullptr;
    uint32_t n_ = 0;
    os::PixelMemory candidates_;     // 256 slots per cube
    os::HeapArray<uint16_t> counts_;  // candidates + 1; 0 while not built
    uint32_t lastColour_ = 0xFFFFFFFFu;
    uint32_t lastIndex_ = 0;
};

// Index of the first palette entry equal to a colour, for palettes in which
// every colour that will be asked for occurs.
class ExactColourIndex {
public:
    void Build(const RGBQUAD* palette);
    uint32_t Find(uint32_t colour) const;

private:
    static constexpr uint32_t kSlots = 1024;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    uint32_t keys_[kSlots];
    uint8_t indices_[kSlots];
};

}  // namespace qdx
