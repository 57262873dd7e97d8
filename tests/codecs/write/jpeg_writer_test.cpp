#include "codecs/write/jpeg_writer.h"
#include "codecs/write/quality_search.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "batch/conversion_context.h"
#include "batch/output_steps.h"
#include "codecs/read/jpeg_reader.h"
#include "core/os/os.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// A bottom-up image record with its own pixel buffer.
struct TestImage {
    DecodedImage image;
    TestImage(int width, int height, uint16_t bitCount) {
        SetImageHeader(image, width, height, bitCount);
        image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), bitCount);
    }
    uint32_t Stride() const { return RowStride(uint32_t(image.header.biWidth), image.header.biBitCount); }
    // Pixel (x, y) with y counted from the top of the picture.
    uint8_t* At(int x, int yFromTop) {
        return image.pixels.Get() + size_t(image.header.biHeight - 1 - yFromTop) * Stride() +
               size_t(x) * (image.header.biBitCount / 8);
    }
};

// A 24-bit picture of noise (incompressible) or of smooth gradients.
void FillNoise(TestImage& picture, unsigned variant) {
    std::mt19937 random(variant);
    for (int y = 0; y < picture.image.header.biHeight; ++y)
        for (int x = 0; x < picture.image.header.biWidth; ++x)
            for (int c = 0; c < 3; ++c) picture.At(x, y)[c] = uint8_t(random());
}
void FillSmooth(TestImage& picture) {
    for (int y = 0; y < picture.image.header.biHeight; ++y)
        for (int x = 0; x < picture.image.header.biWidth; ++x) {
            uint8_t* p = picture.At(x, y);
            p[0] = uint8_t(x * 2 + y);
            p[1] = uint8_t(y * 3);
            p[2] = uint8_t(255 - x);
        }
}

// Runs the output step on `picture` the way the batch does.
struct OutputRun {
    test::TempFolder folder;
    WideString path = folder.File(u"out.tmp");
    ConversionContext context;
    Preset preset;
    OutputRun() {
        context.jpegWriter.reset(new JpegWriterState());
        context.preset = &preset;
        context.tempPath = &path;
    }
    bool Run(TestImage& picture) {
        context.image = std::move(picture.image);  // lent to the step and handed back
        const bool ok = JpegOutputStep(context);
        picture.image = std::move(context.image);
        return ok;
    }
    std::string Bytes() const { return test::ReadBytes(path); }
    JpegWriterState& State() { return *context.jpegWriter; }
};

// The quantisation table with the given id from the DQT segments, in zigzag order.
std::vector<int> QuantTable(const std::string& jpeg, int id) {
    for (const auto& segment : test::JpegHeaderSegments(jpeg)) {
        if (segment.marker != 0xDB) continue;
        for (size_t at = 0; at + 65 <= segment.payload.size(); at += 65) {
            const uint8_t info = uint8_t(segment.payload[at]);
            if ((info >> 4) != 0) return {};  // 16-bit entries are never written for baseline
            if ((info & 15) == id) {
                std::vector<int> table;
                for (int k = 0; k < 64; ++k) table.push_back(uint8_t(segment.payload[at + 1 + k]));
                return table;
            }
        }
    }
    return {};
}

// The example tables of the JPEG standard (Annex K), in natural order.
constexpr int kLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                             41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                             30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

std::vector<int> ScaledTable(const int (&base)[64], int scale) {
    std::vector<int> table;
    for (int k = 0; k < 64; ++k) {
        int value = (base[kZigzag[k]] * scale + 50) / 100;
        table.push_back(value < 1 ? 1 : value > 255 ? 255 : value);
    }
    return table;
}

TEST(JpegWriter, QualityAbove100MeansDefaultAndEveryQualityScalesTheStandardTables) {
    TestImage picture(24, 16, 24);
    FillSmooth(picture);
    struct Case {
        uint32_t presetQuality;
        int scale;
    };
    // Scale: 5000 / q below 50, 200 - 2q from 50 up.
    for (const Case& c : {Case{101, 50}, Case{250, 50}, Case{100, 0}, Case{90, 20}, Case{50, 100}, Case{10, 500},
                          Case{1, 5000}}) {
        OutputRun run;
        run.preset.jpegQuality = c.presetQuality;
        ASSERT_TRUE(run.Run(picture)) << c.presetQuality;
        const std::string jpeg = run.Bytes();
        EXPECT_EQ(QuantTable(jpeg, 0), ScaledTable(kLuminance, c.scale)) << "quality " << c.presetQuality;
        EXPECT_EQ(QuantTable(jpeg, 1), ScaledTable(kChrominance, c.scale)) << "quality " << c.presetQuality;
    }
    OutputRun hundred;
    hundred.preset.jpegQuality = 100;
    ASSERT_TRUE(hundred.Run(picture));
    EXPECT_EQ(QuantTable(hundred.Bytes(), 0), std::vector<int>(64, 1));
}

