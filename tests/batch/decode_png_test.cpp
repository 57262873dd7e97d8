// The batch's PNG branch: reader options from the settings, the transparent
// colour picked up for presets that keep transparency, and PNG -> PNG with no
// resize keeping both the kind of image and its pixels.
#include <gtest/gtest.h>

#include "batch/batch.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "batch/output_steps.h"
#include "codecs/read/png_reader.h"
#include "codecs/write/pixel_converter.h"
#include "codecs/write/png_writer.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/png_files.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::MakePng;
using test::PngChunk;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

// Colour of pixel (x, y) from the top, whatever the depth.
RGBQUAD ColourAt(const DecodedImage& image, uint32_t x, uint32_t y) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
    const uint8_t* row = image.pixels.Get() + size_t(image.header.biHeight - 1 - y) * stride;
    if (image.header.biBitCount == 8) return image.palette[row[x]];
    return RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
}

class DecodePngTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.Initialise());
        settings.useOwnBackground = 1;
        settings.backgroundColour = 0x332211;  // red 0x11, green 0x22, blue 0x33
        preset.keepTransparency = 1;
        context.settings = &settings;
        context.preset = &preset;
        context.tempPath = &output;
    }
    bool Decode(const std::string& bytes) {
        context.image.pixels.Reset();
        EXPECT_TRUE(test::WriteBytes(input, bytes));
        return DecodePngInput(context, input);
    }
    test::TempFolder folder;
    WideString input = folder.File(u"in.png");
    WideString output = folder.File(u"out.png");
    Settings settings;
    Preset preset;
    ConversionContext context;
};

const std::string kPalette = PngChunk("PLTE", Bytes({200, 0, 0, 0, 200, 0, 0, 0, 200}));

TEST_F(DecodePngTest, PaletteTransparencyGivesTheFlattenedColourOfTheFirstClearEntry) {
    const std::string rows = Bytes({0, 0, 1, 2});
    ASSERT_TRUE(Decode(MakePng(3, 1, 8, 3, rows, kPalette + PngChunk("tRNS", Bytes({255, 0, 0})))));
    EXPECT_EQ(context.transparent.hasTransparentColour, 1);
    EXPECT_EQ(context.transparent.red, 0x11);
    EXPECT_EQ(context.transparent.green, 0x22);
    EXPECT_EQ(context.transparent.blue, 0x33);

    // No fully clear entry: nothing to keep.
    ASSERT_TRUE(Decode(MakePng(3, 1, 8, 3, rows, kPalette + PngChunk("tRNS", Bytes({255, 10})))));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);

    // A preset that does not keep transparency.
    preset.keepTransparency = 0;
    ASSERT_TRUE(Decode(MakePng(3, 1, 8, 3, rows, kPalette + PngChunk("tRNS", Bytes({255, 0, 0})))));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
}

TEST_F(DecodePngTest, ColourKeysComeFromTheTransparencyChunk) {
    ASSERT_TRUE(Decode(MakePng(1, 1, 8, 2, Bytes({0, 1, 2, 3}), PngChunk("tRNS", Bytes({0, 9, 0, 8, 0, 7})))));
    EXPECT_EQ(context.transparent.hasTransparentColour, 1);
    EXPECT_EQ(context.transparent.red, 9);
    EXPECT_EQ(context.transparent.green, 8);
    EXPECT_EQ(context.transparent.blue, 7);

    ASSERT_TRUE(Decode(MakePng(1, 1, 8, 0, Bytes({0, 1}), PngChunk("tRNS", Bytes({0, 77})))));
    EXPECT_EQ(context.transparent.hasTransparentColour, 1);
    EXPECT_EQ(context.transparent.green, 77);
    EXPECT_EQ(context.transparent.red, 77);
    EXPECT_EQ(context.transparent.blue, 77);

    ASSERT_TRUE(Decode(MakePng(1, 1, 8, 6, Bytes({0, 1, 2, 3, 0}))));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
    // Alpha 0 took the background from the settings.
    const RGBQUAD colour = ColourAt(context.image, 0, 0);
    EXPECT_EQ(colour.rgbRed, 0x11);
    EXPECT_EQ(colour.rgbBlue, 0x33);
    EXPECT_FALSE(Decode("not a png at all, not at all"));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
}

