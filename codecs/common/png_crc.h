#pragma once
// Chunk checksums of PNG files, shared by the PNG reader and writer.
#include <cstddef>
#include <cstdint>

namespace qdx {

// CRC-32 (ISO 3309, as in PNG) over a 4-byte chunk tag followed by `length`
// bytes of chunk data.
uint32_t chunkCrc(const uint8_t tag[4], const uint8_t* data, uint32_t length);
// Continues a CRC over more bytes: pass the running (uncomplemented) register.
uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t length);

}  // namespace qdx
