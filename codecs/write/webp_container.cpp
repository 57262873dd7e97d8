#include "codecs/write/webp_container.h"

#include <webp/decode.h>

#include <cstring>

namespace qdx {
namespace {

constexpr size_t kRiffHeaderBytes = 12;  // "RIFF", the size of what follows, "WEBP"
constexpr size_t kChunkHeaderBytes = 8;  // four letters, then the payload size
constexpr uint32_t kVp8xPayloadBytes = 10;  // flags, three reserved bytes, canvas width and height
constexpr uint64_t kVp8xChunkBytes = kChunkHeaderBytes + kVp8xPayloadBytes;
// The flags byte of "VP8X": bits for the chunks the file holds.
constexpr uint8_t kAlphaFlag = 0x10;
constexpr uint8_t kExifFlag = 0x08;
// The RIFF size counts everything after itself and is 32 bits.
constexpr uint64_t kLargestFile = 0xFFFFFFFFull + 8;

bool IsWebp(const uint8_t* encoded, size_t size) {
    return encoded && size >= kRiffHeaderBytes + kChunkHeaderBytes && std::memcmp(encoded, "RIFF", 4) == 0 &&
           std::memcmp(encoded + 8, "WEBP", 4) == 0;
}

bool IsExtended(const uint8_t* encoded, size_t size) {
    return size >= kRiffHeaderBytes + kVp8xChunkBytes && std::memcmp(encoded + kRiffHeaderBytes, "VP8X", 4) == 0;
}

uint8_t* PutLittleEndian(uint8_t* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) *out++ = uint8_t(value >> (8 * i));
    return out;
}

uint8_t* PutFourCc(uint8_t* out, const char* name) {
    std::memcpy(out, name, 4);
    return out + 4;
}

}  // namespace

uint64_t WebpSizeWithExif(const uint8_t* encoded, size_t encodedSize, uint32_t exifSize) {
    if (!IsWebp(encoded, encodedSize)) return 0;
    if (exifSize == 0) return encodedSize;
    const uint64_t vp8x = IsExtended(encoded, encodedSize) ? 0 : kVp8xChunkBytes;
    return uint64_t(encodedSize) + vp8x + kChunkHeaderBytes + exifSize + (exifSize & 1);
}

bool AddWebpExif(const uint8_t* encoded, size_t encodedSize, const uint8_t* exif, uint32_t exifSize, uint8_t* out) {
    const uint64_t total = WebpSizeWithExif(encoded, encodedSize, exifSize);
    WebPBitstreamFeatures features;
    if (total == 0 || total > kLargestFile || (exifSize && !exif) ||
        WebPGetFeatures(encoded, encodedSize, &features) != VP8_STATUS_OK)
        return false;
    if (exifSize == 0) {
        std::memcpy(out, encoded, encodedSize);
        return true;
    }
    uint8_t* at = PutFourCc(out, "RIFF");
    at = PutLittleEndian(at, total - 8, 4);
    at = PutFourCc(at, "WEBP");
    const uint8_t* image = encoded + kRiffHeaderBytes;
    const size_t imageBytes = encodedSize - kRiffHeaderBytes;
    if (IsExtended(encoded, encodedSize)) {
        // The encoder's own "VP8X" already holds the canvas and the alpha flag.
        std::memcpy(at, image, imageBytes);
        at[kChunkHeaderBytes] |= kExifFlag;
    } else {
        at = PutFourCc(at, "VP8X");
        at = PutLittleEndian(at, kVp8xPayloadBytes, 4);
        at = PutLittleEndian(at, kExifFlag | (features.has_alpha ? kAlphaFlag : 0), 4);
        at = PutLittleEndian(at, uint32_t(features.width - 1), 3);
        at = PutLittleEndian(at, uint32_t(features.height - 1), 3);
        std::memcpy(at, image, imageBytes);
    }
    at += imageBytes;
    at = PutFourCc(at, "EXIF");
    at = PutLittleEndian(at, exifSize, 4);
    std::memcpy(at, exif, exifSize);
    if (exifSize & 1) at[exifSize] = 0;
    return true;
}

}  // namespace qdx
