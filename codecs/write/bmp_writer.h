#pragma once
// BMP writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct BmpWriterState {
    uint32_t writeStatus = kStatusFailed;
};

}  // namespace qdx
