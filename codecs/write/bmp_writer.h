#pragma once
// BMP writer.
#include <cstdint>

#include "core/result_codes.h"

namespace qdx {

struct ConversionContext;

struct BmpWriterState {
    uint32_t writeStatus = kStatusFailed;
};

// Writes the context's image to its temporary output path.
bool BmpOutputStep(ConversionContext& context);

}  // namespace qdx
