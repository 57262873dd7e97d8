#include "codecs/write/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "codecs/read/png_reader.h"
#include "codecs/write/png_row_filter.h"
#include "core/os/wide_string.h"
#include "tests/support/png_files.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

struct ChunkView {
    std::string tag, data;
};

std::vector<ChunkView> Chunks(const std::string& file) {
    std::vector<ChunkView> chunks;
    size_t at = 8;
    while (at + 12 <= file.size()) {
        const uint32_t length = (uint32_t(uint8_t(file[at])) << 24) | (uint32_t(uint8_t(file[at + 1])) << 16) |
                                (uint32_t(uint8_t(file[at + 2])) << 8) | uint8_t(file[at + 3]);
        chunks.push_back({file.substr(at + 4, 4), file.substr(at + 8, length)});
        at += 12 + size_t(length);
    }
    return chunks;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

// A bottom-up 24-bit picture with flat areas, edges and noise.
std::vector<uint8_t> MakePicture(int32_t width, int32_t height, uint32_t variant) {
    std::mt19937 random(variant);
    const uint32_t stride = RowStride(uint32_t(width), 24);
    std::vector<uint8_t> pixels(size_t(stride) * height + 4, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &pixels[size_t(y) * stride + 3 * size_t(x)];
            if (x < width / 3) {
                p[0] = p[1] = p[2] = 255;
            } else if (x < 2 * width / 3) {
                p[0] = uint8_t(x * 3), p[1] = uint8_t(y * 5), p[2] = uint8_t(x + y);
            } else {
                p[0] = uint8_t(random()), p[1] = uint8_t(random()), p[2] = uint8_t(random());
            }
        }
    return pixels;
}

class PngWriterTest : public ::testing::Test {
protected:
    bool WriteTrueColour(int32_t width, int32_t height, const uint8_t* pixels) {
        state.converter.width = width;
        state.converter.height = height;
        SetLayout(state.converter, 24, 24);
        return WritePngFile(state, path, nullptr, pixels);
    }
    test::TempFolder folder;
    WideString path = folder.File(u"out.png");
    PngWriterState state;
};

TEST_F(PngWriterTest, PlainTrueColourImageHasOnlyHeaderDataAndEnd) {
    const auto pixels = MakePicture(7, 5, 1);
    ASSERT_TRUE(WriteTrueColour(7, 5, pixels.data()));
    EXPECT_EQ(state.writeStatus, kStatusUnspecified);  // stays on success
    const std::string file = test::ReadBytes(path);
    ASSERT_EQ(file.substr(0, 8), test::kPngSignature);
    const auto chunks = Chunks(file);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].tag, "IHDR");
    EXPECT_EQ(chunks[0].data, test::PngHeaderData(7, 5, 8, 2));
    EXPECT_EQ(chunks[1].tag, "IDAT");
    EXPECT_EQ(chunks[2].tag, "IEND");
    EXPECT_EQ(file.substr(file.size() - 4), Bytes({0xAE, 0x42, 0x60, 0x82}));
}

TEST_F(PngWriterTest, ResolutionNeedsBothValuesAndTransparencyGivesSixByteChunks) {
    const auto pixels = MakePicture(3, 2, 2);
    state.horizontalResolution = 3780;
    state.verticalResolution = 0;
    ASSERT_TRUE(WriteTrueColour(3, 2, pixels.data()));
    EXPECT_EQ(Chunks(test::ReadBytes(path)).size(), 3u);

    state.verticalResolution = 2835;
    const uint8_t colour[3] = {0x12, 0x34, 0x56};
    state.transparency = 1;
    state.transparentColour = colour;
    ASSERT_TRUE(WriteTrueColour(3, 2, pixels.data()));
    const auto chunks = Chunks(test::ReadBytes(path));
    ASSERT_EQ(chunks.size(), 6u);
    EXPECT_EQ(chunks[1].tag, "pHYs");
    EXPECT_EQ(chunks[1].data, test::Be32(3780) + test::Be32(2835) + Bytes({1}));
    EXPECT_EQ(chunks[2].tag, "tRNS");
    EXPECT_EQ(chunks[2].data, Bytes({0, 0x12, 0, 0x34, 0, 0x56}));
    EXPECT_EQ(chunks[3].tag, "bKGD");
    EXPECT_EQ(chunks[3].data, chunks[2].data);
    EXPECT_EQ(chunks[4].tag, "IDAT");
}

