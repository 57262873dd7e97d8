#include "codecs/write/tiff_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/conversion_context.h"
#include "batch/output_steps.h"
#include "codecs/read/tiff_reader.h"
#include "core/file_helpers.h"
#include "core/os/path_edit.h"
#include "core/os/wide_string.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// An owned test picture in the DecodedImage layout.
struct TestImage {
    DecodedImage image;
    TestImage(int32_t width, int32_t height, uint16_t bits) {
        SetImageHeader(image, width, height, bits);
        image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), bits);
    }
    // Pixel (x, y), y counted from the top of the picture.
    uint8_t* At(int x, int y) {
        const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
        return image.pixels.Get() + uint64_t(image.header.biHeight - 1 - y) * stride + x * (image.header.biBitCount / 8);
    }
};

uint16_t U16(const std::string& f, size_t at) { return LoadLittleEndian16(reinterpret_cast<const uint8_t*>(&f[at])); }
uint32_t U32(const std::string& f, size_t at) { return LoadLittleEndian32(reinterpret_cast<const uint8_t*>(&f[at])); }

struct DirectoryEntry {
    uint16_t tag, type;
    uint32_t count, value;
};
std::vector<DirectoryEntry> Directory(const std::string& f) {
    std::vector<DirectoryEntry> entries;
    const uint16_t count = U16(f, 8);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t at = 10 + 12 * size_t(i);
        entries.push_back({U16(f, at), U16(f, at + 2), U32(f, at + 4), U32(f, at + 8)});
    }
    return entries;
}

class TiffWriterTest : public ::testing::Test {
protected:
    // Writes `picture` at `targetDepth` and returns the file's bytes.
    std::string Write(TestImage& picture, uint32_t targetDepth, bool expectSuccess = true) {
        state.converter.width = picture.image.header.biWidth;
        state.converter.height = picture.image.header.biHeight;
        SetLayout(state.converter, picture.image.header.biBitCount, targetDepth);
        state.horizontalResolution = picture.image.header.biXPelsPerMeter;
        state.verticalResolution = picture.image.header.biYPelsPerMeter;
        EXPECT_EQ(WriteTiffFile(state, path, picture.image.palette, picture.image.pixels.Get()), expectSuccess)
            << state.writeStatus;
        return test::ReadBytes(path);
    }

    test::TempFolder folder;
    WideString path = folder.File(u"out.tif");
    TiffWriterState state;
};

