#pragma once
// Flattening an alpha channel onto a background colour, with the same
// products the PNG reader uses, for the readers that meet alpha in
// otherwise 24-bit pictures (WebP, TIFF through libtiff, 32-bit BMP).
#include <cstdint>
#include <memory>

#include "codecs/read/blend_table.h"

namespace qdx {

// The table a read blends with: the one the caller lent, else one built for
// this read and released with the holder.
class BlendTableHolder {
public:
    explicit BlendTableHolder(const BlendTable* lent) : table_(lent) {}
    // False when no table was lent and none could be built.
    bool Ready();
    const BlendTable& Table() const { return *table_; }

private:
    const BlendTable* table_;
    std::unique_ptr<BlendTable> own_;
};

// value * alpha + background * (255 - alpha), both products from the table.
inline uint8_t FlattenSample(const BlendTable& table, uint8_t value, uint8_t alpha, uint8_t background) {
    return uint8_t(table.product[alpha][value] + table.product[255 - alpha][background]);
}

// One row of `width` pixels of 4 bytes (blue, green, red, alpha) into 3-byte
// blue, green, red pixels over `background` (red, green, blue). When
// `premultiplied`, the colour already carries its alpha and only the
// background's share is added.
void FlattenBgraRow(const BlendTable& table, const uint8_t* bgra, uint32_t width, const uint8_t background[3],
                    bool premultiplied, uint8_t* bgr);

}  // namespace qdx
