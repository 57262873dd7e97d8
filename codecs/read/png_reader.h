#pragma once
// PNG reader.
#include "core/mapped_input.h"

namespace qdx {

struct PngReaderState {
    MappedInput input;
};

}  // namespace qdx
