#include "codecs/read/jpeg_reader.h"
#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

bool DecodeJpegInput(ConversionContext& context, const WideString& path) {
    return ReadJpegImage(*context.jpegReader, path, &context.image);
}

}  // namespace qdx