TEST(JpegWriter, SubsamplingSettingGivesTheFrameSamplingFactors) {
    TestImage picture(33, 17, 24);
    FillSmooth(picture);
    for (int setting : {0, 1, 2, 3}) {
        OutputRun run;
        run.preset.jpegSubsampling = setting;
        ASSERT_TRUE(run.Run(picture));
        const std::string jpeg = run.Bytes();
        const auto segments = test::JpegHeaderSegments(jpeg);
        // Baseline, optimised Huffman tables (in the file before the scan), nothing progressive.
        ASSERT_EQ(test::FindSegment(segments, 0xC2), nullptr);
        const test::JpegSegment* frame = test::FindSegment(segments, 0xC0);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->payload.size(), 6u + 3 * 3);
        EXPECT_EQ(uint8_t(frame->payload[0]), 8);                             // precision
        EXPECT_EQ((uint8_t(frame->payload[1]) << 8) | uint8_t(frame->payload[2]), 17);  // height
        EXPECT_EQ((uint8_t(frame->payload[3]) << 8) | uint8_t(frame->payload[4]), 33);  // width
        EXPECT_EQ(uint8_t(frame->payload[5]), 3);                             // components
        const uint8_t luminance = setting == 2 ? 0x11 : 0x22;
        EXPECT_EQ(uint8_t(frame->payload[6 + 1]), luminance) << "setting " << setting;
        EXPECT_EQ(uint8_t(frame->payload[9 + 1]), 0x11);
        EXPECT_EQ(uint8_t(frame->payload[12 + 1]), 0x11);
        // A JFIF header and no other application markers.
        const test::JpegSegment* jfif = test::FindSegment(segments, 0xE0);
        ASSERT_NE(jfif, nullptr);
        EXPECT_EQ(jfif->payload.substr(0, 5), std::string("JFIF\0", 5));
        for (const auto& segment : segments)
            if (segment.marker > 0xE0 && segment.marker <= 0xEF) ADD_FAILURE() << "APP" << (segment.marker - 0xE0);
    }
}

struct Density {
    int unit, x, y;
};
Density JfifDensity(const std::string& jpeg) {
    const auto segments = test::JpegHeaderSegments(jpeg);
    const test::JpegSegment* jfif = test::FindSegment(segments, 0xE0);
    if (!jfif || jfif->payload.size() < 12) return {-1, -1, -1};
    const auto byte = [&](size_t i) { return int(uint8_t(jfif->payload[i])); };
    return {byte(7), (byte(8) << 8) | byte(9), (byte(10) << 8) | byte(11)};
}

TEST(JpegWriter, ResolutionBecomesDotsPerInch) {
    struct Case {
        int32_t xPpm, yPpm;
        Density expected;
    };
    const Case cases[] = {
        {3780, 3780, {1, 96, 96}},
        {2835, 5906, {1, 72, 150}},
        {3780, 0, {0, 1, 1}},  // not given in one direction: the library's 1:1
        {0, 0, {0, 1, 1}},
        {2000000000, 2000000000, {1, 65535, 65535}},  // held at the field's largest value
    };
    for (const Case& c : cases) {
        TestImage picture(8, 8, 24);
        FillSmooth(picture);
        picture.image.header.biXPelsPerMeter = c.xPpm;
        picture.image.header.biYPelsPerMeter = c.yPpm;
        OutputRun run;
        ASSERT_TRUE(run.Run(picture));
        const Density density = JfifDensity(run.Bytes());
        EXPECT_EQ(density.unit, c.expected.unit) << c.xPpm << " x " << c.yPpm;
        EXPECT_EQ(density.x, c.expected.x) << c.xPpm;
        EXPECT_EQ(density.y, c.expected.y) << c.yPpm;
    }
}

