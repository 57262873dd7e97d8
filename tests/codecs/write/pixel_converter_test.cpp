#include "codecs/write/pixel_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "codecs/write/colour_reduction.h"
#include "core/os/os.h"

namespace qdx {
namespace {

struct Colour {
    uint8_t b, g, r;
};

uint32_t Stride(uint32_t width, uint32_t depth) { return ((width * depth + 31) / 32) * 4; }

// A 24-bit stored image (rows padded to 4 bytes), filled from a colour function.
template <typename F>
std::vector<uint8_t> Make24(uint32_t width, uint32_t height, F colourAt) {
    const uint32_t stride = Stride(width, 24);
    std::vector<uint8_t> pixels(stride * height + 4, 0xEE);  // padding must not matter
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const Colour c = colourAt(x, y);
            uint8_t* p = &pixels[y * stride + 3 * x];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    return pixels;
}

Colour PixelOf(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t x, uint32_t y) {
    const uint8_t* p = &pixels[y * Stride(width, 24) + 3 * x];
    return {p[0], p[1], p[2]};
}

// ---- The reduction written out the plain way, as a yardstick ----------------

int32_t Square(int32_t d) { return d * d; }

uint32_t PlainNearest(const RGBQUAD* palette, uint32_t n, Colour c) {
    int32_t best = 195076;
    uint32_t index = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t d = Square(palette[i].rgbBlue - c.b) + Square(palette[i].rgbGreen - c.g) +
                          Square(palette[i].rgbRed - c.r);
        if (d < best) {
            best = d;
            index = i;
        }
    }
    return index;
}

struct PlainBox {
    int64_t first, last;
    int range, channel, splitValue, channelMax;
    int median[3];
};

// Median cut over an array of pixel numbers, statistics recomputed from the
// pixels of each box.
std::vector<RGBQUAD> PlainMedianCut(const std::vector<Colour>& pixels, uint32_t n) {
    std::vector<uint32_t> numbers(pixels.size());
    for (uint32_t i = 0; i < numbers.size(); ++i) numbers[i] = i;
    auto value = [&](uint32_t number, int channel) {
        const Colour& c = pixels[number];
        return channel == 0 ? c.b : channel == 1 ? c.g : c.r;
    };
    auto statistics = [&](PlainBox& box) {
        int minimum[3] = {255, 255, 255}, maximum[3] = {0, 0, 0};
        uint32_t histogram[3][256] = {};
        for (int64_t i = box.first; i <= box.last; ++i)
            for (int c = 0; c < 3; ++c) {
                const int v = value(numbers[i], c);
                minimum[c] = std::min(minimum[c], v);
                maximum[c] = std::max(maximum[c], v);
                ++histogram[c][v];
            }
        const uint32_t half = uint32_t(box.last - box.first + 1) / 2;
        for (int c = 0; c < 3; ++c) {
            uint32_t total = 0;
            int v = 0;
            for (; v < 256; ++v) {
                total += histogram[c][v];
                if (total > half) break;
            }
            box.median[c] = v;
        }
        const int blue = maximum[0] - minimum[0];
        const int green = 2 * (maximum[1] - minimum[1]);
        const int red = (3 * (maximum[2] - minimum[2])) / 2;
        box.channel = 2;
        box.range = red;
        if (green > box.range) box.channel = 1, box.range = green;
        if (blue > box.range) box.channel = 0, box.range = blue;
        box.splitValue = box.median[box.channel];
        box.channelMax = maximum[box.channel];
    };
    std::vector<PlainBox> boxes(n);
    boxes[0].first = 0;
    boxes[0].last = int64_t(pixels.size()) - 1;
    statistics(boxes[0]);
    for (uint32_t i = 1; i < n; ++i) {
        uint32_t chosen = 0;
        for (uint32_t k = 1; k < i; ++k)
            if (boxes[k].range > boxes[chosen].range) chosen = k;
        PlainBox& box = boxes[chosen];
        const int t = box.splitValue == box.channelMax ? box.splitValue - 1 : box.splitValue;
        int64_t l = box.first, u = box.last;
        while (l <= u) {
            if (value(numbers[l], box.channel) > t) {
                std::swap(numbers[l], numbers[u]);
                --u;
            } else {
                ++l;
            }
        }
        boxes[i].first = u + 1;
        boxes[i].last = box.last;
        box.last = u;
        statistics(boxes[i]);
        statistics(box);
    }
    std::vector<RGBQUAD> palette(256, RGBQUAD{0, 0, 0, 0});
    for (uint32_t i = 0; i < n; ++i)
        palette[i] = RGBQUAD{uint8_t(boxes[i].median[0]), uint8_t(boxes[i].median[1]), uint8_t(boxes[i].median[2]), 0};
    return palette;
}

struct PlainResult {
    std::vector<RGBQUAD> palette;
    std::vector<uint8_t> indices;  // packed, width per row, bottom row first
};

PlainResult PlainReduce(const std::vector<uint8_t>& pixels24, uint32_t width, uint32_t height) {
    std::vector<Colour> pixels;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) pixels.push_back(PixelOf(pixels24, width, x, y));
    std::vector<Colour> distinct;
    std::vector<bool> seen(1 << 24);
    for (const Colour& c : pixels) {
        const uint32_t key = c.b + 256u * c.g + 65536u * c.r;
        if (!seen[key]) distinct.push_back(c), seen[key] = true;
    }
    PlainResult result;
    if (distinct.size() <= 256) {
        for (size_t j = 0; j < distinct.size(); ++j) {
            size_t smallest = j;
            for (size_t k = j + 1; k < distinct.size(); ++k)
                if (distinct[k].b + distinct[k].g + distinct[k].r <
                    distinct[smallest].b + distinct[smallest].g + distinct[smallest].r)
                    smallest = k;
            std::swap(distinct[j], distinct[smallest]);
        }
        result.palette.assign(256, RGBQUAD{0, 0, 0, 0});
        for (size_t j = 0; j < distinct.size(); ++j)
            result.palette[j] = RGBQUAD{distinct[j].b, distinct[j].g, distinct[j].r, 0};
        for (const Colour& c : pixels) {
            uint32_t i = 0;
            while (!(result.palette[i].rgbBlue == c.b && result.palette[i].rgbGreen == c.g &&
                     result.palette[i].rgbRed == c.r))
                ++i;
            result.indices.push_back(uint8_t(i));
        }
    } else {
        result.palette = PlainMedianCut(pixels, 256);
        for (const Colour& c : pixels) result.indices.push_back(uint8_t(PlainNearest(result.palette.data(), 256, c)));
    }
    return result;
}

