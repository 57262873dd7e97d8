#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

// No plug-in bridge yet: nothing is decoded this way.
bool DecodePluginInput(ConversionContext&, const WideString&) { return false; }

}  // namespace qdx
