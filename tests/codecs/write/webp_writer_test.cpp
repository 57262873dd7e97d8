// The WebP writer: lossy or lossless files read back by our reader (and
// natively by dwebp and Pillow), the transparent colour as alpha, the Exif
// block in an extended container, the size limit's quality search, and the
// same bytes on every target.
#include "codecs/write/webp_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/common/embedded_metadata.h"
#include "codecs/common/input_kind.h"
#include "codecs/common/png_crc.h"
#include "codecs/read/webp_reader.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

struct Picture {
    DecodedImage image;
    Picture(int width, int height, uint16_t depth) {
        SetImageHeader(image, width, height, depth);
        image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), depth);
    }
    int Width() const { return image.header.biWidth; }
    int Height() const { return image.header.biHeight; }
    // Pixel (x, y), y counted from the top.
    uint8_t* At(int x, int y) const {
        const uint32_t stride = RowStride(uint32_t(Width()), image.header.biBitCount);
        return image.pixels.Get() + size_t(Height() - 1 - y) * stride + size_t(x) * (image.header.biBitCount / 8);
    }
    // Red, green, blue of (x, y).
    void Colour(int x, int y, int rgb[3]) const {
        const uint8_t* p = At(x, y);
        if (image.header.biBitCount == 24) {
            rgb[0] = p[2], rgb[1] = p[1], rgb[2] = p[0];
        } else {
            const RGBQUAD& c = image.palette[*p];
            rgb[0] = c.rgbRed, rgb[1] = c.rgbGreen, rgb[2] = c.rgbBlue;
        }
    }
};

// Photo-like content without noise: broad shading, hard edges, a fine
// texture of the given strength. Compresses the way photos do, so quality
// decides the size.
Picture MakePhoto(int width, int height, double fineTexture = 14) {
    Picture picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double shade = 110 + 60 * std::sin(u * 5.1 + v * 2.3) + 40 * std::cos(v * 7.7 - u * 1.9);
            const double texture =
                fineTexture * std::sin(x * 0.37) * std::cos(y * 0.29) + ((x / 97 + y / 61) % 2 ? 22 : -22);
            uint8_t* p = picture.At(x, y);
            for (int c = 0; c < 3; ++c) {
                const double value = shade * (0.75 + 0.2 * c) + texture;
                p[2 - c] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    return picture;
}

// A palette picture: bands of 12 colours, colour 5 the transparent one.
constexpr uint8_t kTransparent[3] = {0, 255, 0};
Picture MakePalettePicture(int width, int height) {
    Picture picture(width, height, 8);
    for (int i = 0; i < 12; ++i) picture.image.palette[i] = RGBQUAD{uint8_t(20 * i), uint8_t(200 - 9 * i), uint8_t(i * i), 0};
    picture.image.palette[5] = RGBQUAD{kTransparent[2], kTransparent[1], kTransparent[0], 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) *picture.At(x, y) = uint8_t((x / 3 + y / 2) % 12);
    return picture;
}

struct Written {
    bool ok = false;
    std::string bytes;
    WebpWriterState state;
};

Written Write(const Picture& picture, uint32_t quality, bool lossless, const uint8_t* transparent,
              uint32_t limitKiB = 0, uint16_t savedBitDepth = 0, const std::string& exif = {}) {
    test::TempFolder folder;
    const WideString path = folder.File(u"out.webp");
    Written written;
    PrepareWebpWriter(written.state, picture.image,
                      savedBitDepth ? savedBitDepth : picture.image.header.biBitCount, quality, lossless, transparent);
    written.state.exif = reinterpret_cast<const uint8_t*>(exif.data());
    written.state.exifSize = uint32_t(exif.size());
    written.ok = WriteWebpFile(written.state, path, picture.image.palette, picture.image.pixels.Get(), limitKiB);
    written.bytes = test::ReadBytes(path);
    return written;
}

// The first chunk of the file: "VP8 " (lossy), "VP8L" (lossless) or "VP8X".
std::string FirstChunk(const std::string& file) { return file.size() >= 16 ? file.substr(12, 4) : ""; }

uint32_t LittleEndian(const std::string& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | uint8_t(bytes[at + size_t(i)]);
    return value;
}

// The names of the file's chunks in order; "?" where a chunk runs past the
// end or the RIFF size is not the file's.
std::vector<std::string> ChunkNames(const std::string& file) {
    std::vector<std::string> names;
    if (file.size() < 12 || LittleEndian(file, 4, 4) + 8 != file.size()) return {"?"};
    for (size_t at = 12; at < file.size();) {
        const uint64_t size = at + 8 <= file.size() ? LittleEndian(file, at + 4, 4) : ~0ull;
        const uint64_t next = at + 8 + size + (size & 1);
        names.push_back(next <= file.size() ? file.substr(at, 4) : "?");
        at = size_t(next <= file.size() ? next : file.size());
    }
    return names;
}

// A small Exif block (a TIFF structure with an empty directory) of odd
// length, so the chunk needs its pad byte.
const std::string kExif = std::string("II*\0\x08\0\0\0\0\0\0\0\0\0", 14) + "X";

// Decodes with our reader; transparency is flattened onto `reader`'s background.
bool DecodeOurs(const std::string& file, DecodedImage& image, WebpReaderState reader = {}) {
    return DecodeWebpBytes(reader, reinterpret_cast<const uint8_t*>(file.data()), uint32_t(file.size()), image);
}

// Largest difference of any sample between `picture` and the decoded file.
int LargestDifference(const Picture& picture, const DecodedImage& decoded) {
    const uint32_t stride = RowStride(uint32_t(decoded.header.biWidth), 24);
    int largest = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            int expected[3], actual[3];
            picture.Colour(x, y, expected);
            const uint8_t* p = decoded.pixels.Get() + size_t(decoded.header.biHeight - 1 - y) * stride + size_t(x) * 3;
            actual[0] = p[2], actual[1] = p[1], actual[2] = p[0];
            for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(actual[c] - expected[c]));
        }
    return largest;
}

