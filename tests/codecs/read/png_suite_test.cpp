// Every PngSuite image through the reader, compared with the plain reference
// decoder after the same high-byte reduction and flattening; every corrupt
// x* image refused with its code. The suite is fetched from Debian's archive
// by scripts/fetch-test-suites.sh (a CTest fixture); without it the test skips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "codecs/read/png_reader.h"
#include "core/os/wide_string.h"
#include "tests/support/png_files.h"

namespace qdx {
namespace {

namespace fs = std::filesystem;

fs::path FindSuite() {
    std::string root = QDX_SOURCE_DIR "/build/debian-src";
#if defined(_WIN32)
    if (!root.empty() && root[0] == '/') root = "Z:" + root;  // the host's root under Wine
#endif
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(root), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("libspng-", 0) == 0 && fs::is_directory(entry.path() / "tests" / "images", error))
            return entry.path() / "tests" / "images";
    }
    return {};
}

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

WideString ToWide(const fs::path& path) {
    const std::u16string text = path.u16string();
    WideString wide;
    wide.Append(text.c_str(), uint32_t(text.size()));
    return wide;
}

struct Colour {
    int red, green, blue;
};

constexpr Colour kOwnBackground{0x20, 0x90, 0xE0};

int Blend(int value, int alpha, int background) {
    return int((value * alpha + background * (255 - alpha)) / 255.0 + 0.5);
}

// What the reader must deliver for pixel (x, y), worked out from the plainly
// decoded samples; `blended` says whether alpha blending took part.
class Expectation {
public:
    explicit Expectation(const test::ReferencePng& png) : png_(png) {
        const int type = png.colourType;
        const std::string& t = png.transparency;
        const std::string& b = png.background;
        paletteEntries_ = std::min<size_t>(png.palette.size() / 3, size_t(1) << png.depth);
        scale_ = png.depth == 1 ? 255 : png.depth == 2 ? 85 : png.depth == 4 ? 17 : 1;
        background_ = kOwnBackground;
        if (png.hasBackground) {
            if ((type == 0 || type == 4) && b.size() == 2) {
                const int grey = png.depth == 16 ? uint8_t(b[0]) : (uint8_t(b[1]) * scale_) & 0xFF;
                background_ = {grey, grey, grey};
            } else if (type == 3 && b.size() == 1 && !png.palette.empty()) {
                background_ = PaletteColour(uint8_t(b[0]));
            } else if ((type == 2 || type == 6) && b.size() == 6) {
                const int h = png.depth == 16 ? 0 : 1;
                background_ = {uint8_t(b[h]), uint8_t(b[2 + h]), uint8_t(b[4 + h])};
            }
        }
        if (png.hasTransparency) {
            const int h = png.depth == 16 ? 0 : 1;
            if (type == 0 && t.size() == 2) {
                keyed_ = true;
                key_ = {0, uint8_t(t[h]), 0};
            } else if (type == 2 && t.size() == 6) {
                keyed_ = true;
                key_ = {uint8_t(t[h]), uint8_t(t[2 + h]), uint8_t(t[4 + h])};
            } else if (type == 3 && t.size() <= paletteEntries_) {
                paletteAlpha_ = true;
            }
        }
    }

    Colour At(uint32_t x, uint32_t y, bool& blended) const {
        const size_t at = (size_t(y) * png_.width + x) * png_.channels;
        auto high = [&](int c) { return png_.depth == 16 ? png_.samples[at + c] >> 8 : png_.samples[at + c]; };
        blended = false;
        switch (png_.colourType) {
            case 0: {
                const int index = high(0);
                if (keyed_ && index == key_.green) return background_;
                const int grey = png_.depth < 8 ? index * scale_ : index;
                return {grey, grey, grey};
            }
            case 2: {
                const Colour colour{high(0), high(1), high(2)};
                if (keyed_ && colour.red == key_.red && colour.green == key_.green && colour.blue == key_.blue)
                    return background_;
                return colour;
            }
            case 3: {
                const int index = png_.samples[at];
                const Colour colour = PaletteColour(index);
                if (!paletteAlpha_) return colour;
                const int alpha = index < int(png_.transparency.size()) ? uint8_t(png_.transparency[index]) : 255;
                blended = true;
                return {Blend(colour.red, alpha, background_.red), Blend(colour.green, alpha, background_.green),
                        Blend(colour.blue, alpha, background_.blue)};
            }
            case 4: {
                blended = true;
                const int grey = Blend(high(0), high(1), background_.red);
                return {grey, grey, grey};
            }
            default: {
                blended = true;
                const int alpha = high(3);
                return {Blend(high(0), alpha, background_.red), Blend(high(1), alpha, background_.green),
                        Blend(high(2), alpha, background_.blue)};
            }
        }
    }

private:
    Colour PaletteColour(int index) const {
        if (size_t(index) >= paletteEntries_) return {0, 0, 0};
        return {png_.palette[3 * index], png_.palette[3 * index + 1], png_.palette[3 * index + 2]};
    }

