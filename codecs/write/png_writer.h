#pragma once
// PNG writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct PngWriterState {
    uint32_t writeStatus = kStatusFailed;
};

// Writes the context's image to its temporary output path.
bool PngOutputStep(ConversionContext& context);

}  // namespace qdx