// Runs Convert 24 -> 8 and returns palette and packed indices; checks padding.
PlainResult Convert24To8(PixelConverter& converter, const std::vector<uint8_t>& pixels, uint32_t width,
                         uint32_t height) {
    converter.width = int32_t(width);
    converter.height = int32_t(height);
    SetLayout(converter, 24, 8);
    std::vector<uint8_t> out(converter.imageSize + 4, 0x77);
    RGBQUAD paletteOut[256];
    std::memset(paletteOut, 0, sizeof paletteOut);
    RGBQUAD paletteIn[256] = {};
    PlainResult result;
    if (!Convert(converter, paletteIn, pixels.data(), paletteOut, out.data())) return result;
    result.palette.assign(paletteOut, paletteOut + 256);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) result.indices.push_back(out[y * converter.stride + x]);
        for (uint32_t x = width; x < uint32_t(converter.stride); ++x) EXPECT_EQ(out[y * converter.stride + x], 0);
    }
    return result;
}

bool SamePalette(const std::vector<RGBQUAD>& a, const std::vector<RGBQUAD>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
}

// ---- Layout and the plain pairs ---------------------------------------------

TEST(PixelConverter, LayoutPerDepth) {
    PixelConverter converter;
    converter.width = 5;
    converter.height = 3;
    SetLayout(converter, 24, 24);
    EXPECT_EQ(converter.rowBytes, 15);
    EXPECT_EQ(converter.stride, 16);
    EXPECT_EQ(converter.imageSize, 48u);
    SetLayout(converter, 24, 8);
    EXPECT_EQ(converter.rowBytes, 5);
    EXPECT_EQ(converter.stride, 8);
    EXPECT_EQ(converter.imageSize, 24u);
    converter.width = 1;
    SetLayout(converter, 8, 24);
    EXPECT_EQ(converter.stride, 4);
    SetLayout(converter, 8, 8);
    EXPECT_EQ(converter.stride, 4);
    SetLayout(converter, 8, 16);  // no other depth has a layout
    EXPECT_EQ(converter.rowBytes, 0);
    EXPECT_EQ(converter.stride, 0);
    EXPECT_EQ(converter.imageSize, 0u);
    converter.width = -4;
    converter.height = -2;
    SetLayout(converter, 8, 8);
    EXPECT_EQ(converter.width, 0);
    EXPECT_EQ(converter.height, 0);
    EXPECT_EQ(converter.imageSize, 0u);
    // 40000 x 40000 at 24 bits needs more than 32 bits.
    converter.width = 40000;
    converter.height = 40000;
    SetLayout(converter, 24, 24);
    EXPECT_EQ(converter.stride, 120000);
    EXPECT_EQ(converter.imageSize, 0u);
    converter.width = 0x7FFFFFFF;
    converter.height = 1;
    SetLayout(converter, 24, 24);
    EXPECT_EQ(converter.stride, 0);
    EXPECT_EQ(converter.imageSize, 0u);
}