TEST_F(TiffWriterTest, RgbFileHasTheFixedLayout) {
    TestImage picture(2, 1, 24);
    uint8_t* p = picture.At(0, 0);
    p[0] = 0x10, p[1] = 0x20, p[2] = 0x30, p[3] = 0x40, p[4] = 0x50, p[5] = 0x60;  // blue, green, red
    picture.image.header.biXPelsPerMeter = 3780;
    picture.image.header.biYPelsPerMeter = 0;
    const std::string f = Write(picture, 24);
    ASSERT_EQ(f.size(), 186u);
    EXPECT_EQ(f.substr(0, 4), std::string("II*\0", 4));
    EXPECT_EQ(U32(f, 4), 8u);
    const std::vector<DirectoryEntry> expected = {
        {256, 4, 1, 2},   {257, 4, 1, 1},   {258, 3, 3, 158}, {259, 3, 1, 1},   {262, 3, 1, 2},   {273, 4, 1, 180},
        {277, 3, 1, 3},   {278, 4, 1, 1},   {279, 4, 1, 6},   {282, 5, 1, 164}, {283, 5, 1, 172}, {296, 3, 1, 2}};
    const std::vector<DirectoryEntry> entries = Directory(f);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].tag, expected[i].tag) << i;
        EXPECT_EQ(entries[i].type, expected[i].type) << i;
        EXPECT_EQ(entries[i].count, expected[i].count) << i;
        EXPECT_EQ(entries[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(U32(f, 154), 0u);  // no next directory
    EXPECT_EQ(U16(f, 158), 8);
    EXPECT_EQ(U16(f, 160), 8);
    EXPECT_EQ(U16(f, 162), 8);
    EXPECT_EQ(U32(f, 164), 960120u);  // 3780 px/m as dots per inch over 10000
    EXPECT_EQ(U32(f, 168), 10000u);
    EXPECT_EQ(U32(f, 172), 0u);
    EXPECT_EQ(U32(f, 176), 10000u);
    EXPECT_EQ(f.substr(180), std::string("\x30\x20\x10\x60\x50\x40", 6));
}

TEST_F(TiffWriterTest, RgbRowsGoTopFirstWithoutPadding) {
    TestImage picture(3, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = picture.At(x, y);
            p[0] = uint8_t(100 + 10 * y + x);  // blue
            p[1] = uint8_t(50 + 10 * y + x);   // green
            p[2] = uint8_t(10 * y + x);        // red
        }
    const std::string f = Write(picture, 24);
    ASSERT_EQ(f.size(), 180u + 18u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const size_t at = 180 + size_t(y) * 9 + size_t(x) * 3;
            EXPECT_EQ(uint8_t(f[at]), 10 * y + x);
            EXPECT_EQ(uint8_t(f[at + 1]), 50 + 10 * y + x);
            EXPECT_EQ(uint8_t(f[at + 2]), 100 + 10 * y + x);
        }
}

TEST_F(TiffWriterTest, PaletteFileHasTheFixedLayoutAndColourMapOrder) {
    TestImage picture(1, 1, 8);
    picture.image.palette[5] = RGBQUAD{0x10, 0x20, 0x30, 0};
    picture.image.palette[255] = RGBQUAD{1, 2, 0xFF, 0};
    *picture.At(0, 0) = 5;
    picture.image.header.biXPelsPerMeter = 3780;
    picture.image.header.biYPelsPerMeter = 2835;
    const std::string f = Write(picture, 8);
    ASSERT_EQ(f.size(), 1711u);
    const std::vector<DirectoryEntry> expected = {
        {256, 4, 1, 1},   {257, 4, 1, 1},   {258, 3, 1, 8}, {259, 3, 1, 1},   {262, 3, 1, 3},   {273, 4, 1, 1710},
        {278, 4, 1, 1},   {279, 4, 1, 1},   {282, 5, 1, 158}, {283, 5, 1, 166}, {296, 3, 1, 2}, {320, 3, 768, 174}};
    const std::vector<DirectoryEntry> entries = Directory(f);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].tag, expected[i].tag) << i;
        EXPECT_EQ(entries[i].type, expected[i].type) << i;
        EXPECT_EQ(entries[i].count, expected[i].count) << i;
        EXPECT_EQ(entries[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(U32(f, 158), 960120u);
    EXPECT_EQ(U32(f, 162), 10000u);
    EXPECT_EQ(U32(f, 166), 720090u);
    EXPECT_EQ(U32(f, 170), 10000u);
    EXPECT_EQ(U16(f, 174 + 2 * 5), 0x3000);         // red
    EXPECT_EQ(U16(f, 174 + 512 + 2 * 5), 0x2000);   // green
    EXPECT_EQ(U16(f, 174 + 1024 + 2 * 5), 0x1000);  // blue
    EXPECT_EQ(U16(f, 174 + 2 * 255), 0xFF00);
    EXPECT_EQ(U16(f, 174 + 1024 + 2 * 255), 0x0100);
    EXPECT_EQ(U16(f, 174), 0);
    EXPECT_EQ(uint8_t(f[1710]), 5);
}

TEST_F(TiffWriterTest, PaletteRowsGoTopFirstWithoutPadding) {
    TestImage picture(3, 2, 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) *picture.At(x, y) = uint8_t(10 * y + x);
    const std::string f = Write(picture, 8);
    ASSERT_EQ(f.size(), 1710u + 6u);
    EXPECT_EQ(f.substr(1710), std::string("\x00\x01\x02\x0A\x0B\x0C", 6));
}

TEST_F(TiffWriterTest, WhatTheWriterProducesOurReaderReadsBack) {
    // A 24-bit picture with few colours written at 8 bits goes through colour
    // reduction; at 24 bits it is stored as it is.
    TestImage picture(5, 3, 24);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            uint8_t* p = picture.At(x, y);
            p[0] = uint8_t(40 * x), p[1] = uint8_t(70 * y), p[2] = uint8_t(x == y ? 255 : 0);
        }
    picture.image.header.biXPelsPerMeter = 3780;
    picture.image.header.biYPelsPerMeter = 11811;
    for (uint32_t depth : {24u, 8u}) {
        Write(picture, depth);
        TiffReaderState reader;
        DecodedImage back;
        ASSERT_TRUE(ReadTiffImage(reader, path, &back)) << depth << ": " << reader.input.status;
        EXPECT_EQ(back.header.biWidth, 5);
        EXPECT_EQ(back.header.biHeight, 3);
        EXPECT_EQ(back.header.biBitCount, depth);
        EXPECT_EQ(back.sourceBitDepth, depth);
        EXPECT_EQ(back.header.biXPelsPerMeter, 3780);
        EXPECT_EQ(back.header.biYPelsPerMeter, 11811);
        const uint32_t stride = RowStride(5, depth);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const uint8_t* p = picture.At(x, y);
                const uint8_t* q = back.pixels.Get() + uint64_t(2 - y) * stride + x * (depth / 8);
                const uint8_t blue = depth == 24 ? q[0] : back.palette[*q].rgbBlue;
                const uint8_t green = depth == 24 ? q[1] : back.palette[*q].rgbGreen;
                const uint8_t red = depth == 24 ? q[2] : back.palette[*q].rgbRed;
                EXPECT_EQ(blue, p[0]) << x << "," << y;
                EXPECT_EQ(green, p[1]) << x << "," << y;
                EXPECT_EQ(red, p[2]) << x << "," << y;
            }
    }
}

