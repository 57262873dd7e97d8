#include "codecs/write/gif_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "batch/conversion_context.h"
#include "batch/output_steps.h"
#include "codecs/read/gif_reader.h"
#include "core/os/wide_string.h"
#include "tests/support/gif_builder.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::Bytes;

// An image record of the given depth whose pixels come from `colourAt`
// (x, y from the top, returning red, green, blue packed as 0xRRGGBB); 8-bit
// images get the palette `colours` and the index of the colour.
struct TestImage {
    DecodedImage image;
    TestImage(int width, int height, int depth) {
        SetImageHeader(image, width, height, uint16_t(depth));
        image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), uint32_t(depth));
    }
    uint8_t* Pixel(int x, int y) {
        const int depth = image.header.biBitCount;
        return StoredRow(image, uint32_t(image.header.biHeight - 1 - y)) + x * depth / 8;
    }
    void SetRgb(int x, int y, uint32_t rgb) {
        uint8_t* p = Pixel(x, y);
        p[0] = uint8_t(rgb);
        p[1] = uint8_t(rgb >> 8);
        p[2] = uint8_t(rgb >> 16);
    }
};

struct GifWriteTest : ::testing::Test {
    test::TempFolder folder;
    WideString tempPath = folder.File(u"out.tmp");
    ConversionContext context;
    GifWriteTest() {
        context.Initialise();
        context.tempPath = &tempPath;
    }
    void SetUp() override {
    }

    // The picture is lent to the step and handed back.
    bool Write(DecodedImage& image) {
        context.image = std::move(image);
        const bool ok = GifOutputStep(context);
        image = std::move(context.image);
        return ok;
    }
    Bytes Written() {
        const std::string text = test::ReadBytes(tempPath);
        return Bytes(text.begin(), text.end());
    }
    // Colour of every pixel, top-down, as 0xRRGGBB, read back by our reader
    // (transparent colours left as they are in the file).
    std::vector<uint32_t> ReadBack(GifReaderState& reader) {
        DecodedImage decoded;
        reader.flattenTransparency = 0;
        std::vector<uint32_t> colours;
        if (!ReadGifImage(reader, tempPath, &decoded)) return colours;
        for (int y = 0; y < decoded.header.biHeight; ++y)
            for (int x = 0; x < decoded.header.biWidth; ++x) {
                const RGBQUAD& c = decoded.palette[test::IndexAt(decoded, x, y)];
                colours.push_back(uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue);
            }
        decoded.pixels.Reset();
        return colours;
    }
};

TEST_F(GifWriteTest, WritesTheFileLayout) {
    // Three colours on 3 x 2; rows differ so their order shows.
    TestImage picture(3, 2, 24);
    const uint32_t colours[6] = {0x102030, 0x405060, 0x102030, 0x708090, 0x708090, 0x405060};
    for (int i = 0; i < 6; ++i) picture.SetRgb(i % 3, i / 3, colours[i]);
    ASSERT_TRUE(Write(picture.image));
    const Bytes file = Written();
    ASSERT_GT(file.size(), 13u + 768 + 10 + 1 + 2 + 1);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 13), Bytes({'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, 0xF7, 0, 0}));
    // The exact palette, darkest first; the unused entries are black.
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 13 + 9),
              Bytes({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90}));
    EXPECT_EQ(Bytes(file.begin() + 22, file.begin() + 13 + 768), Bytes(768 - 9, 0));
    const size_t at = 13 + 768;
    EXPECT_EQ(Bytes(file.begin() + long(at), file.begin() + long(at) + 11), Bytes({0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0, 8}));
    // One sub-block holding the whole code stream, terminator, trailer.
    const Bytes codes = test::PackCodes({{256, 9}, {0, 9}, {1, 9}, {0, 9}, {2, 9}, {2, 9}, {1, 9}, {257, 9}}, true);
    Bytes tail = {uint8_t(codes.size())};
    tail.insert(tail.end(), codes.begin(), codes.end());
    tail.insert(tail.end(), {0, 0x3B});
    EXPECT_EQ(Bytes(file.begin() + long(at) + 11, file.end()), tail);

    GifReaderState reader;
    EXPECT_EQ(ReadBack(reader), std::vector<uint32_t>(colours, colours + 6));
    EXPECT_EQ(reader.resultTransparent, 0);
}

