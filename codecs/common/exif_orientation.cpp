#include "codecs/common/exif_orientation.h"

#include <cstring>

namespace qdx {
namespace {

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr size_t kTiffHeaderSize = 8;
constexpr size_t kDirectoryEntrySize = 12;
constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerTem = 0x01;
constexpr uint8_t kMarkerRst0 = 0xD0;
constexpr uint8_t kMarkerRst7 = 0xD7;
constexpr char kExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};

struct ByteOrder {
    bool little;
    uint16_t U16(const uint8_t* p) const {
        return little ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]);
    }
    uint32_t U32(const uint8_t* p) const {
        return little ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                      : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
    }
};

uint32_t InRange(uint32_t value) {
    return value >= kOrientationUpright && value <= kOrientationLast ? value : kOrientationAsStored;
}

}  // namespace

uint32_t ReadTiffOrientation(const uint8_t* data, size_t size) {
    if (!data || size < kTiffHeaderSize) return kOrientationAsStored;
    ByteOrder order{};
    if (data[0] == 'I' && data[1] == 'I')
        order.little = true;
    else if (data[0] == 'M' && data[1] == 'M')
        order.little = false;
    else
        return kOrientationAsStored;
    if (order.U16(data + 2) != 42) return kOrientationAsStored;
    const uint64_t directory = order.U32(data + 4);
    if (directory > size || size - directory < 2) return kOrientationAsStored;
    const uint32_t count = order.U16(data + directory);
    const uint64_t first = directory + 2;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = first + uint64_t(i) * kDirectoryEntrySize;
        if (at > size || size - at < kDirectoryEntrySize) return kOrientationAsStored;
        const uint8_t* entry = data + at;
        if (order.U16(entry) != kTagOrientation) continue;
        const uint16_t type = order.U16(entry + 2);
        if (order.U32(entry + 4) < 1) return kOrientationAsStored;
        if (type == kTypeShort) return InRange(order.U16(entry + 8));
        if (type == kTypeLong) return InRange(order.U32(entry + 8));
        return kOrientationAsStored;
    }
    return kOrientationAsStored;
}

uint32_t ReadJpegOrientation(const uint8_t* data, size_t size) {
    if (!data || size < 2 || data[0] != kMarkerPrefix || data[1] != kMarkerSoi) return kOrientationAsStored;
    size_t at = 2;
    while (at < size) {
        if (data[at] != kMarkerPrefix) return kOrientationAsStored;
        while (at < size && data[at] == kMarkerPrefix) ++at;  // fill bytes
        if (at >= size) return kOrientationAsStored;
        const uint8_t marker = data[at++];
        if (marker == kMarkerSos || marker == kMarkerEoi || marker == 0) return kOrientationAsStored;
        if (marker == kMarkerTem || (marker >= kMarkerRst0 && marker <= kMarkerRst7)) continue;  // no length
        if (size - at < 2) return kOrientationAsStored;
        const size_t length = size_t(data[at]) << 8 | data[at + 1];
        if (length < 2 || length > size - at) return kOrientationAsStored;
        const uint8_t* payload = data + at + 2;
        const size_t payloadSize = length - 2;
        if (marker == kMarkerApp1 && payloadSize >= sizeof kExifSignature &&
            std::memcmp(payload, kExifSignature, sizeof kExifSignature) == 0)
            return ReadTiffOrientation(payload + sizeof kExifSignature, payloadSize - sizeof kExifSignature);
        at += length;
    }
    return kOrientationAsStored;
}

}  // namespace qdx
