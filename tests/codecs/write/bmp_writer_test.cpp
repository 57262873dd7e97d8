#include "codecs/write/bmp_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "batch/conversion_context.h"
#include "tests/support/blank_settings.h"
#include "batch/decode_input.h"
#include "batch/output_steps.h"
#include "codecs/read/bmp_reader.h"
#include "core/file_helpers.h"
#include "core/os/path_edit.h"
#include "core/os/wide_string.h"
#include "scale/resize_modes.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

uint32_t U32(const std::string& bytes, size_t at) {
    return LoadLittleEndian32(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}
uint16_t U16(const std::string& bytes, size_t at) {
    return LoadLittleEndian16(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}

// A batch context with one image, writing BMP to a file in a fresh folder.
struct Batch {
    test::TempFolder folder;
    WideString output = folder.File(u"out.tmp");
    Settings settings = test::BlankSettings();
    ConversionContext context;

    Batch() {
        EXPECT_TRUE(context.Initialise());
        context.settings = &settings;
        context.tempPath = &output;
    }
    void SetImage(int32_t width, int32_t height, uint16_t bits) {
        context.image.pixels.Reset();
        SetImageHeader(context.image, width, height, bits);
        context.image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), bits);
        context.savedBitDepth = bits;
    }
    uint32_t Stride() const {
        return RowStride(uint32_t(context.image.header.biWidth), context.image.header.biBitCount);
    }
    uint32_t Size() const { return Stride() * uint32_t(context.image.header.biHeight); }
    std::string Written() const { return test::ReadBytes(output); }
};

void ExpectHeaders(const std::string& file, int32_t width, int32_t height, uint16_t bits, uint32_t imageSize) {
    const uint32_t table = bits == 8 ? 1024 : 0;
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(U32(file, 2), 54 + table + imageSize);
    EXPECT_EQ(U32(file, 6), 0u);
    EXPECT_EQ(U32(file, 10), 54 + table);
    EXPECT_EQ(U32(file, 14), 40u);
    EXPECT_EQ(int32_t(U32(file, 18)), width);
    EXPECT_EQ(int32_t(U32(file, 22)), height);
    EXPECT_EQ(U16(file, 26), 1);
    EXPECT_EQ(U16(file, 28), bits);
    EXPECT_EQ(U32(file, 30), 0u);
    EXPECT_EQ(U32(file, 34), 0u);
    EXPECT_EQ(U32(file, 46), bits == 8 ? 256u : 0u);
    EXPECT_EQ(U32(file, 50), 0u);
    EXPECT_EQ(file.size(), 54 + table + imageSize);
}

TEST(BmpWriter, EightBitImageKeepsPaletteAndPixels) {
    Batch batch;
    batch.SetImage(3, 2, 8);
    DecodedImage& image = batch.context.image;
    for (int i = 0; i < 256; ++i) image.palette[i] = RGBQUAD{uint8_t(i), uint8_t(i ^ 0x33), uint8_t(7 * i), uint8_t(i % 3)};
    const uint8_t pixels[8] = {0, 5, 255, 0, 17, 17, 200, 0};
    std::memcpy(image.pixels.Get(), pixels, 8);
    image.header.biXPelsPerMeter = 3780;
    image.header.biYPelsPerMeter = 2835;
    ASSERT_TRUE(BmpOutputStep(batch.context));
    EXPECT_EQ(batch.context.bmpWriter->writeStatus, kStatusUnspecified);  // the entry code stays on success
    const std::string file = batch.Written();
    ExpectHeaders(file, 3, 2, 8, 8);
    EXPECT_EQ(U32(file, 38), 3780u);
    EXPECT_EQ(U32(file, 42), 2835u);
    EXPECT_EQ(std::memcmp(file.data() + 54, image.palette, 1024), 0);  // reserved bytes included
    EXPECT_EQ(std::memcmp(file.data() + 1078, pixels, 8), 0);
}

TEST(BmpWriter, TwentyFourBitAndOnePixelWideRows) {
    Batch batch;
    batch.SetImage(1, 3, 24);
    const uint8_t pixels[12] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    std::memcpy(batch.context.image.pixels.Get(), pixels, 12);
    ASSERT_TRUE(BmpOutputStep(batch.context));
    std::string file = batch.Written();
    ExpectHeaders(file, 1, 3, 24, 12);
    EXPECT_EQ(std::memcmp(file.data() + 54, pixels, 12), 0);

    batch.SetImage(1, 2, 8);
    batch.context.image.pixels.Get()[0] = 9;
    batch.context.image.pixels.Get()[4] = 4;
    ASSERT_TRUE(BmpOutputStep(batch.context));
    file = batch.Written();  // the longer file before is replaced
    ExpectHeaders(file, 1, 2, 8, 8);
    const uint8_t rows[8] = {9, 0, 0, 0, 4, 0, 0, 0};
    EXPECT_EQ(std::memcmp(file.data() + 1078, rows, 8), 0);
}