TEST(PixelConverter, CopiesAndExpansion) {
    PixelConverter converter;
    converter.width = 3;
    converter.height = 2;
    RGBQUAD palette[256] = {};
    for (int i = 0; i < 256; ++i) palette[i] = RGBQUAD{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), uint8_t(i & 7)};
    const uint8_t indices[] = {1, 2, 200, 0, 255, 7, 9, 0, 0x55};
    RGBQUAD paletteOut[256] = {};
    uint8_t out[24 + 4];
    std::memset(out, 0xCC, sizeof out);

    SetLayout(converter, 8, 8);
    ASSERT_TRUE(Convert(converter, palette, indices, paletteOut, out));
    EXPECT_EQ(std::memcmp(paletteOut, palette, sizeof palette), 0);
    EXPECT_EQ(std::memcmp(out, indices, 8), 0);
    EXPECT_EQ(out[8], 0xCC);  // exactly imageSize bytes

    std::memset(out, 0xCC, sizeof out);
    std::memset(paletteOut, 0, sizeof paletteOut);
    SetLayout(converter, 8, 24);
    ASSERT_TRUE(Convert(converter, palette, indices, paletteOut, out));
    const uint8_t expected[24] = {1, 254, 0, 2, 253, 1, 200, 55, 100, 0, 0, 0,
                                  255, 0, 127, 7, 248, 3, 9, 246, 4, 0, 0, 0};
    EXPECT_EQ(std::memcmp(out, expected, 24), 0);
    EXPECT_EQ(paletteOut[5].rgbBlue, 0);  // no palette for a 24-bit target

    const uint8_t rgb[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0};
    std::memset(out, 0xCC, sizeof out);
    SetLayout(converter, 24, 24);
    ASSERT_TRUE(Convert(converter, palette, rgb, paletteOut, out));
    EXPECT_EQ(std::memcmp(out, rgb, 24), 0);
}

