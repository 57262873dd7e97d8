#include "codecs/write/png_writer.h"

#include "core/conversion_context.h"

namespace qdx {

// Not built yet: nothing is written.
bool PngOutputStep(ConversionContext&) { return false; }

}  // namespace qdx