// Decodes a JPEG file with our own reader.
struct Decoded {
    JpegReaderState state;
    DecodedImage image;
};
bool Decode(const WideString& path, Decoded& out) { return ReadJpegImage(out.state, path, &out.image); }

TEST(JpegWriter, AnEightBitImageIsExpandedThroughItsPalette) {
    TestImage picture(16, 16, 8);
    const RGBQUAD palette[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {40, 90, 200, 0}};
    std::memcpy(picture.image.palette, palette, sizeof palette);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) *picture.At(x, y) = uint8_t((y / 8) * 2 + x / 8);
    OutputRun run;
    run.preset.jpegQuality = 100;
    run.preset.jpegSubsampling = 2;
    ASSERT_TRUE(run.Run(picture)) << run.State().writeStatus;
    const auto segments = test::JpegHeaderSegments(run.Bytes());
    const test::JpegSegment* frame = test::FindSegment(segments, 0xC0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(uint8_t(frame->payload[5]), 3);

    Decoded decoded;
    ASSERT_TRUE(Decode(run.path, decoded));
    ASSERT_EQ(decoded.image.header.biBitCount, 24);
    const uint32_t stride = RowStride(16, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const RGBQUAD& expected = palette[(y / 8) * 2 + x / 8];
            const uint8_t* p = decoded.image.pixels.Get() + size_t(15 - y) * stride + x * 3;
            EXPECT_NEAR(p[0], expected.rgbBlue, 3) << x << "," << y;
            EXPECT_NEAR(p[1], expected.rgbGreen, 3) << x << "," << y;
            EXPECT_NEAR(p[2], expected.rgbRed, 3) << x << "," << y;
        }
}

TEST(JpegWriter, DirectAndSizeLimitedModesWriteTheSameCompleteFile) {
    // Noise at quality 100 gives a file of several MiB: the file destination
    // writes several full blocks and a partial one.
    TestImage picture(1500, 700, 24);
    FillNoise(picture, 7);
    OutputRun direct;
    direct.preset.jpegQuality = 100;
    direct.preset.jpegSubsampling = 2;
    ASSERT_TRUE(direct.Run(picture));
    const std::string directBytes = direct.Bytes();
    EXPECT_GT(directBytes.size(), 2u * 1048576);
    EXPECT_EQ(direct.State().compressions, 1u);

    OutputRun limited;
    limited.preset = direct.preset;
    limited.preset.limitFileSize = 1;
    limited.preset.maxFileSizeKiB = 100000;
    ASSERT_TRUE(limited.Run(picture));
    EXPECT_EQ(limited.State().compressions, 1u);
    EXPECT_TRUE(limited.Bytes() == directBytes);

    Decoded decoded;
    ASSERT_TRUE(Decode(direct.path, decoded));
    EXPECT_EQ(decoded.image.header.biWidth, 1500);
    EXPECT_EQ(decoded.image.header.biHeight, 700);
}

TEST(JpegWriter, SizeLimitSearch) {
    TestImage picture(128, 128, 24);
    FillNoise(picture, 11);
    {
        // Fits at the preset quality: one compression.
        OutputRun run;
        run.preset.limitFileSize = 1;
        run.preset.maxFileSizeKiB = 1000;
        ASSERT_TRUE(run.Run(picture));
        EXPECT_EQ(run.State().compressions, 1u);
        EXPECT_EQ(run.State().quality, 75);
        EXPECT_LE(run.Bytes().size(), 1000u * 1024);
    }
    {
        // Never fits: quality 75, 38, 20, 11, 7, 5, 4, 3, 2, 1, and the last is written anyway.
        OutputRun run;
        run.preset.limitFileSize = 1;
        run.preset.maxFileSizeKiB = 0;
        ASSERT_TRUE(run.Run(picture));
        EXPECT_EQ(run.State().compressions, 10u);
        EXPECT_EQ(run.State().quality, 1);
        const std::string bytes = run.Bytes();
        EXPECT_GT(bytes.size(), 0u);
        EXPECT_EQ(QuantTable(bytes, 0), ScaledTable(kLuminance, 5000));
        Decoded decoded;
        EXPECT_TRUE(Decode(run.path, decoded));
    }
    {
        // A limit that can be met gives a file within it.
        OutputRun run;
        run.preset.limitFileSize = 1;
        run.preset.maxFileSizeKiB = 6;
        ASSERT_TRUE(run.Run(picture));
        const std::string bytes = run.Bytes();
        EXPECT_LE(bytes.size(), 6u * 1024);
        EXPECT_GT(run.State().compressions, 1u);
        EXPECT_LT(run.State().quality, 75);
        Decoded decoded;
        EXPECT_TRUE(Decode(run.path, decoded));
    }
}

