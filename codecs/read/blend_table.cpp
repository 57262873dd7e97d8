#include "codecs/read/blend_table.h"

namespace qdx {

void BuildBlendTable(BlendTable& table) {
    for (uint32_t x = 0; x < 256; ++x) {
        for (uint32_t y = 0; y < 256; ++y) {
            const uint32_t smaller = x < y ? x : y, larger = x < y ? y : x;
            uint32_t value;
            if (smaller == 0)
                value = 0;
            else if (larger == 255)
                value = smaller;  // 255 times anything is that thing
            else
                value = (larger * (smaller * 65536u / 255u) + 32768u) >> 16;
            table.product[x][y] = uint8_t(value);
        }
    }
}

}  // namespace qdx
