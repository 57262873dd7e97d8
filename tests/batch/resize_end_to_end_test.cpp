// Every resize mode through the whole batch with real BMP files: the output
// size, and for the box with crop, which columns and rows of the source
// survive. Each source pixel carries its own coordinates, so a nearest-
// neighbour copy shows exactly where it came from.
#include <gtest/gtest.h>

#include <string>

#include "batch/batch.h"
#include "codecs/read/bmp_reader.h"
#include "core/os/path_edit.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// A 24-bit BMP whose pixel at (x, y), row 0 at the top, holds red = x & 255,
// green = (x >> 8) | (y >> 8) << 4, blue = y & 255.
std::string CoordinateBmp(int width, int height) {
    const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    std::string out(54 + size_t(stride) * height, '\0');
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    out[0] = 'B', out[1] = 'M';
    put(2, uint32_t(out.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, uint32_t(width), 4);
    put(22, uint32_t(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < height; ++y) {
        const size_t row = 54 + size_t(height - 1 - y) * stride;  // rows are stored bottom-up
        for (int x = 0; x < width; ++x) {
            out[row + 3 * x] = char(y & 0xFF);
            out[row + 3 * x + 1] = char((x >> 8) | ((y >> 8) << 4));
            out[row + 3 * x + 2] = char(x & 0xFF);
        }
    }
    return out;
}

struct Origin {
    int x, y;
};

Origin OriginAt(const DecodedImage& image, int x, int y) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), 24);
    const uint8_t* p = image.pixels.Get() + uint64_t(image.header.biHeight - 1 - y) * stride + 3 * x;
    return {p[2] | ((p[1] & 0x0F) << 8), p[0] | ((p[1] >> 4) << 8)};
}

class ResizeEndToEndTest : public ::testing::Test {
protected:
    ResizeEndToEndTest() : temporary(root.File(u"tmp")), scoped(Made(temporary)) { Made(out); }
    static const WideString& Made(const WideString& folder) {
        os::CreateFolder(folder.Text());
        return folder;
    }

    // Converts a width x height source with preset 0 set up by `setUp` and
    // reads the result back.
    template <typename SetUp>
    bool Convert(int width, int height, SetUp setUp, BmpReaderState& reader, DecodedImage& result) {
        const WideString source = root.File(u"source.bmp");
        if (!test::WriteBytes(source, CoordinateBmp(width, height))) return false;
        Preset& preset = settings.presets[0];
        preset = Preset{};
        preset.outputFormat = 0;
        preset.outputFolder = out;
        preset.resampleFilter = 2;  // nearest neighbour
        setUp(preset);
        const uint8_t selection[4] = {1, 0, 0, 0};
        if (RunConversion(host, 1, &source, selection, settings) != 1) return false;
        WideString output;
        SetFolderPlusName(output, out.Text(), u"source.bmp");
        const bool read = ReadBmpImage(reader, output, &result);
        os::RemoveFile(output.Text());
        return read;
    }

    test::TempFolder root;
    WideString temporary;
    test::ScopedTemporaryFolder scoped;
    WideString out = root.File(u"out");
    Settings settings = test::BlankSettings();
    test::RecordingHost host;
};

TEST_F(ResizeEndToEndTest, EachModeGivesItsSize) {
    struct Case {
        const char* name;
        int width, height;
        uint32_t mode;
        int32_t w, h;
        uint8_t keepAspect;
        int expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {"none", 160, 120, 0, 0, 0, 0, 160, 120},
        {"width 40", 160, 120, 1, 40, 0, 0, 40, 30},
        {"height 30", 160, 120, 2, 30, 0, 0, 40, 30},
        {"longer side 40", 120, 160, 3, 40, 0, 0, 30, 40},
        {"shorter side 30", 120, 160, 4, 30, 0, 0, 30, 40},
        {"width already within", 30, 20, 1, 40, 0, 0, 30, 20},
        {"box stretched", 160, 120, 5, 50, 50, 0, 50, 50},
        {"box cropped", 160, 120, 5, 50, 50, 1, 50, 50},
        {"smaller than the box one way", 160, 40, 5, 50, 50, 1, 160, 40},
        {"10000 x 40 to width 100", 10000, 40, 1, 100, 0, 0, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpReaderState reader;
        DecodedImage result;
        ASSERT_TRUE(Convert(c.width, c.height, [&](Preset& p) {
            p.resizeMode = c.mode;
            p.targetWidth = c.w;
            p.targetHeight = c.h;
            p.keepAspect = c.keepAspect;
        }, reader, result));
        EXPECT_EQ(result.header.biWidth, c.expectedWidth);
        EXPECT_EQ(result.header.biHeight, c.expectedHeight);
    }
}

TEST_F(ResizeEndToEndTest, BoxWithCropKeepsTheCentreColumnsAndRows) {
    auto box = [](Preset& p) {
        p.resizeMode = 5;
        p.targetWidth = 800;
        p.targetHeight = 600;
        p.keepAspect = 1;
    };
    {
        // 960 x 600 covers the box already: columns 80 to 879 are kept.
        BmpReaderState reader;
        DecodedImage result;
        ASSERT_TRUE(Convert(960, 600, box, reader, result));
        ASSERT_EQ(result.header.biWidth, 800);
        ASSERT_EQ(result.header.biHeight, 600);
        EXPECT_EQ(OriginAt(result, 0, 0).x, 80);
        EXPECT_EQ(OriginAt(result, 799, 0).x, 879);
        EXPECT_EQ(OriginAt(result, 0, 0).y, 0);
        EXPECT_EQ(OriginAt(result, 0, 599).y, 599);
    }
    {
        // 800 x 700: rows 50 to 649 are kept (row 0 at the top).
        BmpReaderState reader;
        DecodedImage result;
        ASSERT_TRUE(Convert(800, 700, box, reader, result));
        ASSERT_EQ(result.header.biWidth, 800);
        ASSERT_EQ(result.header.biHeight, 600);
        EXPECT_EQ(OriginAt(result, 0, 0).y, 50);
        EXPECT_EQ(OriginAt(result, 0, 599).y, 649);
        EXPECT_EQ(OriginAt(result, 799, 0).x, 799);
    }
    {
        // 801 x 601 is scaled to the box without any crop.
        BmpReaderState reader;
        DecodedImage result;
        ASSERT_TRUE(Convert(801, 601, box, reader, result));
        EXPECT_EQ(result.header.biWidth, 800);
        EXPECT_EQ(result.header.biHeight, 600);
    }
}

}  // namespace
}  // namespace qdx