TEST_F(TiffWriterTest, ResolutionsOutsideTheRationalAreWrittenAsUnknown) {
    TestImage picture(1, 1, 24);
    picture.image.header.biXPelsPerMeter = -5;
    picture.image.header.biYPelsPerMeter = 0x7FFFFFFF;
    const std::string f = Write(picture, 24);
    ASSERT_EQ(f.size(), 183u);
    EXPECT_EQ(U32(f, 164), 0u);
    EXPECT_EQ(U32(f, 168), 10000u);
    EXPECT_EQ(U32(f, 172), 0u);
}

TEST_F(TiffWriterTest, FailuresSetTheirCodes) {
    TestImage picture(1, 1, 24);
    path = folder.File(u"no-such-folder");
    AppendPathComponent(path, u"out.tif");
    Write(picture, 24, false);
    EXPECT_EQ(state.writeStatus, kStatusCannotCreate);

    // A strip whose size needs more than 32 bits: the file stays empty.
    path = folder.File(u"huge.tif");
    state.converter.width = 0x10000;
    state.converter.height = 0x10000;
    SetLayout(state.converter, 24, 24);
    EXPECT_FALSE(WriteTiffFile(state, path, picture.image.palette, picture.image.pixels.Get()));
    EXPECT_EQ(state.writeStatus, kStatusCannotCreate);
    EXPECT_EQ(test::ReadBytes(path).size(), 0u);

    // Success leaves the code set on entry.
    Write(picture, 24);
    EXPECT_EQ(state.writeStatus, kStatusUnspecified);
}

