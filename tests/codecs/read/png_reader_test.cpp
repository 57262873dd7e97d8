#include "codecs/read/png_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "codecs/read/blend_table.h"
#include "core/os/wide_string.h"
#include "tests/support/png_files.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::Be32;
using test::Deflate;
using test::kPngSignature;
using test::MakePng;
using test::PngChunk;
using test::PngHeaderData;

constexpr uint8_t kBackground[3] = {10, 200, 30};  // red, green, blue

class PngReaderTest : public ::testing::Test {
protected:
    // Writes the bytes to a file and reads them with the state's options.
    bool Read(const std::string& bytes) {
        image.pixels.Reset();
        const WideString path = folder.File(u"in.png");
        EXPECT_TRUE(test::WriteBytes(path, bytes));
        return ReadPngImage(state, path, &image);
    }
    uint32_t Fails(const std::string& bytes) {
        EXPECT_FALSE(Read(bytes));
        EXPECT_EQ(image.pixels.Get(), nullptr);
        return state.input.status;
    }
    // Pixel (x, y) counted from the top of the picture.
    const uint8_t* At(uint32_t x, uint32_t y) {
        const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
        return image.pixels.Get() + size_t(image.header.biHeight - 1 - y) * stride + x * (image.header.biBitCount / 8);
    }
    void SetUp() override {
        state.flattenTransparency = 1;
        state.useOwnBackground = 1;
        std::copy(kBackground, kBackground + 3, state.backgroundColour);
    }

    test::TempFolder folder;
    PngReaderState state;
    DecodedImage image;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

TEST_F(PngReaderTest, OneBitGreyOfWidthNineUsesThreeByteRowsAndTwelveByteOutputRows) {
    // 1 0 1 1 0 0 1 0 | 1, then the inverse.
    const std::string rows = Bytes({0, 0xB2, 0x80, 0, 0x4D, 0x7F});
    ASSERT_TRUE(Read(MakePng(9, 2, 1, 0, rows)));
    EXPECT_EQ(image.header.biBitCount, 8);
    EXPECT_EQ(image.sourceBitDepth, 1u);
    const uint8_t top[12] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0};
    const uint8_t bottom[12] = {0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(image.pixels.Get(), bottom, 12), 0);  // bottom row first in memory
    EXPECT_EQ(std::memcmp(image.pixels.Get() + 12, top, 12), 0);
    EXPECT_EQ(image.palette[0].rgbRed, 0);
    EXPECT_EQ(image.palette[1].rgbRed, 255);
    EXPECT_EQ(image.palette[1].rgbBlue, 255);
    EXPECT_EQ(image.palette[2].rgbGreen, 0);
}

TEST_F(PngReaderTest, FilterTypesFiveAndAboveAreTakenAsNone) {
    const std::string rows = Bytes({5, 10, 20, 30, 255, 1, 2, 3, 6, 9, 9, 9});
    ASSERT_TRUE(Read(MakePng(3, 3, 8, 0, rows)));
    EXPECT_EQ(At(0, 0)[0], 10);
    EXPECT_EQ(At(2, 0)[0], 30);
    EXPECT_EQ(At(0, 1)[0], 1);
    EXPECT_EQ(At(2, 1)[0], 3);
    EXPECT_EQ(At(1, 2)[0], 9);
}

// Packs samples (one per channel, at full depth) of one row.
std::string PackRow(const std::vector<uint16_t>& samples, int depth) {
    std::string out;
    if (depth >= 8) {
        for (uint16_t s : samples) {
            if (depth == 16) out += char(s >> 8);
            out += char(s & 0xFF);
        }
        return out;
    }
    uint32_t accumulator = 0, bits = 0;
    for (uint16_t s : samples) {
        accumulator = (accumulator << depth) | s;
        bits += uint32_t(depth);
        if (bits == 8) {
            out += char(accumulator);
            accumulator = bits = 0;
        }
    }
    if (bits) out += char(accumulator << (8 - bits));
    return out;
}

