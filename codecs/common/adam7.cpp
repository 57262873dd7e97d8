#include "codecs/common/adam7.h"

namespace qdx {

void InterlacePassGeometry(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t passWidth[7],
                           uint32_t passHeight[7], uint32_t passRowBytes[7]) {
    for (int pass = 0; pass < 7; ++pass) {
        const uint32_t columnStart = kAdam7ColumnStart[pass], columnStep = kAdam7ColumnStep[pass];
        const uint32_t rowStart = kAdam7RowStart[pass], rowStep = kAdam7RowStep[pass];
        const uint32_t w = width > columnStart ? (width - columnStart + columnStep - 1) / columnStep : 0;
        const uint32_t h = height > rowStart ? (height - rowStart + rowStep - 1) / rowStep : 0;
        passWidth[pass] = w;
        passHeight[pass] = h;
        uint64_t packed = 0;
        switch (bitsPerPixel) {
            case 1: packed = (uint64_t(w) + 7) / 8; break;
            case 2: packed = (uint64_t(w) + 3) / 4; break;
            case 4: packed = (uint64_t(w) + 1) / 2; break;
            default: packed = uint64_t(w) * (bitsPerPixel / 8); break;
        }
        const uint64_t rowBytes = (w == 0 || h == 0) ? 0 : packed + 1;
        passRowBytes[pass] = rowBytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(rowBytes);
    }
}

}  // namespace qdx
