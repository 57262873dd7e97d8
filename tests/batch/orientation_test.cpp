// Pictures whose file records an orientation come out of the batch upright,
// in every output format; a missing, upright or damaged record changes nothing.
// The stored pictures are made from the upright one with two primitives only
// (mirror left-right, quarter turn clockwise), so the expected results do not
// share the batch's own table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "codecs/common/exif_orientation.h"
#include "core/os/path_edit.h"
#include "core/settings.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tiff_file_builder.h"

namespace qdx {
namespace {

struct Rgb {
    uint8_t r, g, b;
};
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;  // top row first
    Rgb At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// 24 x 16 in 8 x 8 blocks of six distinct colours: no mirror or turn maps it
// onto itself.
constexpr Rgb kBlockColours[6] = {{230, 30, 30}, {30, 200, 40}, {40, 60, 220},
                                  {240, 220, 40}, {30, 210, 220}, {120, 40, 160}};
Picture Upright() {
    Picture p{24, 16, {}};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.pixels.push_back(kBlockColours[(y / 8) * 3 + x / 8]);
    return p;
}
Picture Mirror(const Picture& in) {
    Picture out{in.width, in.height, {}};
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) out.pixels.push_back(in.At(in.width - 1 - x, y));
    return out;
}
Picture TurnClockwise(const Picture& in) {
    Picture out{in.height, in.width, {}};
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) out.pixels.push_back(in.At(y, in.height - 1 - x));
    return out;
}
// The picture a camera stores when the upright scene carries `orientation`:
// undoing what a viewer does to show it ('R' a clockwise turn, 'M' a mirror).
Picture Stored(const Picture& upright, uint32_t orientation) {
    static const char* const kUndo[9] = {"", "", "M", "RR", "RRM", "RM", "RRR", "RRRM", "R"};
    Picture p = upright;
    for (const char* step = kUndo[orientation]; *step; ++step) p = *step == 'R' ? TurnClockwise(p) : Mirror(p);
    return p;
}

std::string JpegOf(const Picture& p) {
    test::JpegFixture f = test::MakeFixture(p.width, p.height, 3, [&](int x, int y, int c) {
        const Rgb rgb = p.At(x, y);
        return c == 0 ? rgb.r : c == 1 ? rgb.g : rgb.b;
    });
    return test::EncodeJpeg(f);
}

// An Exif APP1 segment whose first directory holds another tag and then tag
// 274 with `value`.
std::string ExifSegment(bool littleEndian, uint32_t value) {
    test::TiffFileBuilder b(littleEndian);
    b.Entry(0x011A, test::TiffFileBuilder::kRational, 1, b.AddRational(72, 1));
    b.Entry(kTagOrientation, test::TiffFileBuilder::kShort, 1, value);
    const std::string body = std::string("Exif\0\0", 6) + b.Build();
    const size_t length = body.size() + 2;
    return std::string{char(0xFF), char(0xE1), char(length >> 8), char(length & 0xFF)} + body;
}

// Puts `segment` after the JFIF header, where cameras put it.
std::string WithSegment(const std::string& jpeg, const std::string& segment) {
    const size_t app0 = 4 + (size_t(uint8_t(jpeg[4])) << 8 | uint8_t(jpeg[5]));
    return jpeg.substr(0, app0) + segment + jpeg.substr(app0);
}