// Every layout, plain and interlaced, with every filter type: the output must
// be the high byte of each sample, colour as blue, green, red.
TEST_F(PngReaderTest, EveryLayoutAndFilterDecodesToTheSamplesHighBytes) {
    struct Layout {
        int depth, type, channels;
    };
    const Layout layouts[] = {{1, 0, 1}, {2, 0, 1}, {4, 0, 1}, {8, 0, 1}, {16, 0, 1}, {1, 3, 1}, {2, 3, 1},
                              {4, 3, 1}, {8, 3, 1}, {8, 2, 3},  {16, 2, 3}, {8, 4, 2}, {16, 4, 2}, {8, 6, 4},
                              {16, 6, 4}};
    std::mt19937 random(7);
    state.flattenTransparency = 0;  // compare the colour channels as decoded
    const uint32_t width = 13, height = 11;
    for (const Layout& layout : layouts) {
        for (uint8_t interlace = 0; interlace < 2; ++interlace) {
            SCOPED_TRACE(testing::Message() << "depth " << layout.depth << " type " << layout.type << " interlace "
                                            << int(interlace));
            const uint32_t maximum = (1u << layout.depth) - 1;
            std::vector<uint16_t> samples(size_t(width) * height * layout.channels);
            for (auto& s : samples) s = uint16_t(random() % (maximum + 1));
            // Some runs of equal samples make the filters' sums wrap and repeat.
            for (size_t i = 0; i < samples.size() / 4; ++i) samples[i] = uint16_t(maximum);
            const int bytesPerPixel = layout.depth < 8 ? 1 : layout.channels * layout.depth / 8;
            std::string filtered;
            const int passes = interlace ? 7 : 1;
            static const uint32_t sx[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
            static const uint32_t sy[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
            int typeCycle = 0;
            for (int pass = 0; pass < passes; ++pass) {
                const uint32_t x0 = interlace ? sx[pass] : 0, xs = interlace ? dx[pass] : 1;
                const uint32_t y0 = interlace ? sy[pass] : 0, ys = interlace ? dy[pass] : 1;
                if (x0 >= width || y0 >= height) continue;
                std::string raw;
                uint32_t rowBytes = 0, rows = 0;
                for (uint32_t y = y0; y < height; y += ys, ++rows) {
                    std::vector<uint16_t> row;
                    for (uint32_t x = x0; x < width; x += xs)
                        for (int c = 0; c < layout.channels; ++c)
                            row.push_back(samples[(size_t(y) * width + x) * layout.channels + c]);
                    const std::string packed = PackRow(row, layout.depth);
                    rowBytes = uint32_t(packed.size());
                    raw += packed;
                }
                std::vector<int> types;
                for (uint32_t r = 0; r < rows; ++r) types.push_back(typeCycle++ % 5);
                filtered += test::FilterRows(raw, rowBytes, rows, uint32_t(bytesPerPixel), types);
            }
            std::string before;
            if (layout.type == 3) {
                std::string palette;
                for (int i = 0; i < (1 << layout.depth); ++i) palette += Bytes({i, 255 - i, i / 2});
                before = PngChunk("PLTE", palette);
            }
            ASSERT_TRUE(Read(MakePng(width, height, uint8_t(layout.depth), uint8_t(layout.type), filtered, before,
                                     interlace)))
                << state.input.status;
            const bool colour = layout.channels >= 3;
            ASSERT_EQ(image.header.biBitCount, colour ? 24 : 8);
            int mismatches = 0;
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; ++x) {
                    const uint16_t* s = &samples[(size_t(y) * width + x) * layout.channels];
                    auto high = [&](int c) { return layout.depth == 16 ? s[c] >> 8 : s[c]; };
                    const uint8_t* p = At(x, y);
                    const bool same = colour ? (p[0] == high(2) && p[1] == high(1) && p[2] == high(0))
                                             : p[0] == high(0);
                    if (!same && ++mismatches < 4) ADD_FAILURE() << "pixel " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(PngReaderTest, AlphaZeroGivesTheBackgroundAndAlphaFullKeepsThePixels) {
    std::string clear, opaque;
    for (int i = 0; i < 4; ++i) {
        clear += Bytes({0, 40, 80, 120, 0, 250, 1, 2, 0});
        opaque += Bytes({0, 40, 80, 120, 255, 250, 1, 2, 255});
    }
    ASSERT_TRUE(Read(MakePng(2, 4, 8, 6, clear)));
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            EXPECT_EQ(At(x, y)[0], kBackground[2]);
            EXPECT_EQ(At(x, y)[1], kBackground[1]);
            EXPECT_EQ(At(x, y)[2], kBackground[0]);
        }
    ASSERT_TRUE(Read(MakePng(2, 4, 8, 6, opaque)));
    EXPECT_EQ(At(0, 3)[0], 120);
    EXPECT_EQ(At(0, 3)[2], 40);
    EXPECT_EQ(At(1, 0)[0], 2);
    EXPECT_EQ(At(1, 0)[2], 250);
}

TEST_F(PngReaderTest, FileBackgroundIsUsedUnlessTheSettingsSayOtherwise) {
    // Grey + alpha 16 bits: high bytes only, and only the background's red.
    const std::string rows = Bytes({0, 200, 7, 0, 9, 200, 7, 255, 9});
    const std::string background = PngChunk("bKGD", Bytes({100, 1}));
    state.useOwnBackground = 0;
    ASSERT_TRUE(Read(MakePng(2, 1, 16, 4, rows, background)));
    EXPECT_EQ(At(0, 0)[0], 100);  // alpha 0: the file's grey
    EXPECT_EQ(At(1, 0)[0], 200);  // alpha 255: the sample
    state.useOwnBackground = 1;
    ASSERT_TRUE(Read(MakePng(2, 1, 16, 4, rows, background)));
    EXPECT_EQ(At(0, 0)[0], kBackground[0]);
}

TEST_F(PngReaderTest, PaletteTransparencyShorterThanThePaletteLeavesTheRestOpaque) {
    const std::string palette = PngChunk("PLTE", Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9}));
    const std::string rows = Bytes({0, 0x1B});  // indices 0 1 2 3
    ASSERT_TRUE(Read(MakePng(4, 1, 2, 3, rows, palette + PngChunk("tRNS", Bytes({0, 255})))));
    EXPECT_TRUE(state.trnsSeen);
    EXPECT_EQ(image.palette[0].rgbRed, kBackground[0]);
    EXPECT_EQ(image.palette[0].rgbGreen, kBackground[1]);
    EXPECT_EQ(image.palette[0].rgbBlue, kBackground[2]);
    EXPECT_EQ(image.palette[1].rgbGreen, 255);
    EXPECT_EQ(image.palette[2].rgbBlue, 255);
    EXPECT_EQ(image.palette[3].rgbRed, 9);
    EXPECT_EQ(state.paletteAlpha.Get()[3], 255);
    EXPECT_EQ(state.paletteAlpha.Get()[200], 255);

    // Longer than the palette: ignored, nothing flattened.
    ASSERT_TRUE(Read(MakePng(4, 1, 2, 3, rows, palette + PngChunk("tRNS", Bytes({0, 0, 0, 0, 0})))));
    EXPECT_FALSE(state.trnsSeen);
    EXPECT_EQ(image.palette[0].rgbRed, 255);
    EXPECT_EQ(image.palette[0].rgbGreen, 0);
}

TEST_F(PngReaderTest, PartialPaletteAlphaBlendsThroughTheTable) {
    const std::string palette = PngChunk("PLTE", Bytes({200, 100, 0}));
    ASSERT_TRUE(Read(MakePng(1, 1, 8, 3, Bytes({0, 0}), palette + PngChunk("tRNS", Bytes({128})))));
    // 128/255 of the colour plus 127/255 of the background, each rounded.
    EXPECT_EQ(image.palette[0].rgbRed, 100 + 5);
    EXPECT_EQ(image.palette[0].rgbGreen, 50 + 100);
    EXPECT_EQ(image.palette[0].rgbBlue, 0 + 15);
}

TEST_F(PngReaderTest, GreyTransparencyLevelTurnsThatPaletteEntryIntoTheBackground) {
    ASSERT_TRUE(Read(MakePng(4, 1, 2, 0, Bytes({0, 0x1B}), PngChunk("tRNS", Bytes({0, 3})))));
    EXPECT_EQ(image.palette[3].rgbRed, kBackground[0]);
    EXPECT_EQ(image.palette[3].rgbGreen, kBackground[1]);
    EXPECT_EQ(image.palette[3].rgbBlue, kBackground[2]);
    EXPECT_EQ(image.palette[2].rgbRed, 170);
    EXPECT_EQ(At(3, 0)[0], 3);
    EXPECT_EQ(state.transparentColour[1], 3);
}

TEST_F(PngReaderTest, SixteenBitColourKeyMatchesOnHighBytes) {
    const std::string rows = Bytes({0, 1, 2, 3, 4, 5, 6, 1, 99, 3, 98, 5, 97, 7, 2, 3, 4, 5, 6});
    ASSERT_TRUE(Read(MakePng(3, 1, 16, 2, rows, PngChunk("tRNS", Bytes({1, 0, 3, 0, 5, 0})))));
    EXPECT_EQ(image.sourceBitDepth, 48u);
    for (uint32_t x = 0; x < 2; ++x) {
        EXPECT_EQ(At(x, 0)[0], kBackground[2]);
        EXPECT_EQ(At(x, 0)[2], kBackground[0]);
    }
    EXPECT_EQ(At(2, 0)[2], 7);
    EXPECT_EQ(At(2, 0)[1], 3);
    EXPECT_EQ(At(2, 0)[0], 5);
}

TEST_F(PngReaderTest, EarlyStreamEndSucceedsWithBlackRowsButACutStreamFails) {
    const std::string header = kPngSignature + PngChunk("IHDR", PngHeaderData(2, 3, 8, 0));
    const std::string end = PngChunk("IEND", "");
    ASSERT_TRUE(Read(header + PngChunk("IDAT", Deflate(Bytes({0, 7, 8}))) + end));
    EXPECT_EQ(At(0, 0)[0], 7);
    EXPECT_EQ(At(1, 0)[0], 8);
    EXPECT_EQ(At(0, 1)[0], 0);
    EXPECT_EQ(At(1, 2)[0], 0);

    std::string rows;
    for (int i = 0; i < 3; ++i) rows += Bytes({0, 7 + i, 100 - i});
    const std::string stream = Deflate(rows, 0);  // stored: the rows' bytes in plain sight
    EXPECT_EQ(Fails(header + PngChunk("IDAT", stream.substr(0, stream.size() - 8)) + end), kPngInflateFailed);
    // Cut inside the last row.
    EXPECT_EQ(Fails(header + PngChunk("IDAT", stream.substr(0, stream.size() - 5)) + end), kPngInflateFailed);
    EXPECT_EQ(Fails(header + PngChunk("IDAT", Bytes({0x78, 0x9C, 0xFF, 0xFF, 0xFF})) + end), kPngInflateFailed);
}

TEST_F(PngReaderTest, ImageDataMayBeSplitButNotInterrupted) {
    const std::string header = kPngSignature + PngChunk("IHDR", PngHeaderData(2, 2, 8, 0));
    const std::string stream = Deflate(Bytes({0, 1, 2, 0, 3, 4}));
    const std::string first = PngChunk("IDAT", stream.substr(0, 5)), second = PngChunk("IDAT", stream.substr(5));
    const std::string end = PngChunk("IEND", "");
    ASSERT_TRUE(Read(header + first + second + end));
    EXPECT_EQ(state.imageDataLength, stream.size());
    EXPECT_EQ(At(1, 1)[0], 4);
    // Image data after other chunks that followed the first run.
    const std::string whole = PngChunk("IDAT", stream);
    EXPECT_EQ(Fails(header + whole + PngChunk("tEXt", "a\0b") + whole + end), kPngChunkOrder);
    // The first run is inflated before the walk goes on: when it holds only
    // part of the stream, the cut-off stream is found first.
    EXPECT_EQ(Fails(header + first + PngChunk("tEXt", "a\0b") + second + end), kPngInflateFailed);
    std::string damaged = second;
    damaged[damaged.size() - 1] ^= 1;
    EXPECT_EQ(Fails(header + first + damaged + end), kPngImageDataRun);
    std::string damagedFirst = first;
    damagedFirst[damagedFirst.size() - 1] ^= 1;
    EXPECT_EQ(Fails(header + damagedFirst + second + end), kPngChecksumMismatch);
    // A run followed by a chunk that claims to run past the end.
    EXPECT_EQ(Fails(header + first + second + Be32(100) + "tEXt"), kPngImageDataRun);
}

TEST_F(PngReaderTest, ResolutionIsTakenInMetresOnly) {
    const std::string rows = Bytes({0, 1});
    ASSERT_TRUE(Read(MakePng(1, 1, 8, 0, rows, PngChunk("pHYs", Be32(2835) + Be32(3000) + Bytes({1})))));
    EXPECT_EQ(image.header.biXPelsPerMeter, 2835);
    EXPECT_EQ(image.header.biYPelsPerMeter, 3000);
    ASSERT_TRUE(Read(MakePng(1, 1, 8, 0, rows, PngChunk("pHYs", Be32(72) + Be32(72) + Bytes({0})))));
    EXPECT_EQ(image.header.biXPelsPerMeter, 0);
    EXPECT_EQ(image.header.biYPelsPerMeter, 0);
    ASSERT_TRUE(Read(MakePng(1, 1, 8, 0, rows, PngChunk("pHYs", Be32(0x80000000u) + Be32(72) + Bytes({1})))));
    EXPECT_EQ(image.header.biXPelsPerMeter, 0);
}

TEST_F(PngReaderTest, MissingEndChunkAndOverlongChunks) {
    const std::string header = kPngSignature + PngChunk("IHDR", PngHeaderData(1, 1, 8, 0));
    const std::string data = PngChunk("IDAT", Deflate(Bytes({0, 5})));
    EXPECT_EQ(Fails(header + data), kPngImageDataRun);
    EXPECT_EQ(Fails(header + data + PngChunk("tEXt", "k\0v")), kStatusMalformed);
    EXPECT_EQ(Fails(header + Be32(0x7FFFFFFF) + "tEXt" + "abc"), kStatusMalformed);
    EXPECT_EQ(Fails(header + Be32(0x80000000u) + "tEXt" + "abc"), kPngChunkTooLong);
    EXPECT_EQ(Fails(header + Be32(0xFFFFFFFFu) + "IDAT" + "abc"), kPngChunkTooLong);
    EXPECT_EQ(Fails(header + Be32(0x7FFFFFFF) + "IDAT" + "abc"), kStatusMalformed);
}

TEST_F(PngReaderTest, HeaderProblemsHaveTheirOwnCodes) {
    const std::string rows = Bytes({0, 1});
    auto withHeader = [&](const std::string& headerChunk) {
        return kPngSignature + headerChunk + PngChunk("IDAT", Deflate(rows)) + PngChunk("IEND", "");
    };
    EXPECT_EQ(Fails(kPngSignature + PngChunk("IHDR", PngHeaderData(1, 1, 8, 0)).substr(0, 24)), kStatusMalformed);
    std::string badSignature = MakePng(1, 1, 8, 0, rows);
    badSignature[7] = 0x0B;
    EXPECT_EQ(Fails(badSignature), kStatusMalformed);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 8, 0) + "x"))), kPngHeaderLength);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDX", PngHeaderData(1, 1, 8, 0)))), kPngNoHeader);
    std::string badCrc = withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 8, 0)));
    badCrc[30] ^= 0x40;
    EXPECT_EQ(Fails(badCrc), kPngChecksumMismatch);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(0, 1, 8, 0)))), kStatusUnsupported);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 0x80000000u, 8, 0)))), kStatusUnsupported);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(0x80000000u, 1, 8, 0)))), kStatusUnsupported);
    std::string method = PngHeaderData(1, 1, 8, 0);
    method[10] = 1;
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", method))), kPngCompressionMethod);
    method[10] = 0;
    method[11] = 1;
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", method))), kPngFilterMethod);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 8, 0, 2)))), kPngInterlaceMethod);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 3, 0)))), kPngBitDepth);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 16, 3)))), kPngColourTypeForDepth);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 4, 2)))), kPngColourTypeForDepth);
    EXPECT_EQ(Fails(withHeader(PngChunk("IHDR", PngHeaderData(1, 1, 8, 5)))), kPngColourTypeForDepth);
}