TEST_F(PngWriterTest, TrueColourReadsBackIdenticallyWithBothDecoders) {
    for (const int32_t width : {1, 2, 61}) {
        SCOPED_TRACE(width);
        const int32_t height = 17;
        const auto pixels = MakePicture(width, height, uint32_t(width));
        ASSERT_TRUE(WriteTrueColour(width, height, pixels.data()));
        const std::string file = test::ReadBytes(path);

        PngReaderState reader;
        DecodedImage image;
        ASSERT_TRUE(ReadPngImage(reader, path, &image));
        ASSERT_EQ(image.header.biBitCount, 24);
        const uint32_t stride = RowStride(uint32_t(width), 24);
        for (int32_t y = 0; y < height; ++y)
            ASSERT_EQ(std::memcmp(image.pixels.Get() + size_t(y) * stride, &pixels[size_t(y) * stride], size_t(width) * 3), 0)
                << "row " << y;
        image.pixels.Reset();

        const test::ReferencePng png = test::DecodeReferencePng(file);
        ASSERT_TRUE(png.ok);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* p = &pixels[size_t(height - 1 - y) * stride + 3 * size_t(x)];
                const uint16_t* s = &png.samples[(size_t(y) * width + x) * 3];
                ASSERT_TRUE(s[0] == p[2] && s[1] == p[1] && s[2] == p[0]) << x << "," << y;
            }

        // One deflate at level 9, memory level 9, filtered strategy.
        std::string filtered;
        {
            uLongf size = uLongf(height) * (3 * width + 1);
            filtered.resize(size);
            ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(filtered.data()), &size,
                                 reinterpret_cast<const Bytef*>(png.imageData.data()), uLong(png.imageData.size())),
                      Z_OK);
        }
        z_stream stream{};
        ASSERT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15, 9, Z_FILTERED), Z_OK);
        std::string again(deflateBound(&stream, uLong(filtered.size())), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(filtered.data());
        stream.avail_in = uInt(filtered.size());
        stream.next_out = reinterpret_cast<Bytef*>(again.data());
        stream.avail_out = uInt(again.size());
        ASSERT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
        again.resize(stream.total_out);
        deflateEnd(&stream);
        EXPECT_EQ(again, png.imageData);
        // The zlib header of a level-9 stream.
        EXPECT_EQ(uint8_t(png.imageData[0]), 0x78);
        EXPECT_EQ(uint8_t(png.imageData[1]), 0xDA);
    }
}

TEST_F(PngWriterTest, TooWideImagesAreRefusedBeforeAnyFileExists) {
    uint8_t pixel[8] = {};
    state.converter.width = 89478486;
    state.converter.height = 1;
    SetLayout(state.converter, 24, 24);
    EXPECT_FALSE(WritePngFile(state, path, nullptr, pixel));
    EXPECT_EQ(state.writeStatus, kStatusCannotCreate);
    EXPECT_FALSE(os::FileExists(path.Text()));
    const WideString nowhere = folder.File(u"missing/out.png");
    state.converter.width = 1;
    EXPECT_FALSE(WritePngFile(state, nowhere, nullptr, pixel));
    EXPECT_EQ(state.writeStatus, kStatusCannotCreate);
}

