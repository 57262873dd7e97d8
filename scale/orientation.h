#pragma once
// Turns a decoded picture upright from the orientation its file recorded
// (1 to 8: as stored, mirrored, rotated, or both).
#include <cstdint>

#include "core/decoded_image.h"

namespace qdx {

// Rewrites `image` upright for `orientation`. 8-bit and 24-bit pictures are
// turned; for 5 to 8 the sides and the resolution fields swap. Returns false
// and leaves the picture as stored when the value is not 2 to 8, the depth is
// another, or the new buffer cannot be had; 1 needs nothing and returns true.
bool OrientImage(DecodedImage& image, uint32_t orientation);

}  // namespace qdx
