#include "codecs/read/bmp_reader.h"
#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

bool DecodeBmpInput(ConversionContext& context, const WideString& path) {
    return ReadBmpImage(*context.bmpReader, path, &context.image);
}

}  // namespace qdx
