#pragma once
// Small image files made by the tests themselves.
#include <cstdint>
#include <string>

namespace qdx::test {

// An uncompressed 24-bit BMP of width x height with a colour pattern that
// depends on `variant` (rows bottom-up, padded to 4 bytes).
std::string MakeBmp24(int width, int height, uint32_t variant = 1);

}  // namespace qdx::test