TEST(PixelConverter, RefusesOtherDepthsAndOversizedImages) {
    PixelConverter converter;
    converter.width = 2;
    converter.height = 2;
    RGBQUAD palette[256] = {};
    uint8_t in[16] = {};
    RGBQUAD paletteOut[256];
    std::memset(paletteOut, 0x5A, sizeof paletteOut);
    uint8_t out[20];
    std::memset(out, 0x5A, sizeof out);
    for (auto [source, target] : {std::pair{16u, 8u}, {8u, 16u}, {32u, 24u}, {24u, 32u}, {1u, 8u}}) {
        SetLayout(converter, source, target);
        EXPECT_FALSE(Convert(converter, palette, in, paletteOut, out)) << source << "->" << target;
    }
    EXPECT_EQ(out[0], 0x5A);
    EXPECT_EQ(paletteOut[0].rgbRed, 0x5A);
    // A target size that does not fit in 32 bits must not be written at all.
    converter.width = 70000;
    converter.height = 70000;
    SetLayout(converter, 8, 24);
    EXPECT_FALSE(Convert(converter, palette, in, paletteOut, out));
    SetLayout(converter, 24, 8);
    EXPECT_FALSE(Convert(converter, palette, in, paletteOut, out));
    EXPECT_EQ(out[0], 0x5A);
    // Too wide for the GIF entry.
    converter.width = 1073741824;
    converter.height = 1;
    SetLayout(converter, 24, 8);
    EXPECT_FALSE(ReduceForGif(converter, palette, in, paletteOut, out));
    SetLayout(converter, 16, 8);
    converter.width = 2;
    EXPECT_FALSE(ReduceForGif(converter, palette, in, paletteOut, out));
    EXPECT_EQ(out[0], 0x5A);
}

// ---- The exact path ---------------------------------------------------------

TEST(PixelConverter, ExactPathAt256ColoursMedianCutAt257) {
    // 17 x 16 pixels: the first 256 carry distinct colours (in an order that
    // is not sorted by brightness), the rest repeat or add one more colour.
    auto colourOf = [](uint32_t i) {
        if (i == 256) return Colour{1, 1, 1};
        return Colour{uint8_t((i * 37) & 255), uint8_t(i ^ 0x5A), uint8_t(255 - i)};
    };
    for (uint32_t colours : {256u, 257u}) {
        const uint32_t width = 17, height = 16;
        auto pixels = Make24(width, height, [&](uint32_t x, uint32_t y) {
            const uint32_t i = y * width + x;
            return i < colours ? colourOf(i) : colourOf(i % 256);
        });
        PixelConverter converter;
        PlainResult got = Convert24To8(converter, pixels, width, height);
        PlainResult want = PlainReduce(pixels, width, height);
        ASSERT_FALSE(got.palette.empty());
        EXPECT_TRUE(SamePalette(got.palette, want.palette)) << colours;
        EXPECT_EQ(got.indices, want.indices) << colours;
        if (colours == 256) {
            // Exact: every pixel's entry is its own colour.
            for (uint32_t i = 0; i < width * height; ++i) {
                const Colour c = PixelOf(pixels, width, i % width, i / width);
                const RGBQUAD& e = got.palette[got.indices[i]];
                ASSERT_TRUE(e.rgbBlue == c.b && e.rgbGreen == c.g && e.rgbRed == c.r);
            }
        } else {
            // A median-cut palette of 256 entries cannot hold 257 colours.
            uint32_t exact = 0;
            for (uint32_t i = 0; i < 257; ++i) {
                const Colour c = PixelOf(pixels, width, i % width, i / width);
                const RGBQUAD& e = got.palette[got.indices[i]];
                exact += e.rgbBlue == c.b && e.rgbGreen == c.g && e.rgbRed == c.r;
            }
            EXPECT_LT(exact, 257u);
        }
    }
}

