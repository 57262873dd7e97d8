#pragma once
// BMP reader.
#include "core/mapped_input.h"

namespace qdx {

class WideString;

struct BmpReaderState {
    MappedInput input;
};

// Decodes the file at `path` into `image` (or a record of its own when null).
// On failure `state.input.status` holds the reason.
bool ReadBmpImage(BmpReaderState& state, const WideString& path, DecodedImage* image);

}  // namespace qdx
