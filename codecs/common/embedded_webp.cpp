// WebP: a RIFF file whose extended form holds "ICCP" and "EXIF" chunks beside
// the image data; chunk sizes are little-endian and odd sizes are padded.
#include <cstring>

#include "codecs/common/embedded_metadata.h"

namespace qdx {
namespace {

constexpr size_t kRiffHeader = 12;  // "RIFF", size, "WEBP"
constexpr size_t kChunkHeader = 8;

uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

void ReadWebpMetadata(const uint8_t* data, size_t size, DecodedImage& image) {
    if (size < kRiffHeader || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0) return;
    // The RIFF size may claim less than the file holds: read no further than it.
    const uint64_t riffEnd = uint64_t(LittleEndian32(data + 4)) + 8;
    const size_t end = riffEnd < size ? size_t(riffEnd) : size;
    if (end < kRiffHeader) return;  // a RIFF size too small even for its own header
    size_t at = kRiffHeader;
    while (end - at >= kChunkHeader) {
        const uint8_t* chunk = data + at;
        const uint32_t length = LittleEndian32(chunk + 4);
        if (length > end - at - kChunkHeader) break;
        const uint8_t* body = chunk + kChunkHeader;
        if (std::memcmp(chunk, "ICCP", 4) == 0 && image.iccProfile.size == 0) AcceptProfile(body, length, image);
        if (std::memcmp(chunk, "EXIF", 4) == 0 && image.exif.size == 0) AcceptExif(body, length, image);
        const uint64_t next = uint64_t(at) + kChunkHeader + length + (length & 1);
        if (next > end) break;
        at = size_t(next);
    }
}

}  // namespace qdx
