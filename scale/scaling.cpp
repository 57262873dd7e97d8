#include "scale/scaling.h"

namespace qdx {

// Not built yet: nothing to prepare.
bool PrepareHalftoneContext(ScalingState&) { return true; }

}  // namespace qdx
