#pragma once
// Adam7 interlacing of PNG images: where each of the seven passes starts,
// its steps, and the size of every pass.
#include <cstdint>

namespace qdx {

// Adam7 pass geometry for a W x H image: per pass its width in pixels, its
// height in rows and its filtered row length (packed bytes + 1 filter byte;
// 0 for an empty pass). `bitsPerPixel` is 1, 2, 4 or a multiple of 8.
void InterlacePassGeometry(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t passWidth[7],
                           uint32_t passHeight[7], uint32_t passRowBytes[7]);

inline constexpr uint32_t kAdam7ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr uint32_t kAdam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
inline constexpr uint32_t kAdam7RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr uint32_t kAdam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};

}  // namespace qdx