TEST(BmpWriter, RescaledEightBitImageIsReducedAgain) {
    // Scaling left a 24-bit image of a palette source: written at 8 bits.
    Batch batch;
    batch.SetImage(5, 2, 24);
    const uint8_t colours[3][3] = {{0, 0, 200}, {10, 10, 10}, {0, 255, 0}};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            std::memcpy(batch.context.image.pixels.Get() + y * batch.Stride() + 3 * x, colours[(x + y) % 3], 3);
    batch.context.savedBitDepth = 8;
    ASSERT_TRUE(BmpOutputStep(batch.context));
    const std::string file = batch.Written();
    ExpectHeaders(file, 5, 2, 8, 16);
    // Sorted darkest first: (10,10,10), then (0,0,200) and (0,255,0); the
    // entries beyond are 0.
    const uint8_t table[12] = {10, 10, 10, 0, 0, 0, 200, 0, 0, 255, 0, 0};
    EXPECT_EQ(std::memcmp(file.data() + 54, table, 12), 0);
    EXPECT_EQ(file.substr(66, 1078 - 66), std::string(1078 - 66, '\0'));
    const uint8_t indices[16] = {1, 0, 2, 1, 0, 0, 0, 0, 0, 2, 1, 0, 2, 0, 0, 0};
    EXPECT_EQ(std::memcmp(file.data() + 1078, indices, 16), 0);

    // And an 8-bit image written at 24 bits goes through its palette.
    batch.SetImage(2, 1, 8);
    batch.context.image.palette[3] = RGBQUAD{1, 2, 3, 99};
    batch.context.image.pixels.Get()[0] = 3;
    batch.context.savedBitDepth = 24;
    ASSERT_TRUE(BmpOutputStep(batch.context));
    const std::string expanded = batch.Written();
    ExpectHeaders(expanded, 2, 1, 24, 8);
    const uint8_t row[8] = {1, 2, 3, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(expanded.data() + 54, row, 8), 0);
}

TEST(BmpWriter, Failures) {
    Batch batch;
    batch.SetImage(2, 2, 24);
    // An output that cannot be created.
    WideString nowhere = batch.folder.File(u"missing");
    AppendPathComponent(nowhere, u"out.bmp");
    batch.context.tempPath = &nowhere;
    EXPECT_FALSE(BmpOutputStep(batch.context));
    EXPECT_EQ(batch.context.bmpWriter->writeStatus, kStatusCannotCreate);
    // A depth the converter refuses: the file is created but stays empty.
    batch.context.tempPath = &batch.output;
    batch.context.savedBitDepth = 16;
    EXPECT_FALSE(BmpOutputStep(batch.context));
    EXPECT_EQ(batch.context.bmpWriter->writeStatus, kStatusConversionFailed);
    EXPECT_EQ(batch.Written(), "");
    // Equal depths with no layout: nothing to write.
    batch.context.image.header.biBitCount = 16;
    EXPECT_FALSE(BmpOutputStep(batch.context));
    EXPECT_EQ(batch.context.bmpWriter->writeStatus, kStatusOutOfMemory);
    batch.context.image.header.biBitCount = 24;
}

// ---- BMP in, BMP out through the batch's own steps --------------------------

std::string PaletteBitmap(uint32_t width, uint32_t height) {
    const uint32_t stride = (width + 3) & ~3u;
    std::string file(1078 + stride * height, '\0');
    auto* p = reinterpret_cast<uint8_t*>(file.data());
    p[0] = 'B';
    p[1] = 'M';
    StoreLittleEndian32(p + 2, uint32_t(file.size()));
    StoreLittleEndian32(p + 10, 1078);
    StoreLittleEndian32(p + 14, 40);
    StoreLittleEndian32(p + 18, width);
    StoreLittleEndian32(p + 22, height);
    StoreLittleEndian16(p + 26, 1);
    StoreLittleEndian16(p + 28, 8);
    StoreLittleEndian32(p + 38, 3780);
    StoreLittleEndian32(p + 42, 3780);
    StoreLittleEndian32(p + 46, 256);
    for (int i = 0; i < 256; ++i) {
        p[54 + 4 * i] = uint8_t(i * 7);
        p[55 + 4 * i] = uint8_t(i);
        p[56 + 4 * i] = uint8_t(255 - i);
        p[57 + 4 * i] = uint8_t(i & 1);  // reserved bytes travel too
    }
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) p[1078 + y * stride + x] = uint8_t((x * 31 + y * 17) & 255);
    return file;
}

