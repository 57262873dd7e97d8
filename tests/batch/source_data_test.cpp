// What a source carries beside its pixels, through the real batch: embedded
// profiles converted as an independent colour engine (Pillow's ImageCms over
// lcms2) converts them, and the Exif an output carries under each metadata
// policy as an independent reader (exiftool) sees it. Fixtures are made by
// tests/batch/make_source_data_fixtures.py with profiles made by lcms2 here;
// both tools are Debian packages, not run under Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/batch.h"
#include "batch/resize_and_write.h"
#include "core/os/path_edit.h"
#include "core/preset_codes.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_profiles.h"

namespace qdx {
namespace {

#ifndef _WIN32
bool Runs(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The fixture folder, made once for every test of this file.
const test::TempFolder* Fixtures() {
    static test::TempFolder folder;
    static const bool made = [] {
        const std::pair<const char*, std::string> profiles[] = {
            {"adobe.icc", test::AdobeRgbProfile()},       {"p3.icc", test::DisplayP3Profile()},
            {"grey.icc", test::GreyProfile()},            {"cmyk.icc", test::CmykProfile()},
            {"srgb.icc", test::RenamedTabulatedSrgbProfile()}};
        for (const auto& [name, bytes] : profiles)
            if (bytes.empty() || !test::WriteBytes(folder.File(name), bytes)) return false;
        return Runs("/usr/bin/python3 " QDX_SOURCE_DIR "/tests/batch/make_source_data_fixtures.py " +
                    test::Narrow(folder.Path()));
    }();
    return made ? &folder : nullptr;
}

// The decoded picture, top-down red, green, blue, as the batch leaves it.
std::string Decode(const WideString& path, bool convertColours) {
    static const Settings settings = test::BlankSettings();
    ConversionContext context;
    if (!context.Initialise(1)) return "no context";
    context.settings = &settings;
    context.sourceData.convertColours = convertColours;
    if (!DecodeInput(context, path)) return "decode failed";
    const DecodedImage& image = context.image;
    const int width = image.header.biWidth;
    const int height = image.header.biHeight;
    const uint32_t stride = RowStride(uint32_t(width), image.header.biBitCount);
    std::string rgb;
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* row = image.pixels.Get() + size_t(y) * stride;
            RGBQUAD c{};
            if (image.header.biBitCount == 8)
                c = image.palette[row[x]];
            else
                c = RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
            rgb += char(c.rgbRed);
            rgb += char(c.rgbGreen);
            rgb += char(c.rgbBlue);
        }
    return rgb;
}

int LargestDifference(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return 256;
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
    return largest;
}

TEST(SourceData, ProfilesConvertToSrgbAsAnIndependentEngineDoes) {
    if (!Runs("/usr/bin/python3 -c 'import PIL.ImageCms'") || !Runs("command -v exiftool"))
        GTEST_SKIP() << "python3-pil or libimage-exiftool-perl is not installed";
    const test::TempFolder* folder = Fixtures();
    ASSERT_NE(folder, nullptr);
    // PNG iCCP, JPEG APP2, TIFF tag 34675 through our reader and through libtiff.
    // HEIF: an ICC profile in a colr box, and code points in an nclx box.
    for (const char* name : {"adobe.png", "adobe.jpg", "adobe.tif", "adobe-lzw.tif", "p3.png", "p3.jpg", "p3.tif",
                             "p3-lzw.tif", "cmyk.jpg", "grey.jpg", "adobe.avif", "p3-nclx.avif"}) {
        SCOPED_TRACE(name);
        const std::string expected = test::ReadBytes(folder->File((std::string(name) + ".expected").c_str()));
        ASSERT_FALSE(expected.empty());
        EXPECT_LE(LargestDifference(Decode(folder->File(name), true), expected), 1);
        // The numbers as stored are far from it, so the comparison means something.
        EXPECT_GT(LargestDifference(Decode(folder->File(name), false), expected), 4);
    }
}

TEST(SourceData, UntaggedSrgbTaggedAndDamagedProfilesKeepEveryByte) {
    if (!Runs("/usr/bin/python3 -c 'import PIL.ImageCms'") || !Runs("command -v exiftool"))
        GTEST_SKIP() << "python3-pil or libimage-exiftool-perl is not installed";
    const test::TempFolder* folder = Fixtures();
    ASSERT_NE(folder, nullptr);
    for (const char* name : {"untagged.png", "untagged.jpg", "srgb.png", "srgb.jpg", "damaged.png"}) {
        SCOPED_TRACE(name);
        const std::string asStored = Decode(folder->File(name), false);
        ASSERT_GT(asStored.size(), 100u);
        EXPECT_EQ(Decode(folder->File(name), true), asStored);
    }
}

// exiftool's view of a file: one "[GROUP] Tag: value" line per tag.
std::string ExifToolView(const WideString& path) {
    const std::string file = test::Narrow(path);
    const std::string listing = file + ".tags";
    if (std::system(("exiftool -q -a -G1 -s2 -n '" + file + "' > '" + listing + "' 2>&1").c_str()) != 0) return {};
    std::string text = "\n" + test::ReadBytes(WideString(std::u16string(listing.begin(), listing.end()).c_str()));
    return text;
}

struct OutputCase {
    uint32_t format;
    const char* name;
    const char* source;
};

// Converts `source` at `policy` into `name` (no resize); true on success.
bool ConvertPhone(MetadataPolicy policy, uint32_t format, const WideString& target, uint32_t limitKiB = 0,
                  const char* source = "phone.jpg") {
    static const Settings settings = test::BlankSettings();
    ConversionContext context;
    if (!context.Initialise(1)) return false;
    context.settings = &settings;
    context.sourceData.keepMetadata = policy;
    Preset preset;
    preset.outputFormat = format;
    preset.limitFileSize = limitKiB != 0;
    preset.maxFileSizeKiB = limitKiB;
    context.preset = &preset;
    context.tempPath = &target;
    context.outputStep = OutputStepFor(format);
    if (!DecodeInput(context, Fixtures()->File(source))) return false;
    context.savedBitDepth = context.image.header.biBitCount;  // as the batch does
    return ResizeAndWrite(context);
}

TEST(SourceData, OutputsCarryWhatTheMetadataPolicyKeeps) {
    if (!Runs("/usr/bin/python3 -c 'import PIL.ImageCms'") || !Runs("command -v exiftool"))
        GTEST_SKIP() << "python3-pil or libimage-exiftool-perl is not installed";
    const test::TempFolder* folder = Fixtures();
    ASSERT_NE(folder, nullptr);
    // Always there under 1 and 2: the picture is upright (orientation 6 was
    // applied), so 1200 x 900 stored becomes 900 x 1200.
    const char* dateAndCamera[] = {"[IFD0] Make: Phonemaker", "[IFD0] Model: Phone 12", "[IFD0] Orientation: 1",
                                   "[ExifIFD] DateTimeOriginal: 2024:05:17 14:03:22",
                                   "[ExifIFD] OffsetTimeOriginal: +02:00", "[ExifIFD] SubSecTimeOriginal: 123",
                                   "[ExifIFD] ExposureTime: 0.008333", "[ExifIFD] FNumber: 1.8",
                                   "[ExifIFD] ISO: 50", "[ExifIFD] FocalLength: 4.2",
                                   "[ExifIFD] LensModel: Back camera", "[ExifIFD] ExifImageWidth: 900",
                                   "[ExifIFD] ExifImageHeight: 1200"};
    const char* everythingElse[] = {"[IFD0] Software: PhoneOS 17", "[IFD0] Artist: A. Person",
                                    "[ExifIFD] UserComment: holiday"};
    const char* never[] = {"[GPS]", "[IFD1]", "MakerNote", "Thumbnail"};
    // The last row reads the WebP output the row before left (written under
    // policy 2, so it holds everything a policy can keep): our own WebP
    // files carry their Exif on.
    const OutputCase outputs[] = {{kOutputJpeg, "out.jpg", "phone.jpg"},
                                  {kOutputPng, "out.png", "phone.jpg"},
                                  {kOutputTiff, "out.tif", "phone.jpg"},
                                  {kOutputWebp, "out.webp", "phone.jpg"},
                                  {kOutputPng, "from-webp.png", "out.webp"}};
    for (const OutputCase& output : outputs) {
        for (MetadataPolicy policy :
             {MetadataPolicy::Nothing, MetadataPolicy::DateAndCamera, MetadataPolicy::AllButLocation}) {
            SCOPED_TRACE(std::string(output.name) + " policy " + std::to_string(int(policy)));
            const WideString target = folder->File(output.name);
            ASSERT_TRUE(ConvertPhone(policy, output.format, target, 0, output.source));
            const std::string view = ExifToolView(target);
            ASSERT_FALSE(view.empty());
            for (const char* line : dateAndCamera)
                EXPECT_EQ(view.find(std::string("\n") + line) != std::string::npos, policy != MetadataPolicy::Nothing)
                    << line;
            for (const char* line : everythingElse)
                EXPECT_EQ(view.find(std::string("\n") + line) != std::string::npos,
                          policy == MetadataPolicy::AllButLocation)
                    << line;
            for (const char* text : never) EXPECT_EQ(view.find(text), std::string::npos) << text;
            // A TIFF's first directory describes its pixels; there is no Exif directory.
            if (policy == MetadataPolicy::Nothing) {
                if (output.format != kOutputTiff) {
                    EXPECT_EQ(view.find("[IFD0]"), std::string::npos);
                }
                // Without Exif a WebP is the simple container, as before.
                if (output.format == kOutputWebp) {
                    EXPECT_EQ(test::ReadBytes(target).substr(12, 4), "VP8 ");
                }
                EXPECT_EQ(view.find("[ExifIFD]"), std::string::npos);
            }
        }
    }
}

TEST(SourceData, TheSizeLimitCountsTheMetadata) {
    if (!Runs("/usr/bin/python3 -c 'import PIL.ImageCms'") || !Runs("command -v exiftool"))
        GTEST_SKIP() << "python3-pil or libimage-exiftool-perl is not installed";
    const test::TempFolder* folder = Fixtures();
    ASSERT_NE(folder, nullptr);
    // The phone's photo is noise: a WebP of it needs more room than a JPEG.
    const struct {
        uint32_t format;
        const char* name;
        uint32_t limitKiB;
    } kCases[] = {{kOutputJpeg, "limited.jpg", 100}, {kOutputWebp, "limited.webp", 250}};
    for (const auto& output : kCases) {
        SCOPED_TRACE(output.name);
        const WideString target = folder->File(output.name);
        ASSERT_TRUE(ConvertPhone(MetadataPolicy::AllButLocation, output.format, target, output.limitKiB));
        const std::string bytes = test::ReadBytes(target);
        EXPECT_LE(bytes.size(), output.limitKiB * 1024u);
        EXPECT_NE(ExifToolView(target).find("[IFD0] Software: PhoneOS 17"), std::string::npos);
    }
}
// A HEIF file's Exif item goes the way of every other source's Exif.
TEST(SourceData, HeifExifReachesTheOutput) {
    const test::TempFolder* folder = Fixtures();
    ASSERT_NE(folder, nullptr);
    const WideString target = folder->File("from-avif.jpg");
    ASSERT_TRUE(ConvertPhone(MetadataPolicy::DateAndCamera, kOutputJpeg, target, 0, "phone.avif"));
    const std::string view = ExifToolView(target);
    // avifenc turned the Exif orientation 6 into the container's rotation,
    // which libheif applies: 64 x 48 comes out 48 x 64, turned once only.
    for (const char* line : {"[IFD0] Model: Phone 12", "[ExifIFD] DateTimeOriginal: 2024:05:17 14:03:22",
                             "[IFD0] Orientation: 1", "[ExifIFD] ExifImageWidth: 48"})
        EXPECT_NE(view.find(std::string("\n") + line), std::string::npos) << line << view;
    EXPECT_EQ(view.find("[GPS]"), std::string::npos);
}

// What the settings' colourProfiles and keepMetadata choose reaches the
// batch: a tagged PNG and the phone's JPEG through RunConversion.
TEST(SourceData, TheSettingsChooseWhatTheBatchDoesWithProfilesAndExif) {
    const test::TempFolder* folder = Fixtures();
    ASSERT_NE(folder, nullptr);
    const std::string converted = test::ReadBytes(folder->File("adobe.png.expected"));
    const std::string asStored = Decode(folder->File("adobe.png"), false);
    ASSERT_GT(LargestDifference(converted, asStored), 4);
    const struct {
        uint32_t colourProfiles, keepMetadata;
        bool camera, software;  // what the output's Exif holds
    } kCases[] = {{kColourProfilesToSrgb, kKeepDateAndCamera, true, false},
                  {kColourProfilesAsStored, kKeepNoMetadata, false, false},
                  {kColourProfilesToSrgb, kKeepAllButLocation, true, true}};
    const WideString sources[] = {folder->File("adobe.png"), folder->File("phone.jpg")};
    for (const auto& c : kCases) {
        SCOPED_TRACE("colourProfiles " + std::to_string(c.colourProfiles) + ", keepMetadata " +
                     std::to_string(c.keepMetadata));
        const WideString out = folder->File(("batch" + std::to_string(c.keepMetadata)).c_str());
        ASSERT_TRUE(os::CreateFolder(out.Text()));
        Settings settings = test::BlankSettings();
        settings.colourProfiles = c.colourProfiles;
        settings.keepMetadata = c.keepMetadata;
        for (int i = 0; i < 2; ++i) {
            settings.presets[i].outputFormat = i == 0 ? kOutputPng : kOutputJpeg;
            settings.presets[i].outputFolder = out;
        }
        test::RecordingHost host;
        for (int i = 0; i < 2; ++i) {
            const uint8_t selection[4] = {uint8_t(i == 0), uint8_t(i == 1), 0, 0};
            ASSERT_EQ(RunConversion(host, 1, &sources[i], selection, settings), 1u);
        }
        WideString png, jpeg;
        SetFolderPlusName(png, out.Text(), u"adobe.png");
        SetFolderPlusName(jpeg, out.Text(), u"phone.jpg");
        const std::string pixels = Decode(png, false);
        if (c.colourProfiles == kColourProfilesToSrgb)
            EXPECT_LE(LargestDifference(pixels, converted), 1);
        else
            EXPECT_EQ(pixels, asStored);
        const std::string view = ExifToolView(jpeg);
        EXPECT_EQ(view.find("\n[IFD0] Model: Phone 12") != std::string::npos, c.camera) << view;
        EXPECT_EQ(view.find("\n[IFD0] Software: PhoneOS 17") != std::string::npos, c.software) << view;
        EXPECT_EQ(view.find("[GPS]"), std::string::npos);
    }
}
#endif

}  // namespace
}  // namespace qdx
