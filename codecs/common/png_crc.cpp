#include "codecs/common/png_crc.h"

#include <array>

namespace qdx {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t chunkCrc(const uint8_t tag[4], const uint8_t* data, uint32_t length) {
    uint32_t crc = UpdateCrc(0xFFFFFFFFu, tag, 4);
    if (length) crc = UpdateCrc(crc, data, length);
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace qdx
