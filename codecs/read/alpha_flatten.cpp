#include "codecs/read/alpha_flatten.h"

#include <new>

namespace qdx {

bool BlendTableHolder::Ready() {
    if (table_) return true;
    own_.reset(new (std::nothrow) BlendTable);
    if (!own_) return false;
    BuildBlendTable(*own_);
    table_ = own_.get();
    return true;
}

void FlattenBgraRow(const BlendTable& table, const uint8_t* bgra, uint32_t width, const uint8_t background[3],
                    bool premultiplied, uint8_t* bgr) {
    for (uint32_t x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const uint8_t alpha = bgra[3];
        const uint8_t rest = uint8_t(255 - alpha);
        for (int c = 0; c < 3; ++c) {
            const uint8_t back = background[2 - c];  // the background is red first
            if (premultiplied) {
                const uint32_t sum = uint32_t(bgra[c]) + table.product[rest][back];
                bgr[c] = uint8_t(sum > 255 ? 255 : sum);
            } else {
                bgr[c] = FlattenSample(table, bgra[c], alpha, back);
            }
        }
    }
}

}  // namespace qdx
