#include "codecs/read/png_reader.h"
#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

bool DecodePngInput(ConversionContext& context, const WideString& path) {
    return ReadPngImage(*context.pngReader, path, &context.image);
}

}  // namespace qdx