class OrientationTest : public ::testing::Test {
protected:
    OrientationTest() : temporary(root.File(u"tmp")), scoped(Made(temporary)) {
        Made(out);
        EXPECT_TRUE(context.Initialise());
        context.settings = &settings;
        context.preset = &settings.presets[0];
        Preset& preset = settings.presets[0];
        preset.outputFolder = out;
        preset.jpegQuality = 100;
        preset.jpegSubsampling = 2;
        preset.limitFileSize = 0;
    }
    static const WideString& Made(const WideString& folder) {
        os::CreateFolder(folder.Text());
        return folder;
    }
    // Converts `bytes` with preset 0 and returns the output file's bytes (and
    // its decoded picture in context.image); the output is removed.
    std::string Convert(const std::string& bytes, const char16_t* name = u"photo.src") {
        const WideString source = root.File(name);
        EXPECT_TRUE(test::WriteBytes(source, bytes));
        const uint8_t selection[4] = {1, 0, 0, 0};
        EXPECT_EQ(RunConversion(host, 1, &source, selection, settings), 1u);
        WideString output;
        SetFolderPlusName(output, out.Text(), u"photo");
        output.Append(settings.presets[0].suffix.Text());
        output.Append(OutputExtension(settings.presets[0].outputFormat));
        context.image.pixels.Reset();
        EXPECT_TRUE(DecodeInput(context, output));
        std::string result = test::ReadBytes(output);
        os::RemoveFile(output.Text());
        return result;
    }
    // How far the context's picture is from `expected`, at most (every channel).
    int Distance(const Picture& expected) {
        const DecodedImage& image = context.image;
        if (image.header.biWidth != expected.width || image.header.biHeight != expected.height) return 1000;
        int worst = 0;
        const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
        for (int y = 0; y < expected.height; ++y)
            for (int x = 0; x < expected.width; ++x) {
                const uint8_t* row = image.pixels.Get() + uint64_t(expected.height - 1 - y) * stride;
                Rgb got{};
                if (image.header.biBitCount == 24) {
                    got = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
                } else {
                    const RGBQUAD& q = image.palette[row[x]];
                    got = {q.rgbRed, q.rgbGreen, q.rgbBlue};
                }
                const Rgb want = expected.At(x, y);
                worst = std::max({worst, std::abs(got.r - want.r), std::abs(got.g - want.g), std::abs(got.b - want.b)});
            }
        return worst;
    }

    test::TempFolder root;
    WideString temporary;
    test::ScopedTemporaryFolder scoped;
    WideString out = root.File(u"out");
    Settings settings = test::BlankSettings();
    ConversionContext context;
    test::RecordingHost host;
};

TEST_F(OrientationTest, EveryOrientationInEitherByteOrderComesOutUprightInEveryFormat) {
    const Picture upright = Upright();
    const uint32_t formats[] = {0, kOutputPng, kOutputJpeg, kOutputGif, kOutputTiff};
    for (uint32_t orientation = 1; orientation <= 8; ++orientation)
        for (bool little : {true, false}) {
            const std::string input = WithSegment(JpegOf(Stored(upright, orientation)), ExifSegment(little, orientation));
            for (uint32_t format : formats) {
                SCOPED_TRACE("orientation " + std::to_string(orientation) + (little ? " II" : " MM") + ", format " +
                             std::to_string(format));
                settings.presets[0].outputFormat = format;
                Convert(input);
                EXPECT_LE(Distance(upright), 12);
            }
        }
}

TEST_F(OrientationTest, MissingUprightOrDamagedRecordsGiveTheSameBytesAsStored) {
    const Picture stored = Stored(Upright(), 6);
    const std::string plain = JpegOf(stored);
    settings.presets[0].outputFormat = kOutputPng;
    const std::string asStored = Convert(plain);
    ASSERT_FALSE(asStored.empty());

    std::string badOffset = ExifSegment(true, 6);
    badOffset[4 + 6 + 7] = char(0xF0);  // first directory far past the block's end
    std::string truncated = ExifSegment(false, 6);
    truncated.resize(truncated.size() - 10);  // the directory's last entry cut short
    truncated[3] = char(truncated.size() - 2);
    const struct {
        const char* name;
        std::string segment;
    } cases[] = {
        {"tagged 1", ExifSegment(true, 1)},
        {"value 0", ExifSegment(false, 0)},
        {"value 9", ExifSegment(true, 9)},
        {"directory out of the block", badOffset},
        {"directory longer than the block", truncated},
        {"not Exif", std::string{char(0xFF), char(0xE1), 0, 8} + std::string("Exig\0\0", 6)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Convert(WithSegment(plain, c.segment)), asStored);
    }
}

