// PNG: the profile is the zlib stream of an "iCCP" chunk (a name of 1 to 79
// bytes, a zero, compression method 0), inflated up to kMaxProfileBytes; the
// Exif block is the body of an "eXIf" chunk. Chunks whose checksum fails are
// passed over.
#include <zlib.h>

#include <cstring>

#include "codecs/common/compression_alloc.h"
#include "codecs/common/embedded_metadata.h"
#include "codecs/common/png_crc.h"

namespace qdx {
namespace {

constexpr size_t kSignatureSize = 8;
constexpr size_t kChunkOverhead = 12;  // length, type, checksum
constexpr size_t kMaxProfileNameBytes = 79;
constexpr uint8_t kCompressionDeflate = 0;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void InflateProfile(const uint8_t* body, uint32_t length, DecodedImage& image) {
    size_t nameEnd = 0;
    while (nameEnd < length && nameEnd <= kMaxProfileNameBytes && body[nameEnd] != 0) ++nameEnd;
    if (nameEnd == 0 || nameEnd > kMaxProfileNameBytes || length - nameEnd < 2) return;
    if (body[nameEnd + 1] != kCompressionDeflate) return;
    const uint8_t* stream = body + nameEnd + 2;
    const uint32_t streamSize = uint32_t(length - nameEnd - 2);

    // The profile's size is in its first four bytes: inflate those, then
    // exactly that much, so the buffer is never larger than the profile.
    os::HeapMemory profile;
    uint8_t head[4];
    z_stream z{};
    z.zalloc = &CompressionAlloc;
    z.zfree = &CompressionFree;
    if (inflateInit(&z) != Z_OK) return;
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = streamSize;
    z.next_out = head;
    z.avail_out = sizeof head;
    int result = inflate(&z, Z_SYNC_FLUSH);
    const uint32_t declared = z.avail_out == 0 ? BigEndian32(head) : 0;
    if (result != Z_OK || declared < kMinProfileBytes || declared > kMaxProfileBytes ||
        !profile.Allocate(declared)) {
        inflateEnd(&z);
        return;
    }
    std::memcpy(profile.Get(), head, sizeof head);
    z.next_out = profile.Get() + sizeof head;
    z.avail_out = declared - uint32_t(sizeof head);
    result = inflate(&z, Z_FINISH);
    const bool complete = result == Z_STREAM_END && z.avail_out == 0;
    inflateEnd(&z);
    if (complete) AcceptProfile(profile.Get(), declared, image);
}

}  // namespace

void ReadPngMetadata(const uint8_t* data, size_t size, DecodedImage& image) {
    static const uint8_t kSignature[kSignatureSize] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size < kSignatureSize || std::memcmp(data, kSignature, kSignatureSize) != 0) return;
    size_t at = kSignatureSize;
    while (size - at >= kChunkOverhead) {
        const uint32_t length = BigEndian32(data + at);
        if (length > size - at - kChunkOverhead) break;
        const uint8_t* type = data + at + 4;
        const uint8_t* body = type + 4;
        if (std::memcmp(type, "IEND", 4) == 0) break;
        const bool profileChunk = std::memcmp(type, "iCCP", 4) == 0 && image.iccProfile.size == 0;
        const bool exifChunk = std::memcmp(type, "eXIf", 4) == 0 && image.exif.size == 0;
        if ((profileChunk || exifChunk) && chunkCrc(type, body, length) == BigEndian32(body + length)) {
            if (profileChunk) InflateProfile(body, length, image);
            if (exifChunk) AcceptExif(body, length, image);
        }
        at += kChunkOverhead + length;
    }
}

}  // namespace qdx
