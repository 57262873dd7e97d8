#pragma once
// PNG colour types (the IHDR byte), shared by the reader, the writer and the
// batch, which picks the transparent colour by them.
#include <cstdint>

namespace qdx {

inline constexpr int32_t kPngGrey = 0;
inline constexpr int32_t kPngTrueColour = 2;
inline constexpr int32_t kPngPalette = 3;
inline constexpr int32_t kPngGreyAlpha = 4;
inline constexpr int32_t kPngTrueColourAlpha = 6;

}  // namespace qdx
