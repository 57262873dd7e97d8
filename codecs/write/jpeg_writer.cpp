#include "codecs/write/jpeg_writer.h"

#include "core/conversion_context.h"

namespace qdx {

// Not built yet: nothing is written.
bool JpegOutputStep(ConversionContext&) { return false; }

}  // namespace qdx
