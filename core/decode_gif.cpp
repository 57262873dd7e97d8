#include "codecs/read/gif_reader.h"
#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

bool DecodeGifInput(ConversionContext& context, const WideString& path) {
    return ReadGifImage(*context.gifReader, path, &context.image);
}

}  // namespace qdx
