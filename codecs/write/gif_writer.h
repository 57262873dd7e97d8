#pragma once
// GIF writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct GifWriterState {
    uint32_t writeStatus = kStatusFailed;
};

// Writes the context's image to its temporary output path.
bool GifOutputStep(ConversionContext& context);

}  // namespace qdx