TEST(WebpWriter, PalettePicturesAndPresetsThatAskAreLosslessTheRestLossy) {
    const Picture palette = MakePalettePicture(31, 17);
    const Picture photo = MakePhoto(45, 29);
    struct Case {
        const char* label;
        const Picture& picture;
        bool lossless;
        const char* chunk;
    } const cases[] = {
        {"palette picture", palette, false, "VP8L"},
        {"photo asked lossless", photo, true, "VP8L"},
        {"photo", photo, false, "VP8 "},
    };
    for (const Case& c : cases) {
        const Written written = Write(c.picture, 90, c.lossless, nullptr);
        ASSERT_TRUE(written.ok) << c.label;
        EXPECT_EQ(FirstChunk(written.bytes), c.chunk) << c.label;
        EXPECT_EQ(written.state.encodes, 1u) << c.label;
        DecodedImage decoded;
        ASSERT_TRUE(DecodeOurs(written.bytes, decoded)) << c.label;
        ASSERT_EQ(decoded.header.biWidth, c.picture.Width());
        ASSERT_EQ(decoded.header.biHeight, c.picture.Height());
        EXPECT_LE(LargestDifference(c.picture, decoded), std::string(c.chunk) == "VP8L" ? 0 : 40) << c.label;
    }
    // A resized palette picture (24 bits now, 8 when decoded) is reduced to
    // its colours again and stays lossless.
    Picture resized(31, 17, 24);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 31; ++x) {
            int rgb[3];
            palette.Colour(x, y, rgb);
            uint8_t* p = resized.At(x, y);
            p[0] = uint8_t(rgb[2]), p[1] = uint8_t(rgb[1]), p[2] = uint8_t(rgb[0]);
        }
    const Written reduced = Write(resized, 90, false, nullptr, 0, 8);
    ASSERT_TRUE(reduced.ok);
    EXPECT_EQ(FirstChunk(reduced.bytes), "VP8L");
    DecodedImage decoded;
    ASSERT_TRUE(DecodeOurs(reduced.bytes, decoded));
    EXPECT_EQ(LargestDifference(palette, decoded), 0);
}

// Pixels of the transparent colour get alpha 0 in lossless and lossy files
// alike; they read back as the reader's background, the rest unchanged.
TEST(WebpWriter, TheTransparentColourBecomesAlpha) {
    const Picture palette = MakePalettePicture(24, 16);
    const uint8_t background[3] = {1, 2, 3};
    for (bool lossless : {true, false}) {
        Picture picture(24, 16, 24);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x) {
                int rgb[3];
                palette.Colour(x, y, rgb);
                uint8_t* p = picture.At(x, y);
                p[0] = uint8_t(rgb[2]), p[1] = uint8_t(rgb[1]), p[2] = uint8_t(rgb[0]);
            }
        const Written written = Write(picture, 95, lossless, kTransparent);
        ASSERT_TRUE(written.ok);
        WebpReaderState reader;
        for (int i = 0; i < 3; ++i) reader.backgroundColour[i] = background[i];
        DecodedImage decoded;
        ASSERT_TRUE(DecodeWebpBytes(reader, reinterpret_cast<const uint8_t*>(written.bytes.data()),
                                    uint32_t(written.bytes.size()), decoded));
        EXPECT_EQ(reader.hadAlpha, 1);
        int wrong = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x) {
                int rgb[3];
                palette.Colour(x, y, rgb);
                const bool clear = *palette.At(x, y) == 5;
                const uint8_t* p = decoded.pixels.Get() + size_t(15 - y) * RowStride(24, 24) + size_t(x) * 3;
                // Lossy files halve the chroma: only the cleared pixels are exact.
                if (!lossless && !clear) continue;
                for (int c = 0; c < 3; ++c) {
                    const int expected = clear ? background[c] : rgb[c];
                    wrong += p[2 - c] != expected;
                }
            }
        EXPECT_EQ(wrong, 0) << (lossless ? "lossless" : "lossy");
    }
}

