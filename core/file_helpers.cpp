#include "core/file_helpers.h"

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

uint32_t WriteBigEndian32(os::File& file, uint32_t value) {
    uint8_t bytes[4];
    StoreBigEndian32(bytes, value);
    return os::WriteAll(file, bytes, 4) ? 4 : 0;
}

void InterlacePassGeometry(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t passWidth[7],
                           uint32_t passHeight[7], uint32_t passRowBytes[7]) {
    for (int pass = 0; pass < 7; ++pass) {
        const uint32_t columnStart = kAdam7ColumnStart[pass], columnStep = kAdam7ColumnStep[pass];
        const uint32_t rowStart = kAdam7RowStart[pass], rowStep = kAdam7RowStep[pass];
        const uint32_t w = width > columnStart ? (width - columnStart + columnStep - 1) / columnStep : 0;
        const uint32_t h = height > rowStart ? (height - rowStart + rowStep - 1) / rowStep : 0;
        passWidth[pass] = w;
        passHeight[pass] = h;
        uint64_t packed = 0;
        switch (bitsPerPixel) {
            case 1: packed = (uint64_t(w) + 7) / 8; break;
            case 2: packed = (uint64_t(w) + 3) / 4; break;
            case 4: packed = (uint64_t(w) + 1) / 2; break;
            default: packed = uint64_t(w) * (bitsPerPixel / 8); break;
        }
        const uint64_t rowBytes = (w == 0 || h == 0) ? 0 : packed + 1;
        passRowBytes[pass] = rowBytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(rowBytes);
    }
}

}  // namespace qdx