TEST_F(OrientationTest, TiffTag274TurnsThePicture) {
    const Picture upright = Upright();
    const Picture stored = Stored(upright, 6);
    test::SimpleTiff tiff;
    tiff.littleEndian = false;
    tiff.width = uint32_t(stored.width);
    tiff.height = uint32_t(stored.height);
    tiff.photometric = 2;
    tiff.samples = 3;
    for (const Rgb& p : stored.pixels) tiff.strip.insert(tiff.strip.end(), {p.r, p.g, p.b});
    test::TiffFileBuilder builder(false);
    builder.Entry(kTagOrientation, test::TiffFileBuilder::kShort, 1, 6);
    settings.presets[0].outputFormat = 0;
    Convert(test::BuildSimpleTiff(tiff, &builder));
    EXPECT_EQ(Distance(upright), 0);
}

TEST_F(OrientationTest, TheBoxOfPresetZeroMeasuresTheUprightSides) {
    // Upright 3000 x 4000: the top half red, the bottom half blue.
    Picture upright{3000, 4000, {}};
    upright.pixels.resize(size_t(3000) * 4000);
    for (int y = 0; y < 4000; ++y)
        for (int x = 0; x < 3000; ++x) upright.pixels[size_t(y) * 3000 + x] = y < 2000 ? Rgb{220, 20, 20} : Rgb{20, 20, 220};
    const Picture stored = Stored(upright, 6);
    ASSERT_EQ(stored.width, 4000);
    settings.presets[0] = DefaultPreset(0);
    settings.presets[0].outputFolder = out;
    settings.presets[0].subfolder.Assign(u"");
    Convert(WithSegment(JpegOf(stored), ExifSegment(true, 6)));
    const DecodedImage& image = context.image;
    ASSERT_EQ(image.header.biWidth, 800);
    ASSERT_EQ(image.header.biHeight, 600);
    // The crop keeps the middle rows of 800 x 1067: red above, blue below, on
    // both sides (a sideways picture would be split left and right instead).
    const uint32_t stride = RowStride(800, image.header.biBitCount);
    auto red = [&](int x, int y) { return image.pixels.Get()[uint64_t(599 - y) * stride + 3 * x + 2]; };
    EXPECT_GT(red(5, 5), 150);
    EXPECT_GT(red(795, 5), 150);
    EXPECT_LT(red(5, 595), 100);
    EXPECT_LT(red(795, 595), 100);
}

TEST(ExifOrientationTest, ReadsOnlyAWellFormedFirstDirectory) {
    const std::string exif = ExifSegment(false, 8);
    const std::string jpeg = WithSegment(JpegOf(Upright()), exif);
    EXPECT_EQ(ReadJpegOrientation(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()), 8u);
    // Every shorter cut of the file reads as stored and stays inside it.
    const size_t end = 20 + exif.size();
    for (size_t cut = 0; cut < end; ++cut) {
        std::vector<uint8_t> copy(jpeg.begin(), jpeg.begin() + cut);
        EXPECT_EQ(ReadJpegOrientation(copy.data(), copy.size()), 0u) << cut;
    }
    // A LONG value is taken too; an entry of another type is not.
    test::TiffFileBuilder b(true);
    b.Entry(kTagOrientation, test::TiffFileBuilder::kLong, 1, 3);
    const std::string tiff = b.Build();
    EXPECT_EQ(ReadTiffOrientation(reinterpret_cast<const uint8_t*>(tiff.data()), tiff.size()), 3u);
    test::TiffFileBuilder c(true);
    c.Entry(kTagOrientation, test::TiffFileBuilder::kAscii, 1, 3);
    const std::string ascii = c.Build();
    EXPECT_EQ(ReadTiffOrientation(reinterpret_cast<const uint8_t*>(ascii.data()), ascii.size()), 0u);
}

}  // namespace
}  // namespace qdx