// An Exif block goes into an extended container after the image chunks,
// which stay the encoder's: the "VP8X" flags name Exif (and alpha where
// there is some) and the canvas is the picture's. The file decodes to the
// same pixels as without, and its Exif reads back.
TEST(WebpWriter, ExifGoesIntoAnExtendedContainer) {
    const Picture photo = MakePhoto(45, 29);
    const Picture palette = MakePalettePicture(31, 17);
    struct Case {
        const char* label;
        const Picture& picture;
        bool lossless;
        const uint8_t* transparent;
        uint16_t savedBitDepth;
        std::vector<std::string> chunks;
        uint8_t flags;  // Exif 0x08, alpha 0x10
    } const cases[] = {
        {"lossy", photo, false, nullptr, 24, {"VP8X", "VP8 ", "EXIF"}, 0x08},
        {"lossless", photo, true, nullptr, 24, {"VP8X", "VP8L", "EXIF"}, 0x08},
        {"lossless with alpha", palette, false, kTransparent, 8, {"VP8X", "VP8L", "EXIF"}, 0x18},
        {"lossy with alpha", palette, false, kTransparent, 24, {"VP8X", "ALPH", "VP8 ", "EXIF"}, 0x18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Written plain = Write(c.picture, 80, c.lossless, c.transparent, 0, c.savedBitDepth);
        const Written extended = Write(c.picture, 80, c.lossless, c.transparent, 0, c.savedBitDepth, kExif);
        ASSERT_TRUE(extended.ok);
        const std::string& file = extended.bytes;
        ASSERT_EQ(ChunkNames(file), c.chunks);
        EXPECT_EQ(uint8_t(file[20]), c.flags);
        EXPECT_EQ(LittleEndian(file, 24, 3) + 1, uint32_t(c.picture.Width()));
        EXPECT_EQ(LittleEndian(file, 27, 3) + 1, uint32_t(c.picture.Height()));
        EXPECT_EQ(file.substr(file.size() - kExif.size() - 1), kExif + '\0');
        EXPECT_EQ(file.size(), plain.bytes.size() + (FirstChunk(plain.bytes) == "VP8X" ? 0 : 18) + 8 + kExif.size() + 1);
        DecodedImage withExif, without;
        ASSERT_TRUE(DecodeOurs(file, withExif));
        ASSERT_TRUE(DecodeOurs(plain.bytes, without));
        EXPECT_EQ(LargestDifference(c.picture, withExif), LargestDifference(c.picture, without));
        ReadEmbeddedMetadata(kInputWebp, reinterpret_cast<const uint8_t*>(file.data()), file.size(), withExif);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(withExif.exif.bytes.Get()), withExif.exif.size), kExif);
    }
    // The size limit counts the Exif block: with one of 2 KB the file still
    // fits, at a lower quality than without.
    const Picture larger = MakePhoto(160, 120);
    const Written bare = Write(larger, 90, false, nullptr, 3);
    const Written carrying = Write(larger, 90, false, nullptr, 3, 0, kExif + std::string(2000, 'x'));
    EXPECT_LE(carrying.bytes.size(), 3u * 1024);
    EXPECT_LT(carrying.state.writtenQuality, bare.state.writtenQuality);
    EXPECT_EQ(ChunkNames(carrying.bytes), (std::vector<std::string>{"VP8X", "VP8 ", "EXIF"}));
}

