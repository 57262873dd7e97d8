#pragma once
// Small file and format helpers shared by readers and writers.
#include <cstdint>

#include "core/os/os.h"

namespace qdx {

// Writes a 32-bit value big-endian; returns 4 when all bytes were written.
uint32_t WriteBigEndian32(os::File& file, uint32_t value);

inline uint32_t LoadBigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint16_t LoadBigEndian16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t LoadLittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t LoadLittleEndian16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline void StoreBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline void StoreLittleEndian32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void StoreLittleEndian16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }

// CRC-32 (ISO 3309, as in PNG) over a 4-byte chunk tag followed by `length`
// bytes of chunk data.
uint32_t chunkCrc(const uint8_t tag[4], const uint8_t* data, uint32_t length);
// Continues a CRC over more bytes: pass the running (uncomplemented) register.
uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t length);

// Adam7 pass geometry for a W x H image: per pass its width in pixels, its
// height in rows and its filtered row length (packed bytes + 1 filter byte;
// 0 for an empty pass). `bitsPerPixel` is 1, 2, 4 or a multiple of 8.
void InterlacePassGeometry(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t passWidth[7],
                           uint32_t passHeight[7], uint32_t passRowBytes[7]);

inline constexpr uint32_t kAdam7ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr uint32_t kAdam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
inline constexpr uint32_t kAdam7RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr uint32_t kAdam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};

// Overflow-checked size arithmetic: false when the result leaves 32 bits.
inline bool CheckedMul32(uint32_t a, uint32_t b, uint32_t& out) {
    uint64_t r = uint64_t(a) * b;
    if (r > 0xFFFFFFFFu) return false;
    out = uint32_t(r);
    return true;
}
inline bool CheckedAdd32(uint32_t a, uint32_t b, uint32_t& out) {
    uint64_t r = uint64_t(a) + b;
    if (r > 0xFFFFFFFFu) return false;
    out = uint32_t(r);
    return true;
}

}  // namespace qdx
