// TIFF files through the whole batch with the built-in codecs: identified,
// read, optionally shrunk, written as TIFF and read back.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "codecs/read/tiff_reader.h"
#include "core/batch.h"
#include "tests/core/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/tiff_file_builder.h"

namespace qdx {
namespace {

using test::SimpleTiff;

// 8 x 6 pictures: a 4-bit palette one (big-endian) and a 16-bit RGB one
// (little-endian); colour of (x, y) chosen per column pair and row pair so
// that a nearest-neighbour halving keeps them exact.
std::string PaletteSource() {
    SimpleTiff s;
    s.littleEndian = false;
    s.width = 8;
    s.height = 6;
    s.photometric = 3;
    s.bitsPerSample = 4;
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 8; x += 2) {
            const uint8_t index = uint8_t((x / 2 + 4 * (y / 2)) % 16);
            s.strip.push_back(uint8_t(index << 4 | index));
        }
    s.colourMap.assign(48, 0);
    for (uint32_t k = 0; k < 16; ++k) {
        s.colourMap[k] = (k * 16) << 8;
        s.colourMap[16 + k] = (255 - k * 8) << 8;
        s.colourMap[32 + k] = (k % 3 * 100) << 8;
    }
    return test::BuildSimpleTiff(s);
}

std::string RgbSource() {
    SimpleTiff s;
    s.width = 8;
    s.height = 6;
    s.photometric = 2;
    s.samples = 3;
    s.bitsPerSample = 16;
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            const uint8_t rgb[3] = {uint8_t(30 * (x / 2)), uint8_t(40 * (y / 2)), uint8_t(200 - 10 * (x / 2))};
            for (uint8_t c : rgb) s.strip.insert(s.strip.end(), {uint8_t(0x5A), c});
        }
    return test::BuildSimpleTiff(s);
}

// Colour of (x, y), y from the top, as red, green, blue.
std::tuple<int, int, int> ColourAt(const DecodedImage& image, int x, int y) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
    const uint8_t* row = image.pixels + uint64_t(image.header.biHeight - 1 - y) * stride;
    if (image.header.biBitCount == 24) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    const RGBQUAD& c = image.palette[row[x]];
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
}

class TiffConversionTest : public ::testing::Test {
protected:
    TiffConversionTest() : temporary(root.File(u"tmp")), scoped(MakeFolder(temporary)) {
        MakeFolder(in);
        MakeFolder(out);
    }
    static const WideString& MakeFolder(const WideString& folder) {
        os::CreateFolder(folder.Text());
        return folder;
    }
    // Converts `bytes` with preset 0 and reads the single output back.
    bool Convert(const std::string& bytes, DecodedImage& result) {
        const WideString source = In(u"picture.tif");
        EXPECT_TRUE(test::WriteBytes(source, bytes));
        settings.presets[0].outputFormat = kOutputTiff;
        settings.presets[0].outputFolder = out;
        const uint8_t selection[4] = {1, 0, 0, 0};
        if (RunConversion(host, 1, &source, selection, settings) != 1) return false;
        const std::vector<std::string> written = test::FolderEntries(out);
        EXPECT_EQ(written, std::vector<std::string>{"picture.tif"});
        WideString output;
        output.SetFolderPlusName(out.Text(), u"picture.tif");
        TiffReaderState reader;
        const bool ok = ReadTiffImage(reader, output, &result);
        os::RemoveFile(output.Text());
        return ok;
    }
    WideString In(const char16_t* name) { return test::Wide(std::u16string(in.Text()) + os::kPathSeparator + name); }

    test::TempFolder root;
    WideString temporary;
    test::ScopedTemporaryFolder scoped;
    WideString in = root.File(u"in");
    WideString out = root.File(u"out");
    Settings settings = test::BlankSettings();  // no suffix, subfolder or resize
    test::RecordingHost host;
};

TEST_F(TiffConversionTest, UnscaledPicturesKeepTheirDepthAndPixels) {
    for (const std::string& bytes : {RgbSource(), PaletteSource()}) {
        SCOPED_TRACE(bytes.size() > 300 ? "RGB source" : "palette source");
        DecodedImage original, converted;
        TiffReaderState reader;
        const WideString source = In(u"original.tif");
        ASSERT_TRUE(test::WriteBytes(source, bytes));
        ASSERT_TRUE(ReadTiffImage(reader, source, &original));
        ASSERT_TRUE(Convert(bytes, converted));
        EXPECT_EQ(converted.header.biWidth, 8);
        EXPECT_EQ(converted.header.biHeight, 6);
        EXPECT_EQ(converted.header.biBitCount, original.header.biBitCount);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) EXPECT_EQ(ColourAt(converted, x, y), ColourAt(original, x, y)) << x << "," << y;
        ReleasePixels(original);
        ReleasePixels(converted);
        os::RemoveFile(source.Text());
    }
}

TEST_F(TiffConversionTest, ShrunkPicturesComeBackAtTheDecodedDepth) {
    settings.presets[0].resizeMode = 1;      // to a width of 4
    settings.presets[0].targetWidth = 4;
    settings.presets[0].resampleFilter = 2;  // nearest neighbour keeps the colours exact
    for (const std::string& bytes : {RgbSource(), PaletteSource()}) {
        SCOPED_TRACE(bytes.size() > 300 ? "RGB source" : "palette source");
        DecodedImage original, converted;
        TiffReaderState reader;
        const WideString source = In(u"original.tif");
        ASSERT_TRUE(test::WriteBytes(source, bytes));
        ASSERT_TRUE(ReadTiffImage(reader, source, &original));
        ASSERT_TRUE(Convert(bytes, converted));
        EXPECT_EQ(converted.header.biWidth, 4);
        EXPECT_EQ(converted.header.biHeight, 3);
        // A palette source was made 24-bit by scaling and is reduced again.
        EXPECT_EQ(converted.header.biBitCount, original.header.biBitCount);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(ColourAt(converted, x, y), ColourAt(original, 2 * x, 2 * y)) << x << "," << y;
        ReleasePixels(original);
        ReleasePixels(converted);
        os::RemoveFile(source.Text());
    }
}

}  // namespace
}  // namespace qdx