// With a limit the file is the one of the highest quality that fits: the
// next quality up does not fit, and a direct write at the chosen quality
// gives the very same bytes. A 12-megapixel photo within 100 KiB.
TEST(WebpWriter, SizeLimitKeepsTheHighestQualityThatFits) {
    const Picture photo = MakePhoto(4000, 3000, 2);
    const uint32_t limitKiB = 100, limit = limitKiB * 1024;
    const Written limited = Write(photo, 90, false, nullptr, limitKiB);
    ASSERT_TRUE(limited.ok);
    const int32_t chosen = limited.state.writtenQuality;
    EXPECT_LE(limited.bytes.size(), limit);
    EXPECT_GT(chosen, 1);
    EXPECT_LT(chosen, 90);
    EXPECT_LE(limited.state.encodes, 12u);
    std::printf("12 MP photo within %u KiB: quality %d after %u encodes, %zu bytes\n", limitKiB, chosen,
                limited.state.encodes, limited.bytes.size());

    const Written same = Write(photo, uint32_t(chosen), false, nullptr);
    EXPECT_TRUE(same.bytes == limited.bytes);
    const Written above = Write(photo, uint32_t(chosen + 1), false, nullptr);
    EXPECT_GT(above.bytes.size(), limit);
}

TEST(WebpWriter, SizeLimitEdges) {
    // Nothing fits: quality 1 is written anyway.
    Picture noise(200, 150, 24);
    uint32_t state = 7;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200 * 3; ++x) noise.At(0, y)[x] = uint8_t((state = state * 1103515245u + 12345u) >> 24);
    const Written tiny = Write(noise, 80, false, nullptr, 1);
    ASSERT_TRUE(tiny.ok);
    EXPECT_EQ(tiny.state.writtenQuality, 1);
    EXPECT_GT(tiny.bytes.size(), 1024u);
    // A file that fits at the preset's quality is encoded once.
    const Picture photo = MakePhoto(200, 150);
    const Written roomy = Write(photo, 80, false, nullptr, 500);
    EXPECT_EQ(roomy.state.encodes, 1u);
    EXPECT_EQ(roomy.state.writtenQuality, 80);
    // A lossless file that does not fit gives way to the lossy search.
    const Written lossless = Write(photo, 80, true, nullptr, 8);
    ASSERT_TRUE(lossless.ok);
    EXPECT_EQ(FirstChunk(lossless.bytes), "VP8 ");
    EXPECT_LE(lossless.bytes.size(), 8u * 1024);
    EXPECT_GE(lossless.state.encodes, 2u);
    // One that fits stays lossless.
    const Written fits = Write(MakePalettePicture(64, 64), 80, false, nullptr, 8);
    EXPECT_EQ(FirstChunk(fits.bytes), "VP8L");
    EXPECT_EQ(fits.state.encodes, 1u);
}

TEST(WebpWriter, FailuresLeaveNoFileAndSayWhy) {
    const Picture wide(16384, 1, 24);  // beyond the format's 16383
    const Written tooWide = Write(wide, 75, false, nullptr);
    EXPECT_FALSE(tooWide.ok);
    EXPECT_EQ(tooWide.state.writeStatus, kStatusUnsupported);
    EXPECT_TRUE(tooWide.bytes.empty());

    test::TempFolder folder;
    const Picture photo = MakePhoto(8, 8);
    WebpWriterState state;
    PrepareWebpWriter(state, photo.image, 24, 75, false, nullptr);
    EXPECT_FALSE(WriteWebpFile(state, folder.File(u"missing/out.webp"), photo.image.palette, photo.image.pixels.Get(), 0));
    EXPECT_EQ(state.writeStatus, kStatusCannotCreate);
}

// The same pictures give the same bytes natively and under Wine (the encoder
// runs on one thread with fixed settings); the table pins them.
TEST(WebpWriter, SameBytesOnEveryTarget) {
    const Picture photo = MakePhoto(160, 120);
    const Picture palette = MakePalettePicture(50, 40);
    struct Case {
        const char* label;
        Written written;
        size_t size;
        uint32_t crc;
    } const cases[] = {
        {"lossy q75", Write(photo, 75, false, nullptr), 1230, 0x6DFEA954},
        {"lossless photo", Write(photo, 75, true, nullptr), 13856, 0xA2F92510},
        {"palette with alpha", Write(palette, 75, false, kTransparent), 184, 0xD4BC0B32},
        {"lossy with alpha", Write(palette, 60, false, kTransparent, 0, 24), 606, 0x3E618102},
        {"within 3 KiB", Write(photo, 90, false, nullptr, 3), 2120, 0x29101296},
        {"with Exif", Write(photo, 75, false, nullptr, 0, 0, kExif), 1272, 0xDF4E6E4A},
    };
    for (const Case& c : cases) {
        const auto* data = reinterpret_cast<const uint8_t*>(c.written.bytes.data());
        EXPECT_EQ(c.written.bytes.size(), c.size) << c.label;
        EXPECT_EQ(UpdateCrc(0xFFFFFFFFu, data, c.written.bytes.size()) ^ 0xFFFFFFFFu, c.crc) << c.label;
    }
}

