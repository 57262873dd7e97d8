#pragma once
// Small file and byte-order helpers shared by readers, writers and the settings file.
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
