#pragma once
// TIFF reader.
#include "core/mapped_input.h"

namespace qdx {

struct TiffReaderState {
    MappedInput input;
};

}  // namespace qdx
