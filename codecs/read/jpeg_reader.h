#pragma once
// JPEG reader.
#include "core/mapped_input.h"

namespace qdx {

struct JpegReaderState {
    MappedInput input;
};

}  // namespace qdx
