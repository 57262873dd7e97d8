#pragma once
// JPEG writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct JpegWriterState {
    uint32_t writeStatus = kStatusFailed;
};

}  // namespace qdx
