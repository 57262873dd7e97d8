#include "codecs/write/gif_writer.h"

#include "core/conversion_context.h"

namespace qdx {

// Not built yet: nothing is written.
bool GifOutputStep(ConversionContext&) { return false; }

}  // namespace qdx
