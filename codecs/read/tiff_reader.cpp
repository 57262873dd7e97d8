#include "codecs/read/tiff_reader.h"

#include "core/wide_string.h"

namespace qdx {

// Not built yet: every file is refused.
bool ReadTiffImage(TiffReaderState& state, const WideString&, DecodedImage*) {
    state.input.status = kStatusUnsupported;
    return false;
}

}  // namespace qdx
