#pragma once
// The Paeth predictor of PNG row filter 4: whichever of left, above and
// upper-left is nearest to left + above - upper-left, preferring them in that
// order on ties. Shared by the PNG reader and writer.
#include <cstdint>

namespace qdx {

inline uint8_t PaethPredictor(int left, int above, int upperLeft) {
    const int estimate = left + above - upperLeft;
    const int toLeft = estimate > left ? estimate - left : left - estimate;
    const int toAbove = estimate > above ? estimate - above : above - estimate;
    const int toUpperLeft = estimate > upperLeft ? estimate - upperLeft : upperLeft - estimate;
    if (toLeft <= toAbove && toLeft <= toUpperLeft) return uint8_t(left);
    if (toAbove <= toUpperLeft) return uint8_t(above);
    return uint8_t(upperLeft);
}

}  // namespace qdx
