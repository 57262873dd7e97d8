// Third-party test images against independent decoders: BMP Suite's good
// files (Pillow, or the suite's own picture), the WebP images of Pillow's and
// libwebp's sources (dwebp, or Pillow for animations) and libtiff's test
// images (tiff2rgba) through the batch's TIFF branch; HEIC and AVIF files made
// with Debian's encoders (heif-convert). scripts/fetch-test-suites.sh
// (a CTest fixture) fetches them from Debian's archive and writes the
// references and a list per suite into build/test-refs; without them the
// tests skip.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/read/bmp_reader.h"
#include "codecs/read/heif_library.h"
#include "codecs/read/heif_reader.h"
#include "codecs/read/tiff_reader.h"
#include "codecs/read/webp_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "codecs/common/input_kind.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"
#include "tests/support/blank_settings.h"

namespace qdx {
namespace {

// Paths in the lists are the host's; under Wine its root is drive Z:.
std::string HostPath(const std::string& path) {
#if defined(_WIN32)
    if (!path.empty() && path[0] == '/') return "Z:" + path;
#endif
    return path;
}

WideString Wide(const std::string& path) {
    WideString wide;
    AppendUtf8(wide, path.c_str());
    return wide;
}

struct SuiteImage {
    std::string source, reference;  // reference "-": the independent decoder refused it
    std::string Name() const { return source.substr(source.find_last_of('/') + 1); }
};

std::vector<SuiteImage> ReadList(const char* suite) {
    std::ifstream in(HostPath(std::string(QDX_SOURCE_DIR) + "/build/test-refs/" + suite + ".txt"));
    std::vector<SuiteImage> images;
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) images.push_back({HostPath(line.substr(0, tab)), line.substr(tab + 1)});
    }
    for (SuiteImage& image : images)
        if (image.reference != "-") image.reference = HostPath(image.reference);
    return images;
}

// A P7 RGBA picture, top row first.
struct Rgba {
    int width = 0, height = 0;
    bool premultiplied = false;
    std::vector<uint8_t> samples;
};

bool ReadPam(const std::string& path, Rgba& pam) {
    std::ifstream in(path, std::ios::binary);
    std::string word;
    int depth = 0;
    while (in >> word && word != "ENDHDR") {
        if (word == "WIDTH") in >> pam.width;
        else if (word == "HEIGHT") in >> pam.height;
        else if (word == "DEPTH") in >> depth;
        else if (word == "TUPLTYPE") in >> word, pam.premultiplied = word == "RGB_ALPHA_PREMULTIPLIED";
    }
    in.get();  // the newline after ENDHDR
    pam.samples.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return depth == 4 && pam.samples.size() == size_t(pam.width) * pam.height * 4;
}

// The reference flattened onto `background` (red, green, blue), compared with
// the decoded record. Opaque pixels must match exactly; blended ones may be
// 1 off (the reader blends through its product table); `tolerance` widens both.
void ExpectSamePicture(const DecodedImage& image, const Rgba& reference, const uint8_t background[3],
                       const std::string& what, int tolerance = 0) {
    ASSERT_EQ(image.header.biWidth, reference.width) << what;
    ASSERT_EQ(image.header.biHeight, reference.height) << what;
    const uint32_t stride = RowStride(uint32_t(reference.width), image.header.biBitCount);
    size_t differing = 0;
    std::string first;
    for (int y = 0; y < reference.height; ++y) {
        const uint8_t* row = image.pixels.Get() + size_t(reference.height - 1 - y) * stride;
        for (int x = 0; x < reference.width; ++x) {
            const uint8_t* want = &reference.samples[(size_t(y) * reference.width + x) * 4];
            uint8_t got[3];
            if (image.header.biBitCount == 8) {
                const RGBQUAD& c = image.palette[row[x]];
                got[0] = c.rgbRed, got[1] = c.rgbGreen, got[2] = c.rgbBlue;
            } else {
                got[0] = row[3 * x + 2], got[1] = row[3 * x + 1], got[2] = row[3 * x];
            }
            const int alpha = want[3];
            for (int c = 0; c < 3; ++c) {
                const double share = background[c] * (255 - alpha) / 255.0;
                const double expected = reference.premultiplied ? want[c] + share : want[c] * alpha / 255.0 + share;
                const int allowed = tolerance + (alpha == 255 ? 0 : 1);
                if (std::abs(got[c] - expected) > allowed + 0.5 && differing++ == 0)
                    first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") channel " + std::to_string(c) +
                            ": " + std::to_string(got[c]) + " for " + std::to_string(expected);
            }
        }
    }
    EXPECT_EQ(differing, 0u) << what << ": first at " << first;
}

constexpr uint8_t kBackground[3] = {0x20, 0x90, 0xE0};