TEST_F(TiffWriterTest, OutputStepWritesTheSavedDepth) {
    ConversionContext context;
    ASSERT_TRUE(context.Initialise());
    context.tempPath = &path;
    SetImageHeader(context.image, 2, 2, 24);
    context.image.pixels = AllocatePixelBuffer(2, 2, 24);
    context.image.header.biXPelsPerMeter = 3780;
    context.savedBitDepth = 8;  // a palette source that scaling made 24-bit
    ASSERT_TRUE(TiffOutputStep(context));
    std::string f = test::ReadBytes(path);
    EXPECT_EQ(f.size(), 1714u);
    EXPECT_EQ(U16(f, 10 + 4 * 12 + 8), 3);  // photometric palette
    EXPECT_EQ(U32(f, 158), 960120u);
    context.savedBitDepth = 24;
    ASSERT_TRUE(TiffOutputStep(context));
    f = test::ReadBytes(path);
    EXPECT_EQ(f.size(), 192u);
    EXPECT_EQ(U16(f, 10 + 4 * 12 + 8), 2);
}

// libtiff's own tools (libtiff-tools, installed by the setup; they run
// natively only) must accept our files and see the same pixels.
#if !defined(_WIN32)
bool ToolsAvailable() {
    return std::system("command -v tiffinfo >/dev/null && command -v tiffdump >/dev/null && "
                       "command -v tiff2rgba >/dev/null") == 0;
}

TEST_F(TiffWriterTest, LibtiffToolsReadOurFilesAlike) {
    ASSERT_TRUE(ToolsAvailable()) << "libtiff-tools (tiffinfo, tiffdump, tiff2rgba) not installed";
    TestImage picture(7, 5, 24);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            uint8_t* p = picture.At(x, y);
            p[0] = uint8_t(x * 30), p[1] = uint8_t(y * 50), p[2] = uint8_t((x + y) % 2 ? 200 : 17);
        }
    picture.image.header.biXPelsPerMeter = 3780;
    picture.image.header.biYPelsPerMeter = 3780;
    for (uint32_t depth : {24u, 8u}) {
        Write(picture, depth);
        const std::string file = test::Narrow(path);
        const std::string info = test::Narrow(folder.File(u"info.txt"));
        const std::string rgb = test::Narrow(folder.File(u"rgb.tif"));
        ASSERT_EQ(std::system(("tiffinfo '" + file + "' >'" + info + "' 2>&1").c_str()), 0);
        const std::string report = test::ReadBytes(folder.File(u"info.txt"));
        EXPECT_EQ(report.find("Warning"), std::string::npos) << report;
        EXPECT_EQ(report.find("Error"), std::string::npos) << report;
        EXPECT_NE(report.find("Image Width: 7 Image Length: 5"), std::string::npos) << report;
        EXPECT_NE(report.find("Resolution: 96.012, 96.012 pixels/inch"), std::string::npos) << report;
        EXPECT_NE(report.find(depth == 24 ? "RGB color" : "palette color"), std::string::npos) << report;
        ASSERT_EQ(std::system(("tiffdump '" + file + "' >'" + info + "' 2>&1").c_str()), 0);
        const std::string dump = test::ReadBytes(folder.File(u"info.txt"));
        EXPECT_NE(dump.find("<little-endian>"), std::string::npos) << dump;
        EXPECT_NE(dump.find(depth == 24 ? "StripOffsets (273) LONG (4) 1<180>" : "StripOffsets (273) LONG (4) 1<1710>"),
                  std::string::npos)
            << dump;

        // tiff2rgba without alpha gives a plain 8-bit RGB file, top row first.
        ASSERT_EQ(std::system(("tiff2rgba -n -c none -r 5 '" + file + "' '" + rgb + "'").c_str()), 0);
        TiffReaderState reader;
        DecodedImage back;
        ASSERT_TRUE(ReadTiffImage(reader, folder.File(u"rgb.tif"), &back)) << reader.input.status;
        ASSERT_EQ(back.header.biBitCount, 24);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const uint8_t* p = picture.At(x, y);
                const uint8_t* q = back.pixels.Get() + uint64_t(4 - y) * RowStride(7, 24) + x * 3;
                EXPECT_EQ(q[0], p[0]) << depth << " " << x << "," << y;
                EXPECT_EQ(q[1], p[1]) << depth << " " << x << "," << y;
                EXPECT_EQ(q[2], p[2]) << depth << " " << x << "," << y;
            }
    }
}
#endif

}  // namespace
}  // namespace qdx
