#pragma once
// Run-length encoded 8- and 4-bit bitmap data (compression 1 and 2).
#include <cstdint>

namespace qdx {

// Expands the RLE stream of `size` bytes at `data` into one index byte per
// pixel, the first stream row into the first stored row (`pixels` is bottom-up
// with `stride` bytes per row, zero-filled by the caller: pixels the stream
// skips or never reaches keep index 0). `bits` is 8 or 4. Runs past the right
// edge are cut; the stream ends at its end-of-bitmap code, after the last row,
// or where the data runs out or is damaged, keeping what was expanded.
void ExpandBmpRle(const uint8_t* data, uint64_t size, uint32_t bits, uint32_t width, uint32_t height,
                  uint8_t* pixels, uint32_t stride);

}  // namespace qdx
