#pragma once
// TIFF writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct TiffWriterState {
    uint32_t writeStatus = kStatusFailed;
};

// Writes the context's image to its temporary output path.
bool TiffOutputStep(ConversionContext& context);

}  // namespace qdx
