#pragma once
// Products x * y / 255 for flattening transparency onto a background.
#include <cstdint>

namespace qdx {

struct BlendTable {
    uint8_t product[256][256];
};

// Fills the table (round-to-nearest is decided by the PNG reader).
void BuildBlendTable(BlendTable& table);

}  // namespace qdx
