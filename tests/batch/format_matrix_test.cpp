// One small picture through the whole batch with the built-in codecs: every
// input format x every output format x (no resize, a resize). Inputs are
// made by the output steps themselves; outputs are read back by the batch's
// own DecodeInput. A palette source stays 8-bit (reduced again after the
// resize made it 24-bit) and a true-colour source stays 24-bit, except where
// the format decides: GIF is always a palette, JPEG and WebP are read as true
// colour. JPEG is lossy, and so is WebP for true-colour pictures unless the
// preset asks for lossless WebP (palette pictures are always written
// lossless): their pixels are compared with a tolerance, the rest exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "batch/batch.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"

namespace qdx {
namespace {

// Every output format; each is also an input.
struct Format {
    const char* name;
    uint32_t outputFormat;
};
const Format kFormats[] = {
    {"BMP", 0},           {"PNG", kOutputPng},  {"JPEG", kOutputJpeg},
    {"GIF", kOutputGif},  {"TIFF", kOutputTiff}, {"WebP", kOutputWebp}};

// The depth a file of `format` holds when written from a picture of `depth`.
uint16_t StoredDepth(const Format& format, uint16_t depth) {
    if (format.outputFormat == kOutputJpeg || format.outputFormat == kOutputWebp) return 24;
    if (format.outputFormat == kOutputGif) return 8;
    return depth;
}

// Whether `format` loses detail writing a picture that was `depth` bits when decoded.
bool Lossy(const Format& format, uint16_t depth, bool webpLossless) {
    return format.outputFormat == kOutputJpeg || (format.outputFormat == kOutputWebp && depth == 24 && !webpLossless);
}

constexpr int kWidth = 8, kHeight = 6;

// Colour of the 2 x 2 block holding (x, y), so that halving with the nearest
// neighbour keeps every colour exact.
std::tuple<int, int, int> BlockColour(int x, int y) {
    const int bx = x / 2, by = y / 2;
    return {40 * bx + 20, 200 - 60 * by, (bx * 3 + by * 5) % 7 * 30};
}

// Fills `image` with the test picture at 8 (palette) or 24 bits.
void MakePicture(DecodedImage& image, uint16_t depth) {
    SetImageHeader(image, kWidth, kHeight, depth);
    image.header.biXPelsPerMeter = image.header.biYPelsPerMeter = 2835;
    image.pixels = AllocatePixelBuffer(kWidth, kHeight, depth);
    const uint32_t stride = RowStride(kWidth, depth);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const auto [r, g, b] = BlockColour(x, y);
            uint8_t* p = image.pixels.Get() + uint64_t(kHeight - 1 - y) * stride;
            if (depth == 24) {
                p[3 * x] = uint8_t(b), p[3 * x + 1] = uint8_t(g), p[3 * x + 2] = uint8_t(r);
            } else {
                const int index = (x / 2) + 4 * (y / 2) + 100;  // not in brightness order on purpose
                image.palette[index] = RGBQUAD{uint8_t(b), uint8_t(g), uint8_t(r), 0};
                p[x] = uint8_t(index);
            }
        }
}

std::tuple<int, int, int> ColourAt(const DecodedImage& image, int x, int y) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
    const uint8_t* row = image.pixels.Get() + uint64_t(image.header.biHeight - 1 - y) * stride;
    if (image.header.biBitCount == 24) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    const RGBQUAD& c = image.palette[row[x]];
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
}

class FormatMatrixTest : public ::testing::Test {
protected:
    FormatMatrixTest() : temporary(root.File(u"tmp")), scoped(Made(temporary)) {
        Made(in);
        Made(out);
        EXPECT_TRUE(context.Initialise());
        context.settings = &settings;
        context.preset = &settings.presets[0];
        settings.presets[0].jpegQuality = 100;  // keeps the lossy round trips close
        settings.presets[0].jpegSubsampling = 2;
    }
    static const WideString& Made(const WideString& folder) {
        os::CreateFolder(folder.Text());
        return folder;
    }
    // Writes the test picture at `depth` with the output step of `format`.
    bool MakeInput(const Format& format, uint16_t depth, const WideString& path) {
        MakePicture(context.image, depth);
        context.savedBitDepth = depth;
        context.tempPath = &path;
        const bool ok = OutputStepFor(format.outputFormat)(context);
        context.image.pixels.Reset();
        return ok;
    }

