// The WebP reader on files made here with libwebp's own encoder (lossless, so
// every pixel is known), and the batch's WebP branch.
#include "codecs/read/webp_reader.h"

#include <gtest/gtest.h>
#include <webp/encode.h>

#include <string>
#include <vector>

#include "codecs/read/blend_table.h"
#include "batch/batch.h"
#include "batch/conversion_context.h"
#include "codecs/common/input_kind.h"
#include "core/os/wide_string.h"
#include "tests/support/blank_settings.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// Lossless WebP of `width` x `height` blue, green, red, alpha pixels, top row first.
std::string LosslessWebp(const std::vector<uint8_t>& bgra, int width, int height) {
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    config.exact = 1;  // keep the colour under clear alpha too
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    EXPECT_TRUE(WebPPictureImportBGRA(&picture, bgra.data(), width * 4));
    EXPECT_TRUE(WebPEncode(&config, &picture));
    std::string bytes(reinterpret_cast<const char*>(writer.mem), writer.size);
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
    return bytes;
}

std::vector<uint8_t> Row(const DecodedImage& image, uint32_t storedRow) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), 24);
    const uint8_t* row = image.pixels.Get() + size_t(storedRow) * stride;
    return std::vector<uint8_t>(row, row + 3 * image.header.biWidth);
}

TEST(WebpReader, LosslessPixelsComeOutBottomUp) {
    const std::string file = LosslessWebp({1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255,  // top row
                                           10, 11, 12, 255, 13, 14, 15, 255, 16, 17, 18, 255},
                                          3, 2);
    WebpReaderState state;
    DecodedImage image;
    ASSERT_TRUE(DecodeWebpBytes(state, reinterpret_cast<const uint8_t*>(file.data()), uint32_t(file.size()), image))
        << state.input.status;
    EXPECT_EQ(image.header.biWidth, 3);
    EXPECT_EQ(image.header.biHeight, 2);
    EXPECT_EQ(image.header.biBitCount, 24);
    EXPECT_EQ(image.sourceKind, kInputWebp);
    EXPECT_EQ(image.sourceBitDepth, 24u);
    EXPECT_EQ(Row(image, 0), (std::vector<uint8_t>{10, 11, 12, 13, 14, 15, 16, 17, 18}));
    EXPECT_EQ(Row(image, 1), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(WebpReader, BatchFlattensAlphaOntoTheSettingsBackground) {
    test::TempFolder folder;
    const WideString path = folder.File(u"clear.webp");
    // Clear, opaque and half-covered pixels.
    ASSERT_TRUE(test::WriteBytes(path, LosslessWebp({10, 20, 30, 0, 40, 50, 60, 255, 200, 100, 0, 128}, 3, 1)));
    EXPECT_EQ(IdentifyInput(path), kInputWebp);
    Settings settings = test::BlankSettings();
    settings.backgroundColour = 0x332211;  // red 0x11, green 0x22, blue 0x33
    Preset preset;
    preset.keepTransparency = 1;
    ConversionContext context;
    ASSERT_TRUE(context.Initialise());
    context.settings = &settings;
    context.preset = &preset;
    ASSERT_TRUE(DecodeInput(context, path));
    EXPECT_EQ(context.image.sourceBitDepth, 32u);
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);  // an alpha channel keeps no colour
    const auto& product = context.blendTable->product;
    EXPECT_EQ(Row(context.image, 0),
              (std::vector<uint8_t>{0x33, 0x22, 0x11, 40, 50, 60, uint8_t(product[128][200] + product[127][0x33]),
                                    uint8_t(product[128][100] + product[127][0x22]),
                                    uint8_t(product[128][0] + product[127][0x11])}));
}

TEST(WebpReader, DamagedFilesFailWithoutPixels) {
    const std::string whole = LosslessWebp(std::vector<uint8_t>(64 * 64 * 4, 77), 64, 64);
    const std::string cases[] = {whole.substr(0, whole.size() / 2), whole.substr(0, 20),
                                 "RIFF\x10\0\0\0WEBPVP8X" + std::string(10, '\xff')};
    for (const std::string& file : cases) {
        WebpReaderState state;
        DecodedImage image;
        EXPECT_FALSE(DecodeWebpBytes(state, reinterpret_cast<const uint8_t*>(file.data()), uint32_t(file.size()), image))
            << file.size();
        EXPECT_EQ(image.pixels.Get(), nullptr);
        EXPECT_NE(state.input.status, kStatusUnspecified) << "a precise reason";
    }
}

}  // namespace
}  // namespace qdx
