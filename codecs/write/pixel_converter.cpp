#include "codecs/write/pixel_converter.h"

namespace qdx {

PixelConverter::~PixelConverter() = default;

// Not built yet.
void SetLayout(PixelConverter& converter, uint32_t sourceDepth, uint32_t targetDepth) {
    converter.sourceDepth = sourceDepth;
    converter.targetDepth = targetDepth;
}
bool Convert(PixelConverter&, const RGBQUAD*, const uint8_t*, RGBQUAD*, uint8_t*) { return false; }
bool ReduceForGif(PixelConverter&, const RGBQUAD*, const uint8_t*, RGBQUAD*, uint8_t*) { return false; }

}  // namespace qdx