TEST(PixelConverter, ExactPaletteIsSortedDarkestFirstBySelectionSort) {
    // First occurrences: A (sum 30), C (sum 30), B (sum 10), D (sum 600).
    // Selection sort swaps B into place 0 and A to place 2: B, C, A, D — a
    // stable sort would give B, A, C, D.
    const Colour A{10, 10, 10}, C{30, 0, 0}, B{5, 5, 0}, D{200, 200, 200};
    const Colour order[] = {A, C, B, D, A, B};
    auto pixels = Make24(3, 2, [&](uint32_t x, uint32_t y) { return order[y * 3 + x]; });
    PixelConverter converter;
    PlainResult got = Convert24To8(converter, pixels, 3, 2);
    ASSERT_EQ(got.palette.size(), 256u);
    auto is = [](const RGBQUAD& e, Colour c) { return e.rgbBlue == c.b && e.rgbGreen == c.g && e.rgbRed == c.r; };
    EXPECT_TRUE(is(got.palette[0], B));
    EXPECT_TRUE(is(got.palette[1], C));
    EXPECT_TRUE(is(got.palette[2], A));
    EXPECT_TRUE(is(got.palette[3], D));
    for (int i = 4; i < 256; ++i) EXPECT_EQ(ColourKey(got.palette[i]) | got.palette[i].rgbReserved, 0u);
    EXPECT_EQ(got.indices, (std::vector<uint8_t>{2, 1, 0, 3, 2, 0}));
}

TEST(PixelConverter, SingleColourImage) {
    auto pixels = Make24(5, 3, [](uint32_t, uint32_t) { return Colour{12, 34, 56}; });
    PixelConverter converter;
    PlainResult got = Convert24To8(converter, pixels, 5, 3);
    ASSERT_EQ(got.palette.size(), 256u);
    EXPECT_EQ(got.palette[0].rgbBlue, 12);
    EXPECT_EQ(got.palette[0].rgbGreen, 34);
    EXPECT_EQ(got.palette[0].rgbRed, 56);
    EXPECT_EQ(got.palette[0].rgbReserved, 0);
    for (int i = 1; i < 256; ++i) EXPECT_EQ(ColourKey(got.palette[i]), 0u);
    EXPECT_EQ(got.indices, std::vector<uint8_t>(15, 0));
}

TEST(PixelConverter, GifReductionOfAnEightBitSourceKeepsFirstOccurrenceOrder) {
    // Palette with repeats: entry 3 repeats entry 1 (other reserved byte),
    // entries from 5 on are all black, repeating entry 0.
    RGBQUAD palette[256] = {};
    palette[0] = {0, 0, 0, 9};
    palette[1] = {200, 100, 50, 1};
    palette[2] = {1, 2, 3, 0};
    palette[3] = {200, 100, 50, 7};
    palette[4] = {255, 255, 255, 4};
    // 3 x 2 image, rows padded to 4 bytes in, packed out.
    const uint8_t indices[] = {3, 4, 200, 0, 2, 1, 0, 0};
    PixelConverter converter;
    converter.width = 3;
    converter.height = 2;
    SetLayout(converter, 8, 8);
    RGBQUAD paletteOut[256] = {};
    uint8_t out[6 + 4];
    std::memset(out, 0xAB, sizeof out);
    ASSERT_TRUE(ReduceForGif(converter, palette, indices, paletteOut, out));
    EXPECT_EQ(std::memcmp(&paletteOut[0], &palette[0], 4), 0);
    EXPECT_EQ(std::memcmp(&paletteOut[1], &palette[1], 4), 0);
    EXPECT_EQ(std::memcmp(&paletteOut[2], &palette[2], 4), 0);
    EXPECT_EQ(std::memcmp(&paletteOut[3], &palette[4], 4), 0);
    for (int i = 4; i < 256; ++i) EXPECT_EQ(ColourKey(paletteOut[i]), 0u);
    const uint8_t expected[] = {1, 3, 0, 2, 1, 0};
    EXPECT_EQ(std::memcmp(out, expected, 6), 0);
    EXPECT_EQ(out[6], 0xAB);  // packed: nothing beyond width * height
}

