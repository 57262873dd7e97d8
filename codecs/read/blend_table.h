#pragma once
// Products x * y / 255 for flattening transparency onto a background.
#include <cstdint>

namespace qdx {

struct BlendTable {
    uint8_t product[256][256];
};

// Fills the table: for x, y in 1..254 the entry is
// (max * floor(min * 65536 / 255) + 32768) / 65536, rounded down; row and
// column 0 hold 0, row and column 255 hold the other index. Symmetric.
void BuildBlendTable(BlendTable& table);

}  // namespace qdx