TEST_F(DecodePngTest, FileBackgroundIsUsedWhenTheSettingsAllow) {
    settings.useOwnBackground = 0;
    ASSERT_TRUE(Decode(MakePng(1, 1, 8, 6, Bytes({0, 1, 2, 3, 0}), PngChunk("bKGD", Bytes({0, 50, 0, 60, 0, 70})))));
    const RGBQUAD colour = ColourAt(context.image, 0, 0);
    EXPECT_EQ(colour.rgbRed, 50);
    EXPECT_EQ(colour.rgbGreen, 60);
    EXPECT_EQ(colour.rgbBlue, 70);
}

// Decode, write with no resize, decode the output again and compare colours.
void ExpectRoundTrip(ConversionContext& context, const WideString& output, int bitCount) {
    DecodedImage& first = context.image;
    ASSERT_EQ(first.header.biBitCount, bitCount);
    context.savedBitDepth = first.header.biBitCount;
    ASSERT_TRUE(PngOutputStep(context));
    PngReaderState reader;
    reader.useOwnBackground = 1;
    DecodedImage second;
    ASSERT_TRUE(ReadPngImage(reader, output, &second));
    EXPECT_EQ(reader.colourType, bitCount == 8 ? 3 : 2);
    ASSERT_EQ(second.header.biBitCount, bitCount);
    ASSERT_EQ(second.header.biWidth, first.header.biWidth);
    ASSERT_EQ(second.header.biHeight, first.header.biHeight);
    for (int32_t y = 0; y < first.header.biHeight; ++y)
        for (int32_t x = 0; x < first.header.biWidth; ++x) {
            const RGBQUAD a = ColourAt(first, uint32_t(x), uint32_t(y));
            const RGBQUAD b = ColourAt(second, uint32_t(x), uint32_t(y));
            ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue) << x << "," << y;
        }
    EXPECT_EQ(second.header.biXPelsPerMeter, first.header.biXPelsPerMeter);
}

TEST_F(DecodePngTest, TrueColourStaysTrueColourWithIdenticalPixels) {
    std::string raw;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x) raw += Bytes({x * 20, y * 25, (x * y) & 0xFF});
    const std::string filtered = test::FilterRows(raw, 33, 9, 3, {0, 1, 2, 3, 4});
    const std::string resolution = PngChunk("pHYs", test::Be32(3780) + test::Be32(3780) + Bytes({1}));
    ASSERT_TRUE(Decode(MakePng(11, 9, 8, 2, filtered, resolution)));
    ExpectRoundTrip(context, output, 24);
}

TEST_F(DecodePngTest, PaletteImageStaysAPaletteImageWithIdenticalColours) {
    std::string rows;
    for (int y = 0; y < 5; ++y) rows += Bytes({0, (y * 0x1B) & 0xFF, 0xE4});  // 2-bit indices
    ASSERT_TRUE(Decode(MakePng(8, 5, 2, 3, rows, kPalette)));
    ExpectRoundTrip(context, output, 8);
}

TEST(PngBatch, APngPresetWithoutResizeWritesTheSamePixels) {
    test::TempFolder folder;
    test::ScopedTemporaryFolder scoped(folder.Path());
    const WideString input = folder.File(u"photo.png");
    std::string raw;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) raw += Bytes({x * 30, 255 - y * 40, x ^ y});
    const std::string source = MakePng(7, 6, 8, 2, test::FilterRows(raw, 21, 6, 3, {1, 4}));
    ASSERT_TRUE(test::WriteBytes(input, source));
    Settings settings;
    settings.presets[0] = Preset{};  // no resize, no subfolder
    settings.presets[0].outputFormat = kOutputPng;
    settings.presets[0].suffix.Assign(u"_same");
    const uint8_t selection[4] = {1, 0, 0, 0};
    test::RecordingHost host;
    ASSERT_EQ(RunConversion(host, 1, &input, selection, settings), 1u);
    const test::ReferencePng written = test::DecodeReferencePng(test::ReadBytes(folder.File(u"photo_same.png")));
    const test::ReferencePng original = test::DecodeReferencePng(source);
    ASSERT_TRUE(written.ok);
    EXPECT_EQ(written.colourType, 2);
    EXPECT_EQ(written.samples, original.samples);
}

}  // namespace
}  // namespace qdx