// ---- Median cut -------------------------------------------------------------

// Eight pixels, every combination of 0 and the given maximum per channel: the
// one split of a two-colour cut takes the channel the tie rules choose, and
// palette entry 0 (the lower box) is 0 in that channel only.
int SplitChannel(uint8_t blueMax, uint8_t greenMax, uint8_t redMax) {
    PixelConverter converter;
    converter.width = 8;
    converter.height = 1;
    SetLayout(converter, 24, 8);
    if (!converter.workBuffer.Allocate(8 * 4 + 4)) return -1;
    uint8_t* work = converter.workBuffer.Get();
    for (int i = 0; i < 8; ++i) {
        work[4 * i + 0] = (i & 1) ? blueMax : 0;
        work[4 * i + 1] = (i & 2) ? greenMax : 0;
        work[4 * i + 2] = (i & 4) ? redMax : 0;
    }
    RGBQUAD palette[256] = {};
    if (!MedianCutPalette(converter, 2, palette)) return -1;
    EXPECT_EQ(ColourKey(palette[1]), ColourKey(blueMax, greenMax, redMax));
    if (palette[0].rgbBlue == 0 && palette[0].rgbGreen == greenMax && palette[0].rgbRed == redMax) return 0;
    if (palette[0].rgbGreen == 0 && palette[0].rgbBlue == blueMax && palette[0].rgbRed == redMax) return 1;
    if (palette[0].rgbRed == 0 && palette[0].rgbBlue == blueMax && palette[0].rgbGreen == greenMax) return 2;
    return -2;
}

TEST(MedianCut, SplitChannelOnEqualAndWeightedRanges) {
    // Weighted ranges: blue 6, green 2 * 3 = 6, red 3 * 4 / 2 = 6: red first.
    EXPECT_EQ(SplitChannel(6, 3, 4), 2);
    // Green 6 equals blue 6, red 3 * 3 / 2 = 4: green before blue.
    EXPECT_EQ(SplitChannel(6, 3, 3), 1);
    // Red 3 * 5 / 2 = 7 (rounded down) ties blue 7: red; blue 8 beats it.
    EXPECT_EQ(SplitChannel(7, 3, 5), 2);
    EXPECT_EQ(SplitChannel(8, 3, 5), 0);
    // Green 2 * 4 = 8 beats red 3 * 5 / 2 = 7 and ties blue 8: green.
    EXPECT_EQ(SplitChannel(8, 4, 5), 1);
}

TEST(MedianCut, RefusesEmptyImagesAndBadCounts) {
    PixelConverter converter;
    ASSERT_TRUE(converter.workBuffer.Allocate(8));
    RGBQUAD palette[256] = {};
    converter.width = 0;
    converter.height = 5;
    EXPECT_FALSE(MedianCutPalette(converter, 2, palette));
    converter.width = 1;
    converter.height = 1;
    EXPECT_FALSE(MedianCutPalette(converter, 0, palette));
    EXPECT_FALSE(MedianCutPalette(converter, 257, palette));
    EXPECT_TRUE(MedianCutPalette(converter, 1, palette));
    converter.width = 1 << 15;
    converter.height = 1 << 15;  // 2^30 pixels: beyond the index array's limit
    EXPECT_FALSE(MedianCutPalette(converter, 2, palette));
}

// ---- The whole reduction against the plain one ------------------------------

