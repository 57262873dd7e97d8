#pragma once
// Derived pictures of a HEIF file: a grid, overlay or identity item is made
// from the items its "dimg" references name. libheif follows those references
// without looking for loops, so a file whose grid names itself, or grids that
// name each other, would be decoded without end (each level on a new
// thread). What cameras and encoders write passes: derived items made from
// coded pictures, and an identity item over one grid or overlay.
#include <cstddef>
#include <cstdint>

namespace qdx {

// False when the file's item references form a loop or a deeper derivation
// than the one above, or name one item twice; a file whose boxes cannot be
// followed is left to libheif to refuse.
bool HeifDerivationIsSound(const uint8_t* data, size_t size);

}  // namespace qdx