TEST_F(PngWriterTest, PaletteIsCompactedInFirstOccurrenceOrderAndPixelsRenumbered) {
    RGBQUAD palette[256] = {};
    const int colours[5][3] = {{0, 0, 0}, {255, 0, 0}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}};  // red, green, blue
    for (int i = 0; i < 5; ++i) {
        palette[i].rgbRed = uint8_t(colours[i][0]);
        palette[i].rgbGreen = uint8_t(colours[i][1]);
        palette[i].rgbBlue = uint8_t(colours[i][2]);
    }
    palette[2].rgbReserved = 7;  // the fourth byte does not count
    // 5 x 2, bottom row first in memory, stride 8.
    const uint8_t pixels[20] = {0, 1, 2, 3, 4, 0, 0, 0, 4, 3, 2, 1, 0, 9, 0, 0};
    state.converter.width = 5;
    state.converter.height = 2;
    SetLayout(state.converter, 8, 8);
    const uint8_t key[3] = {0, 255, 0};
    state.transparency = 1;
    state.transparentColour = key;
    ASSERT_TRUE(WritePngFile(state, path, palette, pixels));
    EXPECT_EQ(state.paletteSize, 3);
    const std::string file = test::ReadBytes(path);
    const auto chunks = Chunks(file);
    ASSERT_EQ(chunks.size(), 6u);
    EXPECT_EQ(chunks[0].data, test::PngHeaderData(5, 2, 8, 3));
    EXPECT_EQ(chunks[1].tag, "PLTE");
    EXPECT_EQ(chunks[1].data, Bytes({0, 0, 0, 255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(chunks[2].tag, "tRNS");
    EXPECT_EQ(chunks[2].data, Bytes({255, 255, 0}));
    EXPECT_EQ(chunks[3].tag, "bKGD");
    EXPECT_EQ(chunks[3].data, Bytes({2}));
    const test::ReferencePng png = test::DecodeReferencePng(file);
    ASSERT_TRUE(png.ok);
    const uint16_t top[5] = {2, 1, 0, 1, 0}, bottom[5] = {0, 1, 0, 1, 2};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(png.samples[size_t(x)], top[x]);
        EXPECT_EQ(png.samples[size_t(5 + x)], bottom[x]);
    }
    // Rows of palette images are never filtered.
    z_stream stream{};
    ASSERT_EQ(inflateInit(&stream), Z_OK);
    uint8_t rows[12] = {};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(png.imageData.data()));
    stream.avail_in = uInt(png.imageData.size());
    stream.next_out = rows;
    stream.avail_out = sizeof rows;
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    inflateEnd(&stream);
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(rows[6], 0);

    // A transparent colour that is not in the palette writes neither chunk.
    const uint8_t absent[3] = {1, 2, 3};
    state.transparentColour = absent;
    ASSERT_TRUE(WritePngFile(state, path, palette, pixels));
    const auto plain = Chunks(test::ReadBytes(path));
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[2].tag, "IDAT");
}

// Row filter cases with the outcome worked out by hand from the scoring rules.
struct FilterCase {
    std::vector<uint8_t> raw, previous;
    int expected;
    const char* why;
};

TEST(PngRowFilter, WinnerFollowsTheScoresAndTheirTieRules) {
    const FilterCase cases[] = {
        {{100, 50, 25, 12, 6, 3}, {0, 0, 0, 0, 0, 0}, 0, "nothing scores"},
        {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 0, "None's type byte starts the run"},
        {{253, 0, 252, 252, 255, 0}, {20, 253, 4, 20, 3, 255}, 0, "a tie with None keeps None"},
        {{254, 3, 254, 252, 253, 128}, {252, 128, 0, 254, 254, 255}, 2, "Up scores best"},
        {{1, 10, 20, 2, 255, 253}, {255, 20, 2, 255, 4, 253}, 1, "Sub wins a tie with Up"},
        {{10, 254, 20, 0, 255, 2}, {10, 1, 3, 255, 3, 254}, 4, "Paeth scores best"},
        {{4, 255, 254, 4, 1, 20}, {10, 3, 0, 2, 252, 128}, 3, "Average wins a tie with Paeth"},
        {{10, 20, 30, 10, 20, 30}, {0, 0, 0, 0, 0, 0}, 1, "Sub beats Paeth on a tie"},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.why);
        const uint32_t n = uint32_t(c.raw.size());
        std::vector<uint8_t> raw(1, 0), previous(1, 0);
        raw.insert(raw.end(), c.raw.begin(), c.raw.end());
        previous.insert(previous.end(), c.previous.begin(), c.previous.end());
        std::vector<uint8_t> buffers[4];
        uint8_t* candidates[4];
        for (int i = 0; i < 4; ++i) {
            buffers[i].assign(n + 1, 0xEE);
            candidates[i] = buffers[i].data();
        }
        EXPECT_EQ(ChooseRowFilter(raw.data(), previous.data(), n, 3, candidates), c.expected);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(candidates[i][0], i + 1);
    }
}

TEST(PngRowFilter, OnePixelRowsHaveNoLeftNeighbour) {
    const uint8_t raw[4] = {0, 200, 100, 50}, previous[4] = {0, 10, 20, 30};
    uint8_t sub[4], up[4], average[4], paeth[4];
    uint8_t* candidates[4] = {sub, up, average, paeth};
    ChooseRowFilter(raw, previous, 3, 3, candidates);
    EXPECT_EQ(std::memcmp(sub + 1, raw + 1, 3), 0);
    EXPECT_EQ(up[1], 190);
    EXPECT_EQ(average[2], 90);
    EXPECT_EQ(paeth[3], 20);  // with left and upper-left 0 the predictor is the byte above
}

}  // namespace
}  // namespace qdx
