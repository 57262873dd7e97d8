#pragma once
// BMP reader.
#include "core/mapped_input.h"

namespace qdx {

struct BmpReaderState {
    MappedInput input;
};

}  // namespace qdx