TEST(JpegWriter, ATinyImageInSizeLimitedModeIsStillAWholeFile) {
    // 1 x 1 pixel: the headers alone are far larger than the 4-byte pixel buffer.
    TestImage picture(1, 1, 24);
    picture.At(0, 0)[0] = 30;
    picture.At(0, 0)[1] = 60;
    picture.At(0, 0)[2] = 200;
    OutputRun run;
    run.preset.limitFileSize = 1;
    run.preset.maxFileSizeKiB = 1;
    run.preset.jpegQuality = 100;
    ASSERT_TRUE(run.Run(picture));
    EXPECT_EQ(run.State().compressions, 1u);
    OutputRun direct;
    direct.preset.jpegQuality = 100;
    ASSERT_TRUE(direct.Run(picture));
    EXPECT_TRUE(run.Bytes() == direct.Bytes());
    Decoded decoded;
    ASSERT_TRUE(Decode(run.path, decoded)) << test::Narrow(decoded.state.message);
    EXPECT_NEAR(decoded.image.pixels.Get()[0], 30, 3);
    EXPECT_NEAR(decoded.image.pixels.Get()[1], 60, 3);
    EXPECT_NEAR(decoded.image.pixels.Get()[2], 200, 3);
}

// Synthetic sizes: 100 bytes per quality step, recording each quality tried.
struct Attempts {
    std::vector<int> qualities;
    int failAt = -1;
};
bool SizeByQuality(void* context, int32_t quality, uint32_t& size) {
    auto* attempts = static_cast<Attempts*>(context);
    attempts->qualities.push_back(quality);
    size = uint32_t(quality) * 100;
    return quality != attempts->failAt;
}

TEST(QualitySearch, HalvesItsStepsAndStopsWhenItSettles) {
    struct Case {
        int32_t start;
        uint32_t limit;
        std::vector<int> tried;
        bool ok;
    };
    const Case cases[] = {
        {75, 9000, {75}, true},                                         // fits at once
        {75, 0, {75, 38, 20, 11, 7, 5, 4, 3, 2, 1}, true},              // never fits
        {75, 4050, {75, 38, 56, 47, 43, 41, 40, 41, 40}, true},         // settles on 40
        {100, 9950, {100, 50, 75, 87, 93, 96, 97, 98, 99, 100, 99}, true},
        {1, 0, {1}, true},                                              // nothing below 1
        {2, 0, {2, 1}, true},
    };
    for (const Case& c : cases) {
        Attempts attempts;
        int32_t quality = c.start;
        EXPECT_EQ(SearchQuality(quality, c.limit, SizeByQuality, &attempts), c.ok);
        EXPECT_EQ(attempts.qualities, c.tried) << "start " << c.start << " limit " << c.limit;
        EXPECT_EQ(quality, c.tried.back());
    }
    // A failed attempt ends the search with failure.
    Attempts attempts;
    attempts.failAt = 47;
    int32_t quality = 75;
    EXPECT_FALSE(SearchQuality(quality, 4050, SizeByQuality, &attempts));
    EXPECT_EQ(attempts.qualities, (std::vector<int>{75, 38, 56, 47}));
}

TEST(JpegWriter, FailuresAreReportedWithTheirCodes) {
    TestImage picture(8, 8, 24);
    FillSmooth(picture);
    {
        // The output cannot be created.
        OutputRun run;
        run.path = run.folder.File(u"missing-folder/out.tmp");
        EXPECT_FALSE(run.Run(picture));
        EXPECT_EQ(run.State().writeStatus, kStatusCannotCreate);
        EXPECT_EQ(run.State().compressions, 0u);
    }
    {
        // A library error (an empty picture): failure with its text kept,
        // and the size-limited mode creates no file.
        TestImage empty(8, 8, 24);
        empty.image.header.biWidth = 0;
        OutputRun run;
        run.preset.limitFileSize = 1;
        run.preset.maxFileSizeKiB = 10;
        EXPECT_FALSE(run.Run(empty));
        EXPECT_EQ(run.State().writeStatus, kStatusUnspecified);
        EXPECT_FALSE(run.State().message.IsEmpty());
        EXPECT_FALSE(os::FileExists(run.path.Text()));
        // The next write succeeds and empties the message.
        EXPECT_TRUE(run.Run(picture));
        EXPECT_TRUE(run.State().message.IsEmpty());
        EXPECT_TRUE(os::FileExists(run.path.Text()));
    }
    {
        // An 8-bit image whose expansion cannot be done: nothing is written.
        TestImage indexed(8, 8, 8);
        indexed.image.header.biBitCount = 4;
        OutputRun run;
        EXPECT_FALSE(run.Run(indexed));
        EXPECT_EQ(run.State().writeStatus, kStatusConversionFailed);
        EXPECT_FALSE(os::FileExists(run.path.Text()));
    }
}

