#pragma once
// TIFF reader.
#include "core/mapped_input.h"

namespace qdx {

class WideString;

struct TiffReaderState {
    MappedInput input;
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason.
bool ReadTiffImage(TiffReaderState& state, const WideString& path, DecodedImage* image);

}  // namespace qdx