TEST_F(GifWriteTest, TransparentColourBecomesAGraphicControlExtension) {
    TestImage picture(4, 1, 8);
    const uint32_t palette[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int i = 0; i < 4; ++i) {
        picture.image.palette[i] = RGBQUAD{uint8_t(palette[i]), uint8_t(palette[i] >> 8), uint8_t(palette[i] >> 16), 0};
        *picture.Pixel(i, 0) = uint8_t(i);
    }
    context.transparent = TransparentColour{1, 0x00, 0xFF, 0x00};
    ASSERT_TRUE(Write(picture.image));
    Bytes file = Written();
    // An 8-bit source keeps its palette order: green stays at index 1.
    EXPECT_EQ(file[11], 1);  // background index = transparent index
    EXPECT_EQ(Bytes(file.begin() + 781, file.begin() + 789), Bytes({0x21, 0xF9, 0x04, 0x01, 0, 0, 1, 0}));
    EXPECT_EQ(file[789], 0x2C);
    GifReaderState reader;
    EXPECT_EQ(ReadBack(reader), std::vector<uint32_t>(palette, palette + 4));
    EXPECT_EQ(reader.resultTransparent, 1);
    EXPECT_EQ(reader.resultTransparentIndex, 1);

    // A colour the reduced palette does not hold: no extension, background 0.
    context.transparent = TransparentColour{1, 0x12, 0x34, 0x56};
    ASSERT_TRUE(Write(picture.image));
    file = Written();
    EXPECT_EQ(file[11], 0);
    EXPECT_EQ(file[781], 0x2C);
}

TEST_F(GifWriteTest, LongStreamsAreSplitIntoSubBlocksOf255) {
    TestImage picture(300, 200, 8);
    std::mt19937 random(5);
    for (int i = 0; i < 256; ++i) picture.image.palette[i] = RGBQUAD{uint8_t(i), uint8_t(i * 3), 7, 0};
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) *picture.Pixel(x, y) = uint8_t(random());
    ASSERT_TRUE(Write(picture.image));
    const Bytes file = Written();
    size_t at = 13 + 768 + 10;
    ASSERT_EQ(file[at++], 8);
    size_t blocks = 0;
    while (file[at] == 255) {
        at += 256;
        ++blocks;
        ASSERT_LT(at, file.size());
    }
    EXPECT_GT(blocks, 100u);
    EXPECT_GT(file[at], 0);  // the last, shorter block
    at += file[at] + 1u;
    EXPECT_EQ(file[at], 0);
    EXPECT_EQ(file[at + 1], 0x3B);
    EXPECT_EQ(at + 2, file.size());
    GifReaderState reader;
    const std::vector<uint32_t> back = ReadBack(reader);
    ASSERT_EQ(back.size(), 60000u);
    for (int y = 0; y < 200; y += 37)
        for (int x = 0; x < 300; x += 13) {
            const RGBQUAD& c = picture.image.palette[*picture.Pixel(x, y)];
            EXPECT_EQ(back[size_t(y) * 300 + x], uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue);
        }
}

TEST_F(GifWriteTest, SizesBeyondSixteenBitsAreRefused) {
    TestImage wide(65535, 1, 8);
    ASSERT_NE(wide.image.pixels.Get(), nullptr);
    ASSERT_TRUE(Write(wide.image));
    const Bytes file = Written();
    EXPECT_EQ(file[6], 0xFF);
    EXPECT_EQ(file[7], 0xFF);
    GifReaderState reader;
    EXPECT_EQ(ReadBack(reader).size(), 65535u);

    ASSERT_TRUE(os::RemoveFile(tempPath.Text()));
    TestImage tooWide(65536, 1, 8);
    EXPECT_FALSE(Write(tooWide.image));
    EXPECT_EQ(context.gifWriter->writeStatus, kStatusCannotCreate);
    EXPECT_FALSE(os::FileExists(tempPath.Text()));  // refused before creating anything
}

TEST_F(GifWriteTest, TwentyFourBitImagesKeepUpTo256ColoursExactly) {
    for (int colours : {1, 256, 257}) {
        TestImage picture(64, 40, 24);
        std::vector<uint32_t> expected;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 64; ++x) {
                const int n = (y * 64 + x) % colours;
                const uint32_t rgb = uint32_t(n * 97 % 256) << 16 | uint32_t(n % 256) << 8 | uint32_t(n / 256 * 200);
                picture.SetRgb(x, y, rgb);
                expected.push_back(rgb);
            }
        ASSERT_TRUE(Write(picture.image)) << colours;
        GifReaderState reader;
        const std::vector<uint32_t> back = ReadBack(reader);
        if (colours <= 256) {
            EXPECT_EQ(back, expected) << colours;
        } else {
            // Median cut: 257 colours cannot all stay, but most do.
            ASSERT_EQ(back.size(), expected.size());
            size_t same = 0;
            for (size_t i = 0; i < back.size(); ++i) same += back[i] == expected[i];
            EXPECT_GT(same, back.size() / 2);
            EXPECT_LT(same, back.size());
        }
    }
}

}  // namespace
}  // namespace qdx