// djpeg (libjpeg-turbo-progs, installed by the setup) runs natively only.
#if !defined(_WIN32)
bool HaveDjpeg() { return std::system("djpeg -version >/dev/null 2>&1") == 0; }

// Reads a binary PPM (P6) or PGM (P5) file: width, height, channels, samples top-down.
bool ReadPnm(const std::string& path, int& width, int& height, int& channels, std::vector<uint8_t>& samples) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> width >> height >> maxValue) || maxValue != 255) return false;
    channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
    if (channels == 0) return false;
    in.get();
    samples.resize(size_t(width) * height * channels);
    return bool(in.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size())));
}

// Decodes `jpeg` with djpeg and with our reader and compares every pixel.
void ExpectSamePixelsAsDjpeg(const WideString& jpeg, const std::string& label) {
    const std::string input = test::Narrow(jpeg);
    const std::string output = input + ".pnm";
    ASSERT_EQ(std::system(("djpeg -pnm -outfile '" + output + "' '" + input + "'").c_str()), 0) << label;
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> samples;
    ASSERT_TRUE(ReadPnm(output, width, height, channels, samples)) << label;
    Decoded ours;
    ASSERT_TRUE(Decode(jpeg, ours)) << label;
    ASSERT_EQ(ours.image.header.biWidth, width) << label;
    ASSERT_EQ(ours.image.header.biHeight, height) << label;
    ASSERT_EQ(ours.image.header.biBitCount, channels * 8) << label;
    const uint32_t stride = RowStride(uint32_t(width), uint32_t(channels * 8));
    int mismatches = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = ours.image.pixels.Get() + size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                // PNM is red, green, blue; our rows are blue, green, red.
                const uint8_t theirs = samples[(size_t(y) * width + x) * channels + c];
                if (row[x * channels + (channels - 1 - c)] != theirs) ++mismatches;
            }
    }
    EXPECT_EQ(mismatches, 0) << label;
}

TEST(JpegWriter, OutputDecodesWithDjpegToOurPixels) {
    ASSERT_TRUE(HaveDjpeg()) << "djpeg is not installed (Debian package libjpeg-turbo-progs)";
    for (int subsampling : {0, 2}) {
        TestImage picture(37, 23, 24);  // odd sizes: partial blocks and padded rows
        FillNoise(picture, 3);
        OutputRun run;
        run.preset.jpegQuality = 85;
        run.preset.jpegSubsampling = subsampling;
        ASSERT_TRUE(run.Run(picture));
        ExpectSamePixelsAsDjpeg(run.path, "subsampling " + std::to_string(subsampling));
    }
    // Inputs our writer never makes: greyscale and progressive files.
    test::TempFolder folder;
    test::JpegFixture grey = test::MakeFixture(29, 31, 1, [](int x, int y, int) { return x * 7 + y * 3; });
    grey.quality = 80;
    const WideString greyPath = folder.File(u"grey.jpg");
    ASSERT_TRUE(test::WriteBytes(greyPath, test::EncodeJpeg(grey)));
    ExpectSamePixelsAsDjpeg(greyPath, "greyscale");
    test::JpegFixture progressive =
        test::MakeFixture(45, 19, 3, [](int x, int y, int c) { return (x * 11 + y * 5 + c * 70) ^ (x * y); });
    progressive.quality = 70;
    progressive.fullChroma = false;
    progressive.progressive = true;
    const WideString progressivePath = folder.File(u"progressive.jpg");
    ASSERT_TRUE(test::WriteBytes(progressivePath, test::EncodeJpeg(progressive)));
    ExpectSamePixelsAsDjpeg(progressivePath, "progressive");
}
#endif

}  // namespace
}  // namespace qdx