TEST(PixelConverter, ReductionMatchesThePlainAlgorithmOnRandomImages) {
    std::mt19937 random(12345);
    struct Case {
        uint32_t width, height;
        int kind;
    };
    // Odd widths exercise the row padding; kinds: 0 noise, 1 few levels per
    // channel (many equal ranges and ties), 2 gradient with noise, 3 two
    // clusters far apart.
    const Case cases[] = {{61, 47, 0}, {64, 40, 1}, {33, 71, 2}, {50, 50, 3}, {7, 300, 1}, {129, 3, 0}, {40, 33, 2}};
    for (const Case& c : cases) {
        auto pixels = Make24(c.width, c.height, [&](uint32_t x, uint32_t y) -> Colour {
            switch (c.kind) {
                case 0: return {uint8_t(random()), uint8_t(random()), uint8_t(random())};
                case 1: return {uint8_t(random() % 4 * 85), uint8_t(random() % 6 * 51), uint8_t(random() % 5 * 60)};
                case 2:
                    return {uint8_t(std::min<uint32_t>(255, x * 4 + random() % 9)),
                            uint8_t(std::min<uint32_t>(255, y * 3 + random() % 5)), uint8_t((x + y) & 255)};
                default: {
                    const bool far = random() & 1;
                    const uint8_t base = far ? 200 : 10;
                    return {uint8_t(base + random() % 40), uint8_t(base + random() % 30), uint8_t(base + random() % 20)};
                }
            }
        });
        PixelConverter converter;
        PlainResult got = Convert24To8(converter, pixels, c.width, c.height);
        PlainResult want = PlainReduce(pixels, c.width, c.height);
        ASSERT_FALSE(got.palette.empty());
        EXPECT_TRUE(SamePalette(got.palette, want.palette)) << c.width << "x" << c.height << " kind " << c.kind;
        EXPECT_EQ(got.indices, want.indices) << c.width << "x" << c.height << " kind " << c.kind;

        // The GIF entry gives the same palette and indices, packed.
        PixelConverter gif;
        gif.width = int32_t(c.width);
        gif.height = int32_t(c.height);
        SetLayout(gif, 24, 8);
        RGBQUAD paletteOut[256] = {};
        std::vector<uint8_t> packed(c.width * c.height + 4, 0x33);
        RGBQUAD none[256] = {};
        ASSERT_TRUE(ReduceForGif(gif, none, pixels.data(), paletteOut, packed.data()));
        EXPECT_EQ(std::memcmp(paletteOut, want.palette.data(), sizeof paletteOut), 0);
        packed.resize(c.width * c.height);
        EXPECT_EQ(packed, want.indices);
    }
}

TEST(PixelConverter, KeepsItsSquaredDifferenceTableAcrossImages) {
    auto pixels = Make24(20, 20, [](uint32_t x, uint32_t y) { return Colour{uint8_t(x * 13), uint8_t(y * 11), 7}; });
    PixelConverter converter;
    ASSERT_FALSE(Convert24To8(converter, pixels, 20, 20).palette.empty());
    const int32_t* table = converter.squaredDifference.Get();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[0], 255 * 255);
    EXPECT_EQ(table[255], 0);
    EXPECT_EQ(table[510], 255 * 255);
    EXPECT_EQ(table[255 - 3], 9);
    ASSERT_FALSE(Convert24To8(converter, pixels, 20, 20).palette.empty());
    EXPECT_EQ(converter.squaredDifference.Get(), table);
    EXPECT_FALSE(converter.workBuffer);  // the working copy is released
}

// ---- The fast nearest search against the plain one --------------------------

