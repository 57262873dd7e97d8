#pragma once
// GIF reader.
#include "core/mapped_input.h"

namespace qdx {

struct GifReaderState {
    MappedInput input;
};

}  // namespace qdx
