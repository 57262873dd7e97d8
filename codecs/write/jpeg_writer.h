#pragma once
// JPEG writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct JpegWriterState {
    uint32_t writeStatus = kStatusFailed;
};

// Writes the context's image to its temporary output path.
bool JpegOutputStep(ConversionContext& context);

}  // namespace qdx