TEST_F(PngReaderTest, ChunkOrderAndMissingChunks) {
    const std::string header = kPngSignature + PngChunk("IHDR", PngHeaderData(1, 1, 8, 3));
    const std::string palette = PngChunk("PLTE", Bytes({1, 2, 3}));
    const std::string data = PngChunk("IDAT", Deflate(Bytes({0, 0})));
    const std::string end = PngChunk("IEND", "");
    ASSERT_TRUE(Read(header + palette + data + end));
    EXPECT_EQ(state.paletteEntries, 1u);
    EXPECT_EQ(Fails(header + data + end), kPngMissingData);
    EXPECT_EQ(Fails(header + palette + end), kPngMissingData);
    EXPECT_EQ(Fails(header + data + palette + end), kPngChunkOrder);
    EXPECT_EQ(Fails(header + palette + palette + data + end), kPngChunkOrder);
    EXPECT_EQ(Fails(header + palette + PngChunk("IHDR", PngHeaderData(1, 1, 8, 3)) + data + end), kPngChunkOrder);
    std::string badPalette = palette;
    badPalette.back() ^= 1;
    EXPECT_EQ(Fails(header + badPalette + data + end), kPngChecksumMismatch);
    std::string badEnd = end;
    badEnd.back() ^= 1;
    EXPECT_EQ(Fails(header + palette + data + badEnd), kPngChecksumMismatch);
    // A damaged ancillary chunk is only ignored.
    std::string badText = PngChunk("tEXt", "a\0b");
    badText.back() ^= 1;
    EXPECT_TRUE(Read(header + palette + badText + data + end));
    // A greyscale image skips a palette unread.
    const std::string grey = kPngSignature + PngChunk("IHDR", PngHeaderData(1, 1, 8, 0));
    EXPECT_TRUE(Read(grey + data + badPalette + end));
}