    const test::ReferencePng& png_;
    size_t paletteEntries_ = 0;
    int scale_ = 1;
    Colour background_{};
    bool keyed_ = false;
    Colour key_{};
    bool paletteAlpha_ = false;
};

// The codes the corrupt files of the suite are refused with.
const std::map<std::string, uint32_t> kRefusals = {
    {"xc1n0g08.png", kPngColourTypeForDepth}, {"xc9n2c08.png", kPngColourTypeForDepth},
    {"xcrn0g04.png", kStatusMalformed},       {"xcsn0g01.png", kPngChecksumMismatch},
    {"xd0n2c08.png", kPngBitDepth},           {"xd3n2c08.png", kPngBitDepth},
    {"xd9n2c08.png", kPngBitDepth},           {"xdtn0g01.png", kPngMissingData},
    {"xhdn0g08.png", kPngChecksumMismatch},   {"xlfn0g04.png", kStatusMalformed},
    {"xs1n0g01.png", kStatusMalformed},       {"xs2n0g01.png", kStatusMalformed},
    {"xs4n0g01.png", kStatusMalformed},       {"xs7n0g01.png", kStatusMalformed},
};

TEST(PngSuite, EveryImageMatchesThePlainDecoderAndEveryCorruptOneIsRefused) {
    const fs::path suite = FindSuite();
    ASSERT_FALSE(suite.empty()) << "PngSuite not fetched (scripts/fetch-test-suites.sh)";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(suite))
        if (entry.path().extension() == ".png") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 150u);

    PngReaderState state;  // one state for all files, as in a batch
    size_t decoded = 0, refused = 0;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        state.flattenTransparency = 1;
        state.useOwnBackground = 0;
        state.backgroundColour[0] = uint8_t(kOwnBackground.red);
        state.backgroundColour[1] = uint8_t(kOwnBackground.green);
        state.backgroundColour[2] = uint8_t(kOwnBackground.blue);
        DecodedImage image;
        const bool ok = ReadPngImage(state, ToWide(file), &image);
        if (name[0] == 'x') {
            EXPECT_FALSE(ok);
            EXPECT_EQ(image.pixels.Get(), nullptr);
            const auto known = kRefusals.find(name);
            if (known != kRefusals.end()) {
                EXPECT_EQ(state.input.status, known->second);
            }
            image.pixels.Reset();
            ++refused;
            continue;
        }
        const test::ReferencePng png = test::DecodeReferencePng(ReadWhole(file));
        ASSERT_TRUE(png.ok);
        ASSERT_TRUE(ok) << "status " << state.input.status;
        ++decoded;
        const bool colour = png.colourType == 2 || png.colourType == 6;
        EXPECT_EQ(image.header.biWidth, int32_t(png.width));
        EXPECT_EQ(image.header.biHeight, int32_t(png.height));
        EXPECT_EQ(image.header.biBitCount, colour ? 24 : 8);
        EXPECT_EQ(image.sourceBitDepth, uint32_t(png.depth * (colour ? 3 : 1)));
        EXPECT_EQ(image.sourceKind, 2u);
        const Expectation expect(png);
        const uint32_t stride = RowStride(png.width, image.header.biBitCount);
        int mismatches = 0;
        for (uint32_t y = 0; y < png.height && mismatches < 3; ++y) {
            const uint8_t* row = image.pixels.Get() + size_t(png.height - 1 - y) * stride;
            for (uint32_t x = 0; x < png.width && mismatches < 3; ++x) {
                Colour got;
                if (colour) {
                    got = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
                } else {
                    const RGBQUAD& entry = image.palette[row[x]];
                    got = {entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
                }
                bool blended = false;
                const Colour want = expect.At(x, y, blended);
                const int tolerance = blended ? 1 : 0;
                if (std::abs(got.red - want.red) > tolerance || std::abs(got.green - want.green) > tolerance ||
                    std::abs(got.blue - want.blue) > tolerance) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " got " << got.red << " " << got.green << " "
                                  << got.blue << " want " << want.red << " " << want.green << " " << want.blue;
                    ++mismatches;
                }
            }
        }
    }
    EXPECT_EQ(refused, kRefusals.size());
    EXPECT_GT(decoded, 140u);
}

}  // namespace
}  // namespace qdx