std::string TrueColourBitmap(uint32_t width, uint32_t height) {
    const uint32_t stride = (3 * width + 3) & ~3u;
    std::string file(54 + stride * height, '\0');
    auto* p = reinterpret_cast<uint8_t*>(file.data());
    p[0] = 'B';
    p[1] = 'M';
    StoreLittleEndian32(p + 2, uint32_t(file.size()));
    StoreLittleEndian32(p + 10, 54);
    StoreLittleEndian32(p + 14, 40);
    StoreLittleEndian32(p + 18, width);
    StoreLittleEndian32(p + 22, height);
    StoreLittleEndian16(p + 26, 1);
    StoreLittleEndian16(p + 28, 24);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < 3 * width; ++x) p[54 + y * stride + x] = uint8_t(x * 5 + y * 3);
    return file;
}

TEST(BmpRoundTrip, EightAndTwentyFourBitSourcesComeBackUnchanged) {
    Batch batch;
    struct Source {
        std::string bytes;
        uint16_t bits;
    };
    for (const Source& source : {Source{PaletteBitmap(13, 7), 8}, Source{TrueColourBitmap(13, 7), 24},
                                 Source{PaletteBitmap(1, 1), 8}, Source{TrueColourBitmap(2, 3), 24}}) {
        const WideString input = batch.folder.File(u"source.bmp");
        ASSERT_TRUE(test::WriteBytes(input, source.bytes));
        ASSERT_TRUE(DecodeBmpInput(batch.context, input));
        batch.context.savedBitDepth = batch.context.image.header.biBitCount;
        EXPECT_EQ(batch.context.savedBitDepth, source.bits);
        ASSERT_TRUE(BmpOutputStep(batch.context));
        batch.context.image.pixels.Reset();
        // A canonical file (full table, 40-byte header) comes back byte for byte.
        EXPECT_EQ(batch.Written(), source.bytes) << source.bits;
    }
}

TEST(BmpRoundTrip, OneBitSourceIsWrittenAtEightBits) {
    Batch batch;
    std::string bytes(54 + 8 + 4, '\0');
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    p[0] = 'B';
    p[1] = 'M';
    StoreLittleEndian32(p + 10, 62);
    StoreLittleEndian32(p + 14, 40);
    StoreLittleEndian32(p + 18, 3);
    StoreLittleEndian32(p + 22, 1);
    StoreLittleEndian16(p + 28, 1);
    const uint8_t table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    std::memcpy(p + 54, table, 8);
    p[62] = 0xA0;  // 1, 0, 1
    const WideString input = batch.folder.File(u"mono.bmp");
    ASSERT_TRUE(test::WriteBytes(input, bytes));
    ASSERT_TRUE(DecodeBmpInput(batch.context, input));
    batch.context.savedBitDepth = batch.context.image.header.biBitCount;
    ASSERT_TRUE(BmpOutputStep(batch.context));
    const std::string file = batch.Written();
    ExpectHeaders(file, 3, 1, 8, 4);
    EXPECT_EQ(std::memcmp(file.data() + 54, table, 8), 0);
    const uint8_t row[4] = {1, 0, 1, 0};
    EXPECT_EQ(std::memcmp(file.data() + 1078, row, 4), 0);
}

TEST(BmpRoundTrip, ThroughTheBatch) {
    test::TempFolder root;
    const WideString temporary = root.File(u"tmp");
    ASSERT_TRUE(os::CreateFolder(temporary.Text()));
    test::ScopedTemporaryFolder scoped(temporary);
    const std::string palette = PaletteBitmap(13, 7), photo = TrueColourBitmap(9, 4);
    const std::vector<WideString> paths = {root.File(u"palette.bmp"), root.File(u"photo.bmp")};
    ASSERT_TRUE(test::WriteBytes(paths[0], palette));
    ASSERT_TRUE(test::WriteBytes(paths[1], photo));
    Settings settings;
    Preset& preset = settings.presets[2];
    preset.outputFormat = 0;  // BMP
    preset.suffix.Assign(u"_same");
    const uint8_t selection[4] = {0, 0, 1, 0};
    test::RecordingHost host;
    ASSERT_EQ(RunConversion(host, 2, paths.data(), selection, settings), 2u);
    EXPECT_EQ(test::ReadBytes(root.File(u"palette_same.bmp")), palette);
    EXPECT_EQ(test::ReadBytes(root.File(u"photo_same.bmp")), photo);

    // Shrunk, the palette picture is resampled at 24 bits and reduced back.
    preset.suffix.Assign(u"_small");
    preset.resizeMode = ResizeToWidth;
    preset.targetWidth = 6;
    ASSERT_EQ(RunConversion(host, 1, paths.data(), selection, settings), 1u);
    const std::string small = test::ReadBytes(root.File(u"palette_small.bmp"));
    ASSERT_GE(small.size(), 54u);
    EXPECT_EQ(U32(small, 18), 6u);
    EXPECT_EQ(U16(small, 28), 8);
    EXPECT_EQ(U32(small, 46), 256u);
    EXPECT_EQ(U32(small, 10), 1078u);
    EXPECT_EQ(small.size(), 1078u + 8 * U32(small, 22));
    EXPECT_EQ(host.Count("error 30002"), 0);
}

}  // namespace
}  // namespace qdx
