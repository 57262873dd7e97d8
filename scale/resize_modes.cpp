#include "scale/resize_modes.h"

#include "core/conversion_context.h"

namespace qdx {

// Not built yet: the image is written at its decoded size.
bool ResizeAndWrite(ConversionContext& context) { return context.outputStep && context.outputStep(context); }

}  // namespace qdx
