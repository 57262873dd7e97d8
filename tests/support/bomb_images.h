#pragma once
// Tiny files that declare enormous pictures ("bombs"), one or more per
// reader: what a reader must refuse from its header before it allocates.
#include <cstdint>
#include <string>
#include <vector>

namespace qdx::test {

struct BombFile {
    const char* name;       // "GIF 65535 x 65535"
    const char* fileName;   // "bomb_gif65535.gif"
    std::string bytes;
    uint32_t width;         // as declared
    uint32_t height;
};

// GIF 65535² and 30000², JPEG, BMP RLE8 and PNG 30000², an LZW TIFF 32767²
// (a layout only libtiff reads), a lossless WebP 16383² and the animated WebP
// with a 769 x 524,291 canvas that fuzzing found.
std::vector<BombFile> MakeBombFiles();

}  // namespace qdx::test