TEST_F(PngReaderTest, PaletteLimitsAndIndicesBeyondIt) {
    // Three entries offered to a 1-bit image: two are taken. Index 3 of a
    // 2-bit image with two entries reads palette entry 3, which is black.
    std::string three = Bytes({10, 10, 10, 20, 20, 20, 30, 30, 30});
    ASSERT_TRUE(Read(MakePng(2, 1, 1, 3, Bytes({0, 0x40}), PngChunk("PLTE", three))));
    EXPECT_EQ(state.paletteEntries, 2u);
    EXPECT_EQ(image.palette[2].rgbRed, 0);
    ASSERT_TRUE(Read(MakePng(2, 1, 2, 3, Bytes({0, 0x30}), PngChunk("PLTE", three.substr(0, 6)))));
    EXPECT_EQ(At(1, 0)[0], 3);
    EXPECT_EQ(image.palette[3].rgbRed, 0);
}

TEST_F(PngReaderTest, RefusedFilesLeaveNoPixelsAndTheStateServesTheNextFile) {
    EXPECT_EQ(Fails(std::string("\x89PNG")), kStatusMalformed);
    ASSERT_TRUE(Read(MakePng(1, 1, 8, 2, Bytes({0, 1, 2, 3}))));
    EXPECT_EQ(image.header.biBitCount, 24);
    EXPECT_EQ(image.fileSize, MakePng(1, 1, 8, 2, Bytes({0, 1, 2, 3})).size());
    EXPECT_NE(image.lastWriteTime, 0u);
    const WideString missing = folder.File(u"missing.png");
    EXPECT_FALSE(ReadPngImage(state, missing, &image));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);
}

TEST(BlendTable, HoldsRoundedProductsAndIsSymmetric) {
    auto table = std::make_unique<BlendTable>();
    BuildBlendTable(*table);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(table->product[0][x], 0);
        EXPECT_EQ(table->product[x][0], 0);
        EXPECT_EQ(table->product[255][x], x);
        EXPECT_EQ(table->product[x][255], x);
        for (int y = 0; y < 256; ++y) {
            ASSERT_EQ(table->product[x][y], table->product[y][x]);
            // The truncated reciprocal can leave a product a shade over half a step low.
            ASSERT_LE(std::abs(table->product[x][y] - x * y / 255.0), 0.502) << x << " " << y;
        }
    }
    // floor(128 * 65536 / 255) = 32896; (128 * 32896 + 32768) / 65536 = 64.75 -> 64.
    EXPECT_EQ(table->product[128][128], 64);
    // Where the exact product is a hair above .5 the table rounds down: 3 * 85 / 255
    // is exactly 1; 1 * 128 / 255 = 0.502 gives (128 * 257 + 32768) / 65536 = 1.
    EXPECT_EQ(table->product[1][128], 1);
}

}  // namespace
}  // namespace qdx
