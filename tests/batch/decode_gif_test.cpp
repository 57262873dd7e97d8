#include <gtest/gtest.h>

#include <cstring>

#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "batch/output_steps.h"
#include "codecs/read/gif_reader.h"
#include "codecs/write/gif_writer.h"
#include "tests/support/gif_builder.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::Bytes;

struct DecodeGifTest : ::testing::Test {
    test::TempFolder folder;
    Settings settings;
    Preset preset;
    ConversionContext context;
    WideString input = folder.File(u"in.gif");
    DecodeGifTest() {
        context.Initialise();
        context.settings = &settings;
        context.preset = &preset;
    }
    void WriteInput(const Bytes& file) { ASSERT_TRUE(test::WriteBytes(input, file.data(), file.size())); }
};

// 3 x 1, a 2-bit global table with background 3, transparent index 1.
Bytes TransparentGif() {
    test::GifBuilder gif;
    gif.screenWidth = gif.width = 3;
    gif.screenHeight = gif.height = 1;
    gif.backgroundIndex = 3;
    gif.AddGraphicControl(true, 1);
    gif.data = test::PackTracked({4, 0, 1, 2, 5}, 2);
    return gif.Build();
}

TEST_F(DecodeGifTest, TransparentColourIsThePaletteEntryTheReaderFilledIn) {
    WriteInput(TransparentGif());
    preset.keepTransparency = 1;
    settings.useOwnBackground = 0;
    ASSERT_TRUE(DecodeGifInput(context, input));
    // The global table's background entry 3 = (3, 6, 252).
    EXPECT_EQ(context.transparent.hasTransparentColour, 1);
    EXPECT_EQ(context.transparent.red, 3);
    EXPECT_EQ(context.transparent.green, 6);
    EXPECT_EQ(context.transparent.blue, 252);
    EXPECT_EQ(context.image.sourceKind, 5u);
    context.image.pixels.Reset();

    // The settings' own background colour, red in the low byte.
    settings.useOwnBackground = 1;
    settings.backgroundColour = 0x332211;
    ASSERT_TRUE(DecodeGifInput(context, input));
    EXPECT_EQ(context.transparent.hasTransparentColour, 1);
    EXPECT_EQ(context.transparent.red, 0x11);
    EXPECT_EQ(context.transparent.green, 0x22);
    EXPECT_EQ(context.transparent.blue, 0x33);
    EXPECT_EQ(context.image.palette[1].rgbRed, 0x11);
    context.image.pixels.Reset();

    // A preset that drops transparency keeps none, though the palette is
    // still flattened.
    preset.keepTransparency = 0;
    context.transparent.hasTransparentColour = 1;
    ASSERT_TRUE(DecodeGifInput(context, input));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
    EXPECT_EQ(context.image.palette[1].rgbBlue, 0x33);
    context.image.pixels.Reset();

    // A file without transparency.
    preset.keepTransparency = 1;
    test::GifBuilder opaque;
    opaque.data = test::PackTracked({4, 0, 5}, 2);
    WriteInput(opaque.Build());
    ASSERT_TRUE(DecodeGifInput(context, input));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
    context.image.pixels.Reset();

    WriteInput(Bytes({'G', 'I', 'F', '8', '9', 'a'}));
    EXPECT_FALSE(DecodeGifInput(context, input));
    EXPECT_EQ(context.image.pixels.Get(), nullptr);
}

TEST_F(DecodeGifTest, GifInGifOutKeepsEveryColourAndTheTransparency) {
    // 8 x 6 with a 3-bit local table, interlaced, on a 10 x 8 screen.
    test::GifBuilder gif;
    gif.screenWidth = 10;
    gif.screenHeight = 8;
    gif.globalBits = 3;
    gif.backgroundIndex = 6;
    gif.left = 1;
    gif.top = 2;
    gif.width = 8;
    gif.height = 6;
    gif.localBits = 3;
    gif.interlaced = true;
    gif.minimumCodeSize = 3;
    gif.AddGraphicControl(true, 5);
    std::vector<uint32_t> codes = {8};
    for (int i = 0; i < 48; ++i) {
        if (i % 5 == 0 && i > 0) codes.push_back(8);
        codes.push_back(uint32_t(i * 7 % 8));
    }
    codes.push_back(9);
    gif.data = test::PackTracked(codes, 3);
    WriteInput(gif.Build());

    preset.keepTransparency = 1;
    preset.outputFormat = kOutputGif;
    ASSERT_TRUE(DecodeGifInput(context, input));
    RGBQUAD paletteBefore[256];
    std::memcpy(paletteBefore, context.image.palette, sizeof paletteBefore);
    const Bytes indicesBefore = test::TopDownIndices(context.image);
    const RGBQUAD transparentBefore = context.image.palette[5];

    const WideString output = folder.File(u"out.gif");
    context.tempPath = &output;
    context.savedBitDepth = 8;
    ASSERT_TRUE(GifOutputStep(context));
    context.image.pixels.Reset();

    GifReaderState reader;
    reader.flattenTransparency = 0;
    DecodedImage after;
    ASSERT_TRUE(ReadGifImage(reader, output, &after));
    ASSERT_EQ(after.header.biWidth, 10);
    ASSERT_EQ(after.header.biHeight, 8);
    const Bytes indicesAfter = test::TopDownIndices(after);
    for (size_t i = 0; i < indicesBefore.size(); ++i) {
        const RGBQUAD& a = paletteBefore[indicesBefore[i]];
        const RGBQUAD& b = after.palette[indicesAfter[i]];
        ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue) << "pixel " << i;
    }
    ASSERT_EQ(reader.resultTransparent, 1);
    const RGBQUAD& t = after.palette[reader.resultTransparentIndex];
    EXPECT_EQ(t.rgbRed, transparentBefore.rgbRed);
    EXPECT_EQ(t.rgbGreen, transparentBefore.rgbGreen);
    EXPECT_EQ(t.rgbBlue, transparentBefore.rgbBlue);
}

}  // namespace
}  // namespace qdx
