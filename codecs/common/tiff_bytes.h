#pragma once
// Reads the 16- and 32-bit numbers of a TIFF structure in its byte order
// ("II" little-endian, "MM" big-endian). Callers check every offset against
// `size` before reading at it.
#include <cstddef>
#include <cstdint>

namespace qdx {

struct TiffBytes {
    const uint8_t* data;
    size_t size;
    bool little;

    uint16_t U16(size_t at) const {
        const uint8_t* p = data + at;
        return little ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]);
    }
    uint32_t U32(size_t at) const {
        const uint8_t* p = data + at;
        return little ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                      : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
    }
};

}  // namespace qdx
