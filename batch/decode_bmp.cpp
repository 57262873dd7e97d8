#include "codecs/read/bmp_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeBmpInput(ConversionContext& context, const WideString& path) {
    return ReadBmpImage(*context.bmpReader, path, &context.image);
}

}  // namespace qdx
