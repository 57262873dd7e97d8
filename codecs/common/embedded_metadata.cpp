#include "codecs/common/embedded_metadata.h"

#include <cstring>

#include "codecs/common/input_kind.h"

namespace qdx {
namespace {

constexpr uint8_t kExifPrefix[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr size_t kProfileSizeField = 0;
constexpr size_t kTiffHeaderSize = 8;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

}  // namespace

bool AcceptProfile(const uint8_t* data, size_t size, DecodedImage& image) {
    if (!data || size < kMinProfileBytes || size > kMaxProfileBytes) return false;
    if (BigEndian32(data + kProfileSizeField) != size) return false;
    return AssignEmbeddedBlock(image.iccProfile, data, uint32_t(size));
}

bool AcceptExif(const uint8_t* data, size_t size, DecodedImage& image) {
    if (!data) return false;
    if (size >= sizeof kExifPrefix && std::memcmp(data, kExifPrefix, sizeof kExifPrefix) == 0) {
        data += sizeof kExifPrefix;
        size -= sizeof kExifPrefix;
    }
    if (size < kTiffHeaderSize || size > kMaxExifBytes) return false;
    const bool little = data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0;
    const bool big = data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42;
    if (!little && !big) return false;
    return AssignEmbeddedBlock(image.exif, data, uint32_t(size));
}

void ReadEmbeddedMetadata(uint32_t kind, const uint8_t* data, size_t size, DecodedImage& image) {
    ClearEmbeddedBlock(image.iccProfile);
    ClearEmbeddedBlock(image.exif);
    if (!data) return;
    switch (kind) {
    case kInputJpeg:
        ReadJpegMetadata(data, size, image);
        break;
    case kInputPng:
        ReadPngMetadata(data, size, image);
        break;
    case kInputTiff:
        ReadTiffMetadata(data, size, image);
        break;
    case kInputWebp:
        ReadWebpMetadata(data, size, image);
        break;
    default:
        break;
    }
}

}  // namespace qdx
