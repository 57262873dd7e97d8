// libtiff's own test images, fetched from Debian's archive at test time:
//   scripts/fetch-test-suites.sh
// (or QDX_LIBTIFF_IMAGES naming their folder). The uncompressed strip images
// of the layouts we accept must decode to the pixels libtiff gives (its
// netpbm references, and tiff2rgba where libtiff-tools is installed); every
// other image must be refused cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "codecs/read/tiff_reader.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

namespace fs = std::filesystem;

fs::path ImagesFolder() {
    std::error_code error;
    if (const char* named = std::getenv("QDX_LIBTIFF_IMAGES"))
        if (fs::is_directory(named, error)) return fs::path(named);
    const fs::path cache = fs::path(QDX_SOURCE_DIR) / "build" / "debian-src";
    if (!fs::is_directory(cache, error)) return {};
    for (const auto& entry : fs::directory_iterator(cache, error)) {
        const std::string name = entry.path().filename().string();
        const fs::path images = entry.path() / "test" / "images";
        if (name.rfind("tiff-", 0) == 0 && fs::is_directory(images, error)) return images;
    }
    return {};
}

WideString WidePath(const fs::path& path) {
    WideString wide;
    AppendUtf8(wide, path.string().c_str());
    return wide;
}

// An RGB picture, top row first, 3 bytes per pixel.
struct Rgb {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

Rgb FromDecoded(const DecodedImage& image) {
    Rgb rgb;
    rgb.width = image.header.biWidth;
    rgb.height = image.header.biHeight;
    const uint32_t stride = RowStride(uint32_t(rgb.width), image.header.biBitCount);
    for (int y = 0; y < rgb.height; ++y) {
        const uint8_t* row = image.pixels.Get() + uint64_t(rgb.height - 1 - y) * stride;
        for (int x = 0; x < rgb.width; ++x) {
            if (image.header.biBitCount == 24) {
                rgb.pixels.insert(rgb.pixels.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
            } else {
                const RGBQUAD& c = image.palette[row[x]];
                rgb.pixels.insert(rgb.pixels.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
            }
        }
    }
    return rgb;
}

// Binary netpbm (P4, P5, P6; maxval 255 or 65535, of which the high byte).
bool ReadNetpbm(const fs::path& path, Rgb& rgb) {
    const std::string f = test::ReadBytes(WidePath(path));
    if (f.size() < 2 || f[0] != 'P') return false;
    const char kind = f[1];
    size_t at = 2;
    std::vector<long> numbers;
    const size_t wanted = kind == '4' ? 2 : 3;
    while (numbers.size() < wanted && at < f.size()) {
        if (f[at] == '#') {
            while (at < f.size() && f[at] != '\n') ++at;
        } else if (std::isdigit(static_cast<unsigned char>(f[at]))) {
            long n = 0;
            while (at < f.size() && std::isdigit(static_cast<unsigned char>(f[at]))) n = n * 10 + (f[at++] - '0');
            numbers.push_back(n);
            continue;
        }
        ++at;
    }
    ++at;  // the single white-space character before the samples
    rgb.width = int(numbers[0]);
    rgb.height = int(numbers[1]);
    const int sampleBytes = (kind != '4' && numbers[2] > 255) ? 2 : 1;
    const auto byte = [&](size_t i) { return i < f.size() ? uint8_t(f[i]) : uint8_t(0); };
    for (int y = 0; y < rgb.height; ++y)
        for (int x = 0; x < rgb.width; ++x) {
            if (kind == '4') {
                const size_t rowBytes = size_t(rgb.width + 7) / 8;
                const bool black = (byte(at + y * rowBytes + x / 8) >> (7 - x % 8)) & 1;
                const uint8_t level = black ? 0 : 255;
                rgb.pixels.insert(rgb.pixels.end(), {level, level, level});
            } else {
                const int channels = kind == '6' ? 3 : 1;
                const size_t pixel = at + (size_t(y) * rgb.width + x) * channels * sampleBytes;
                uint8_t c[3];
                for (int k = 0; k < 3; ++k) c[k] = byte(pixel + (channels == 3 ? k : 0) * sampleBytes);
                rgb.pixels.insert(rgb.pixels.end(), {c[0], c[1], c[2]});
            }
        }
    return true;
}

#if defined(_WIN32)
bool RunTiff2Rgba(const fs::path&, const fs::path&) { return false; }
#else
bool RunTiff2Rgba(const fs::path& in, const fs::path& out) {
    if (std::system("command -v tiff2rgba >/dev/null") != 0) return false;
    const std::string command = "tiff2rgba -n -c none '" + in.string() + "' '" + out.string() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}
#endif

// `tolerance`: how far a sample may be off (libtiff rounds 16-bit samples
// where we take their high byte).
void ExpectSamePixels(const Rgb& ours, const Rgb& theirs, const std::string& what, int tolerance = 0) {
    ASSERT_EQ(ours.width, theirs.width) << what;
    ASSERT_EQ(ours.height, theirs.height) << what;
    ASSERT_EQ(ours.pixels.size(), theirs.pixels.size()) << what;
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < ours.pixels.size(); ++i)
        if (std::abs(ours.pixels[i] - theirs.pixels[i]) > tolerance && differing++ == 0) first = i;
    EXPECT_EQ(differing, 0u) << what << ": first difference at byte " << first;
}

const std::set<std::string> kAccepted = {
    "custom_dir_EXIF_GPS.tiff", "minisblack-1c-8b.tiff", "miniswhite-1c-1b.tiff",   "palette-1c-1b.tiff",
    "palette-1c-4b.tiff",       "palette-1c-8b.tiff",    "rgb-3c-16b.tiff",         "rgb-3c-8b.tiff",
    "test_ifd_loop_to_first.tif", "test_ifd_loop_to_self.tif", "test_two_ifds.tif"};

const std::map<std::string, std::string> kNetpbmReference = {{"rgb-3c-8b.tiff", "rgb-3c-8b.ppm"},
                                                             {"rgb-3c-16b.tiff", "rgb-3c-16b.ppm"},
                                                             {"minisblack-1c-8b.tiff", "minisblack-1c-8b.pgm"},
                                                             {"miniswhite-1c-1b.tiff", "miniswhite-1c-1b.pbm"}};

TEST(TiffLibtiffImages, AcceptedLayoutsDecodeLikeLibtiffAndTheRestIsRefused) {
    const fs::path images = ImagesFolder();
    ASSERT_FALSE(images.empty()) << "libtiff test images absent: scripts/fetch-test-suites.sh";
    test::TempFolder scratch;
    std::error_code error;
    size_t accepted = 0, comparedWithNetpbm = 0, comparedWithTool = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(images, error)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (extension != ".tif" && extension != ".tiff") continue;
        TiffReaderState state;
        DecodedImage image;
        const bool ok = ReadTiffImage(state, WidePath(entry.path()), &image);
        EXPECT_EQ(ok, kAccepted.count(name) == 1) << name << " status " << state.input.status;
        if (!ok) {
            ++refused;
            EXPECT_TRUE(state.input.status == kStatusUnsupported || state.input.status == kStatusMalformed ||
                        state.input.status == kStatusUnspecified || state.input.status == kStatusCannotOpen)
                << name << " " << state.input.status;
            continue;
        }
        ++accepted;
        const Rgb ours = FromDecoded(image);
        image.pixels.Reset();

        const auto reference = kNetpbmReference.find(name);
        if (reference != kNetpbmReference.end()) {
            Rgb theirs;
            ASSERT_TRUE(ReadNetpbm(images / reference->second, theirs)) << reference->second;
            ExpectSamePixels(ours, theirs, name + " against " + reference->second);
            ++comparedWithNetpbm;
        }
        const fs::path converted = fs::path(test::Narrow(scratch.Path())) / (name + ".rgb.tif");
        if (RunTiff2Rgba(entry.path(), converted)) {
            TiffReaderState rgbState;
            DecodedImage rgbImage;
            ASSERT_TRUE(ReadTiffImage(rgbState, WidePath(converted), &rgbImage)) << name;
            EXPECT_EQ(rgbImage.header.biBitCount, 24);
            ExpectSamePixels(ours, FromDecoded(rgbImage), name + " against tiff2rgba", image.sourceBitDepth == 48 ? 1 : 0);
            rgbImage.pixels.Reset();
            ++comparedWithTool;
        }
    }
    EXPECT_EQ(accepted, kAccepted.size());
    EXPECT_EQ(comparedWithNetpbm, kNetpbmReference.size());
    EXPECT_GT(refused, 10u);
    std::printf("libtiff images: %zu accepted, %zu refused, %zu against netpbm, %zu against tiff2rgba\n", accepted,
                refused, comparedWithNetpbm, comparedWithTool);
}

}  // namespace
}  // namespace qdx
