#include "codecs/read/gif_reader.h"

#include "core/wide_string.h"

namespace qdx {

// Not built yet: every file is refused.
bool ReadGifImage(GifReaderState& state, const WideString&, DecodedImage*) {
    state.input.status = kStatusUnsupported;
    return false;
}

}  // namespace qdx