TEST(ReferenceSuites, BmpSuiteGoodFilesDecodeLikePillow) {
    const std::vector<SuiteImage> images = ReadList("bmp");
    ASSERT_FALSE(images.empty()) << "BMP Suite absent: scripts/fetch-test-suites.sh";
    size_t compared = 0;
    for (const SuiteImage& suite : images) {
        ASSERT_NE(suite.reference, "-") << suite.Name() << ": the page names a picture for every good file";
        BmpReaderState state;
        DecodedImage image;
        ASSERT_TRUE(ReadBmpImage(state, Wide(suite.source), &image)) << suite.Name() << " " << state.input.status;
        Rgba reference;
        ASSERT_TRUE(ReadPam(suite.reference, reference)) << suite.reference;
        ExpectSamePicture(image, reference, state.backgroundColour, suite.Name());
        image.pixels.Reset();
        ++compared;
    }
    EXPECT_GE(compared, 20u);
    std::printf("BMP Suite: %zu good files compared\n", compared);
}

TEST(ReferenceSuites, WebpImagesDecodeLikeDwebp) {
    const std::vector<SuiteImage> images = ReadList("webp");
    ASSERT_FALSE(images.empty()) << "WebP images absent: scripts/fetch-test-suites.sh";
    size_t compared = 0, animated = 0, withAlpha = 0;
    for (const SuiteImage& suite : images) {
        ASSERT_NE(suite.reference, "-") << suite.Name();
        WebpReaderState state;
        std::copy(kBackground, kBackground + 3, state.backgroundColour);
        DecodedImage image;
        ASSERT_TRUE(ReadWebpImage(state, Wide(suite.source), &image)) << suite.Name() << " " << state.input.status;
        EXPECT_EQ(image.sourceKind, kInputWebp);
        Rgba reference;
        ASSERT_TRUE(ReadPam(suite.reference, reference)) << suite.reference;
        ExpectSamePicture(image, reference, kBackground, suite.Name());
        image.pixels.Reset();
        ++compared;
        animated += state.animated;
        withAlpha += state.hadAlpha;
    }
    EXPECT_GE(compared, 15u);
    EXPECT_GT(animated, 0u);
    EXPECT_GT(withAlpha, 0u);
    std::printf("WebP images: %zu compared, %zu animated, %zu with alpha\n", compared, animated, withAlpha);
}

TEST(ReferenceSuites, EveryTiffThatTiff2rgbaConvertsConvertsAlike) {
    const std::vector<SuiteImage> images = ReadList("tiff");
    ASSERT_FALSE(images.empty()) << "libtiff images absent: scripts/fetch-test-suites.sh";
    Settings settings = test::BlankSettings();
    settings.backgroundColour = 0;  // black: libtiff's premultiplied colours as they are
    ConversionContext context;
    ASSERT_TRUE(context.Initialise());
    context.settings = &settings;
    const uint8_t black[3] = {0, 0, 0};
    size_t compared = 0, byLibtiff = 0;
    for (const SuiteImage& suite : images) {
        if (suite.reference == "-") continue;
        TiffReaderState own;
        DecodedImage ownImage;
        const bool ours = ReadTiffImage(own, Wide(suite.source), &ownImage);
        ownImage.pixels.Reset();
        ASSERT_TRUE(DecodeTiffInput(context, Wide(suite.source))) << suite.Name();
        Rgba reference;
        ASSERT_TRUE(ReadPam(suite.reference, reference)) << suite.reference;
        // Our own reader takes the high byte of 16-bit samples where libtiff rounds.
        const bool ownSixteenBit = ours && context.image.sourceBitDepth == 48;
        ExpectSamePicture(context.image, reference, black, suite.Name(), ownSixteenBit ? 1 : 0);
        byLibtiff += ours ? 0 : 1;
        context.image.pixels.Reset();
        ++compared;
    }
    EXPECT_GE(compared, 20u);
    std::printf("libtiff images: %zu compared with tiff2rgba, %zu of them read through libtiff\n", compared, byLibtiff);
}

// Made on this machine, so never skipped: 8, 10 and 12 bits, odd sizes, a
// grid, a turned, a mirrored and a cropped picture, alpha, monochrome.
TEST(ReferenceSuites, HeifFilesDecodeLikeHeifConvert) {
    const std::vector<SuiteImage> images = ReadList("heif");
    ASSERT_GE(images.size(), 14u) << "HEIF test files absent: scripts/fetch-test-suites.sh";
    const char16_t* missing = nullptr;
    const HeifFunctions* library = LoadHeifFunctions(missing);
    ASSERT_NE(library, nullptr) << "the HEIF libraries did not load";
    for (const SuiteImage& suite : images) {
        HeifReaderState state;
        state.library = library;
        std::copy(kBackground, kBackground + 3, state.backgroundColour);
        DecodedImage image;
        ASSERT_TRUE(ReadHeifImage(state, Wide(suite.source), &image)) << suite.Name() << " " << state.input.status;
        EXPECT_EQ(image.sourceKind, kInputHeif);
        EXPECT_EQ(image.header.biBitCount, suite.Name().find("grey") != std::string::npos ? 8 : 24) << suite.Name();
        EXPECT_EQ(state.hadAlpha, suite.Name().find("alpha") != std::string::npos ? 1 : 0) << suite.Name();
        Rgba reference;
        ASSERT_TRUE(ReadPam(suite.reference, reference)) << suite.reference;
        // 8-bit samples come out as heif-convert gives them; deeper ones are
        // rounded on both sides.
        ExpectSamePicture(image, reference, kBackground, suite.Name(), state.bitDepth > 8 ? 1 : 0);
    }
}

}  // namespace
}  // namespace qdx
