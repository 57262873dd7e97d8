#pragma once
// PNG writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct PngWriterState {
    uint32_t writeStatus = kStatusFailed;
};

}  // namespace qdx