#if !defined(_WIN32)
// Decodes with dwebp or with Pillow into RGBA rows, top row first.
std::string DecodeWithTool(const std::string& file, bool pillow) {
    const std::string raw = file + (pillow ? ".rgba" : ".pam");
    const std::string command =
        pillow ? "/usr/bin/python3 -c \"import sys; from PIL import Image; "
                 "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1]).convert('RGBA').tobytes())\" '" +
                     file + "' '" + raw + "'"
               : "dwebp -quiet -pam '" + file + "' -o '" + raw + "'";
    if (std::system(command.c_str()) != 0) return "";
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (pillow) return bytes;
    // PAM: a text header ending with ENDHDR, then the rows.
    const size_t end = bytes.find("ENDHDR\n");
    return end == std::string::npos ? "" : bytes.substr(end + 7);
}

// The Exif block Pillow finds in the file; empty when none.
std::string PillowExif(const std::string& file) {
    const std::string raw = file + ".exif";
    const std::string command = "/usr/bin/python3 -c \"import sys; from PIL import Image; "
                                "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1]).info.get('exif', b''))\" '" +
                                file + "' '" + raw + "'";
    if (std::system(command.c_str()) != 0) return "?";
    std::ifstream in(raw, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Peak signal-to-noise ratio of the colour samples of the visible pixels.
double Psnr(const Picture& picture, const std::string& rgba) {
    double squared = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            int rgb[3];
            picture.Colour(x, y, rgb);
            const size_t at = (size_t(y) * picture.Width() + x) * 4;
            if (rgba[at + 3] == 0) continue;
            for (int c = 0; c < 3; ++c) {
                const double d = uint8_t(rgba[at + c]) - rgb[c];
                squared += d * d;
            }
        }
    const double mean = squared / (3.0 * picture.Width() * picture.Height());
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

// Lossy files come within the error their quality allows (the closer the
// higher the quality), lossless ones exactly, with alpha where the
// transparent colour was; both independent decoders agree, extended files
// included, and Pillow finds their Exif block.
TEST(WebpWriter, FilesDecodeWithDwebpAndPillow) {
    test::TempFolder folder;
    const Picture photo = MakePhoto(203, 141);
    const Picture palette = MakePalettePicture(57, 33);
    struct Case {
        const char* label;
        const Picture& picture;
        uint32_t quality;
        const uint8_t* transparent;
        double minimumPsnr;
        std::string exif;
    } const cases[] = {
        {"q30", photo, 30, nullptr, 35, ""},
        {"q60", photo, 60, nullptr, 38, ""},
        {"q90 with Exif", photo, 90, nullptr, 43, kExif},
        {"lossless with alpha and Exif", palette, 75, kTransparent, 99, kExif},
    };
    double previous = 0;
    for (const Case& c : cases) {
        const Written written = Write(c.picture, c.quality, false, c.transparent, 0, 0, c.exif);
        ASSERT_TRUE(written.ok) << c.label;
        const WideString path = folder.File(c.label);
        ASSERT_TRUE(test::WriteBytes(path, written.bytes));
        const std::string byDwebp = DecodeWithTool(test::Narrow(path), false);
        const std::string byPillow = DecodeWithTool(test::Narrow(path), true);
        EXPECT_EQ(PillowExif(test::Narrow(path)), c.exif) << c.label;
        ASSERT_EQ(byDwebp.size(), size_t(c.picture.Width()) * c.picture.Height() * 4) << c.label;
        EXPECT_TRUE(byPillow == byDwebp) << c.label;
        const double psnr = Psnr(c.picture, byDwebp);
        std::printf("%s: PSNR %.2f dB, %zu bytes\n", c.label, psnr, written.bytes.size());
        EXPECT_GE(psnr, c.minimumPsnr) << c.label;
        EXPECT_GT(psnr, previous) << c.label;
        previous = psnr;
        int wrongAlpha = 0;
        for (int y = 0; y < c.picture.Height(); ++y)
            for (int x = 0; x < c.picture.Width(); ++x) {
                const bool clear = c.transparent && *c.picture.At(x, y) == 5;
                wrongAlpha += uint8_t(byDwebp[(size_t(y) * c.picture.Width() + x) * 4 + 3]) != (clear ? 0 : 255);
            }
        EXPECT_EQ(wrongAlpha, 0) << c.label;
    }
}
#endif

}  // namespace
}  // namespace qdx
