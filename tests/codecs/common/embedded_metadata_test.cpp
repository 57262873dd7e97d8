// Profile and Exif extraction at the boundaries of each container: JPEG
// chunks in any order but each exactly once, PNG iCCP inflated only up to its
// declared size with an intact checksum, WebP chunks within the RIFF size.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "codecs/common/embedded_metadata.h"
#include "codecs/common/input_kind.h"
#include "codecs/common/png_crc.h"

namespace qdx {
namespace {

std::string Be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// A stand-in profile: only its size field is checked before lcms sees it.
std::string FakeProfile(uint32_t size) {
    std::string p = Be32(size);
    for (uint32_t i = 4; i < size; ++i) p += char(i * 7);
    return p;
}
const std::string kExif = std::string("II*\0\x08\0\0\0\0\0", 10);

std::string Extract(uint32_t kind, const std::string& file, std::string* exif = nullptr) {
    DecodedImage image;
    ReadEmbeddedMetadata(kind, reinterpret_cast<const uint8_t*>(file.data()), file.size(), image);
    if (exif) *exif = std::string(reinterpret_cast<const char*>(image.exif.bytes.Get()), image.exif.size);
    return std::string(reinterpret_cast<const char*>(image.iccProfile.bytes.Get()), image.iccProfile.size);
}

std::string JpegSegment(uint8_t marker, const std::string& payload) {
    const size_t length = payload.size() + 2;
    return std::string{char(0xFF), char(marker), char(length >> 8), char(length)} + payload;
}
std::string IccChunk(int sequence, int count, const std::string& part) {
    return JpegSegment(0xE2, std::string("ICC_PROFILE\0", 12) + char(sequence) + char(count) + part);
}

TEST(EmbeddedMetadata, JpegProfileChunksMustEachBeThereOnce) {
    const std::string profile = FakeProfile(300);
    const std::string a = profile.substr(0, 100), b = profile.substr(100);
    const std::string soi = "\xFF\xD8", sos = "\xFF\xDA";
    const std::string exif = JpegSegment(0xE1, std::string("Exif\0\0", 6) + kExif);
    struct Case {
        const char* what;
        std::string chunks;
        bool taken;
    };
    const Case cases[] = {
        {"in order", IccChunk(1, 2, a) + IccChunk(2, 2, b), true},
        {"out of order", IccChunk(2, 2, b) + exif + IccChunk(1, 2, a), true},
        {"one missing", IccChunk(1, 2, a), false},
        {"one twice", IccChunk(1, 2, a) + IccChunk(1, 2, a) + IccChunk(2, 2, b), false},
        {"counts disagree", IccChunk(1, 2, a) + IccChunk(2, 3, b), false},
        {"sequence 0", IccChunk(0, 2, a) + IccChunk(2, 2, b), false},
        {"after the start of scan", sos + IccChunk(1, 1, profile), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string gotExif;
        EXPECT_EQ(Extract(kInputJpeg, soi + exif + c.chunks + sos, &gotExif), c.taken ? profile : "");
        EXPECT_EQ(gotExif, kExif);
    }
}

std::string PngChunk(const char* type, const std::string& body) {
    const uint32_t crc = chunkCrc(reinterpret_cast<const uint8_t*>(type), reinterpret_cast<const uint8_t*>(body.data()),
                                  uint32_t(body.size()));
    return Be32(uint32_t(body.size())) + type + body + Be32(crc);
}
std::string Deflate(const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 9);
    out.resize(size);
    return out;
}

TEST(EmbeddedMetadata, PngProfileInflatesToItsDeclaredSizeOnly) {
    const std::string signature("\x89PNG\r\n\x1A\n", 8);
    const std::string profile = FakeProfile(5000);
    std::string oversized = FakeProfile(kMinProfileBytes);
    oversized.replace(0, 4, Be32(kMaxProfileBytes + 1));
    std::string brokenCrc = PngChunk("iCCP", std::string("icc\0\0", 5) + Deflate(profile));
    brokenCrc.back() ^= 1;
    struct Case {
        const char* what;
        std::string chunk;
        bool taken;
    };
    const Case cases[] = {
        {"whole", PngChunk("iCCP", std::string("icc\0\0", 5) + Deflate(profile)), true},
        {"stream cut short", PngChunk("iCCP", std::string("icc\0\0", 5) + Deflate(profile).substr(0, 40)), false},
        {"declares more than the limit", PngChunk("iCCP", std::string("icc\0\0", 5) + Deflate(oversized)), false},
        {"unknown compression", PngChunk("iCCP", std::string("icc\0\1", 5) + Deflate(profile)), false},
        {"no name", PngChunk("iCCP", std::string("\0\0", 2) + Deflate(profile)), false},
        {"checksum broken", brokenCrc, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string gotExif;
        const std::string file = signature + PngChunk("IHDR", std::string(13, '\1')) + c.chunk +
                                 PngChunk("eXIf", kExif) + PngChunk("IEND", "");
        EXPECT_EQ(Extract(kInputPng, file, &gotExif), c.taken ? profile : "");
        EXPECT_EQ(gotExif, kExif);
    }
}

TEST(EmbeddedMetadata, WebpChunksAreReadWithinTheRiffSize) {
    const std::string profile = FakeProfile(201);  // odd: padded
    const std::string body = "WEBP" + std::string("VP8X") + Le32(10) + std::string(10, '\0') + "ICCP" +
                             Le32(201) + profile + '\0' + "EXIF" + Le32(uint32_t(kExif.size() + 6)) +
                             std::string("Exif\0\0", 6) + kExif;
    std::string exif;
    EXPECT_EQ(Extract(kInputWebp, "RIFF" + Le32(uint32_t(body.size())) + body, &exif), profile);
    EXPECT_EQ(exif, kExif);  // the "Exif\0\0" some writers put first is skipped
    // A RIFF size that ends inside the profile chunk: nothing beyond it is read.
    EXPECT_EQ(Extract(kInputWebp, "RIFF" + Le32(40) + body, &exif), "");
    EXPECT_EQ(exif, "");
}

}  // namespace
}  // namespace qdx