    test::TempFolder root;
    WideString temporary;
    test::ScopedTemporaryFolder scoped;
    WideString in = root.File(u"in");
    WideString out = root.File(u"out");
    Settings settings = test::BlankSettings();
    ConversionContext context;
    test::RecordingHost host;
};

TEST_F(FormatMatrixTest, EveryFormatConvertsToEveryFormatWithAndWithoutResize) {
    for (const Format& from : kFormats)
        for (const Format& to : kFormats)
            for (uint16_t depth : {uint16_t(8), uint16_t(24)})
                for (bool resize : {false, true})
                for (bool webpLossless : {false, true}) {
                    const bool webp = from.outputFormat == kOutputWebp || to.outputFormat == kOutputWebp;
                    if (webpLossless && !webp) continue;
                    SCOPED_TRACE(std::string(from.name) + " to " + to.name + " at " + std::to_string(depth) +
                                 (resize ? " bits, halved" : " bits, unscaled") +
                                 (webpLossless ? ", lossless WebP" : ""));
                    Preset& preset = settings.presets[0];
                    preset.webpLossless = webpLossless;
                    WideString source;
                    SetFolderPlusName(source, in.Text(), u"picture.src");
                    ASSERT_TRUE(MakeInput(from, depth, source));

                    preset.outputFormat = to.outputFormat;
                    preset.outputFolder = out;
                    preset.resizeMode = resize ? 1 : 0;
                    preset.targetWidth = resize ? kWidth / 2 : 0;
                    preset.resampleFilter = 2;  // nearest neighbour
                    preset.limitFileSize = 0;
                    const uint8_t selection[4] = {1, 0, 0, 0};
                    ASSERT_EQ(RunConversion(host, 1, &source, selection, settings), 1u);
                    const std::string name = "picture" + ToUtf8(OutputExtension(to.outputFormat));
                    ASSERT_EQ(test::FolderEntries(out), std::vector<std::string>{name});
                    WideString output;
                    SetFolderPlusName(output, out.Text(), u"picture");
                    output.Append(OutputExtension(to.outputFormat));
                    ASSERT_TRUE(DecodeInput(context, output));
                    const DecodedImage& result = context.image;
                    const int scale = resize ? 2 : 1;
                    EXPECT_EQ(result.header.biWidth, kWidth / scale);
                    EXPECT_EQ(result.header.biHeight, kHeight / scale);
                    EXPECT_EQ(result.header.biBitCount, StoredDepth(to, StoredDepth(from, depth)));
                    const bool lossy =
                        Lossy(from, depth, webpLossless) || Lossy(to, StoredDepth(from, depth), webpLossless);
                    // Lossy WebP always halves the chroma, which on this tiny
                    // picture of sharp colour edges moves colours by far more;
                    // its fidelity is checked by the writer's own tests.
                    const bool lossyWebp =
                        (from.outputFormat == kOutputWebp && Lossy(from, depth, webpLossless)) ||
                        (to.outputFormat == kOutputWebp && Lossy(to, StoredDepth(from, depth), webpLossless));
                    const int tolerance = lossyWebp ? 255 : lossy ? 12 : 0;
                    for (int y = 0; y < kHeight / scale; ++y)
                        for (int x = 0; x < kWidth / scale; ++x) {
                            const auto [r, g, b] = ColourAt(result, x, y);
                            const auto [er, eg, eb] = BlockColour(x * scale, y * scale);
                            EXPECT_LE(std::abs(r - er), tolerance) << x << "," << y;
                            EXPECT_LE(std::abs(g - eg), tolerance) << x << "," << y;
                            EXPECT_LE(std::abs(b - eb), tolerance) << x << "," << y;
                        }
                    context.image.pixels.Reset();
                    os::RemoveFile(output.Text());
                }
}

}  // namespace
}  // namespace qdx
