#include "codecs/write/bmp_writer.h"

#include "core/conversion_context.h"

namespace qdx {

// Not built yet: nothing is written.
bool BmpOutputStep(ConversionContext&) { return false; }

}  // namespace qdx
