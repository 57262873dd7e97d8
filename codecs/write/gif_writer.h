#pragma once
// GIF writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct GifWriterState {
    uint32_t writeStatus = kStatusFailed;
};

}  // namespace qdx
