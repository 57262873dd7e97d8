#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

// No plug-in bridge yet: nothing is decoded this way.
bool DecodePluginInput(ConversionContext&, const WideString&) { return false; }

}  // namespace qdx