TEST(NearestColourSearch, SameAnswersAsThePlainSearch) {
    std::mt19937 random(777);
    PixelConverter converter;
    ASSERT_TRUE(EnsureSquaredDifferenceTable(converter));
    for (int round = 0; round < 8; ++round) {
        RGBQUAD palette[256];
        const uint32_t n = round % 3 == 0 ? 256 : 1 + random() % 256;
        for (uint32_t i = 0; i < n; ++i) {
            if (round % 4 == 1) {
                // Clustered, on a coarse grid: many equally near entries.
                palette[i] = RGBQUAD{uint8_t(100 + random() % 5 * 8), uint8_t(random() % 3 * 16), uint8_t(random() % 4 * 4), 0};
            } else if (i > 0 && random() % 4 == 0) {
                palette[i] = palette[random() % i];  // exact duplicates
            } else {
                palette[i] = RGBQUAD{uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
            }
        }
        NearestColourSearch search;
        ASSERT_TRUE(search.Prepare(converter.squaredDifference.Get(), palette, n));
        for (int k = 0; k < 10000; ++k) {
            uint32_t colour = random() & 0xFFFFFF;
            if (k % 3 == 0) colour = ColourKey(palette[random() % n]) ^ (random() & 0x030303);
            ASSERT_EQ(search.Find(colour), NearestIndex(converter.squaredDifference.Get(), palette, n, colour))
                << "round " << round << " colour " << colour;
        }
        // Every colour of a few whole cubes, corners included.
        for (uint32_t cube : {0u, 32767u, 12345u, 31u << 10}) {
            for (uint32_t d = 0; d < 512; ++d) {
                const uint32_t b = ((cube & 31) << 3) | (d & 7), g = (((cube >> 5) & 31) << 3) | ((d >> 3) & 7),
                               r = ((cube >> 10) << 3) | (d >> 6);
                const uint32_t colour = ColourKey(uint8_t(b), uint8_t(g), uint8_t(r));
                ASSERT_EQ(search.Find(colour), NearestIndex(converter.squaredDifference.Get(), palette, n, colour));
            }
        }
    }
}

TEST(NearestColourSearch, FirstOfEquallyNearEntriesWins) {
    PixelConverter converter;
    ASSERT_TRUE(EnsureSquaredDifferenceTable(converter));
    RGBQUAD palette[4] = {{10, 0, 0, 0}, {0, 0, 10, 0}, {0, 0, 10, 0}, {0, 10, 0, 0}};
    NearestColourSearch search;
    ASSERT_TRUE(search.Prepare(converter.squaredDifference.Get(), palette, 4));
    // (0,0,0) is 100 from every entry: entry 0.
    EXPECT_EQ(search.Find(0), 0u);
    EXPECT_EQ(NearestIndex(converter.squaredDifference.Get(), palette, 4, 0), 0u);
    // Red 10 matches entries 1 and 2 exactly: entry 1.
    EXPECT_EQ(search.Find(ColourKey(0, 0, 10)), 1u);
    EXPECT_EQ(search.Find(ColourKey(0, 10, 0)), 3u);
}

TEST(ColourCounting, CountsDistinctColours) {
    std::vector<uint8_t> work;
    for (uint32_t key : {0x000000u, 0xFFFFFFu, 0x000000u, 0x010203u, 0xFFFFFFu, 0x030201u})
        for (int i = 0; i < 4; ++i) work.push_back(uint8_t(i < 3 ? key >> (8 * i) : 0));
    EXPECT_EQ(CountColours(6, work.data()), 4u);
    EXPECT_EQ(CountColours(1, work.data()), 1u);

    // Ranked: colours in increasing order, each with its pixel count.
    ColourSet set;
    ASSERT_EQ(set.Mark(6, work.data()), 4u);
    ASSERT_TRUE(set.Rank());
    EXPECT_EQ(set.RankOf(0x000000), 0u);
    EXPECT_EQ(set.RankOf(0x010203), 1u);
    EXPECT_EQ(set.RankOf(0x030201), 2u);
    EXPECT_EQ(set.RankOf(0xFFFFFF), 3u);
    const os::PixelArray<uint64_t> weighted = set.WeightedColours(6, work.data());
    ASSERT_TRUE(weighted);
    const uint64_t expected[] = {0x000000 | (2ull << 32), 0x010203 | (1ull << 32), 0x030201 | (1ull << 32),
                                 0xFFFFFF | (2ull << 32)};
    EXPECT_TRUE(std::equal(expected, expected + 4, weighted.Get()));
}

}  // namespace
}  // namespace qdx
