#include "codecs/write/tiff_writer.h"

#include "core/conversion_context.h"

namespace qdx {

// Not built yet: nothing is written.
bool TiffOutputStep(ConversionContext&) { return false; }

}  // namespace qdx
