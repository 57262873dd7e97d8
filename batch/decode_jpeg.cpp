#include "codecs/read/jpeg_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeJpegInput(ConversionContext& context, const WideString& path) {
    JpegReaderState& reader = *context.jpegReader;
    // Nothing of the previous file may leak into this one.
    reader.greyscale = 0;
    reader.progressive = 0;
    return ReadJpegImage(reader, path, &context.image);
}

}  // namespace qdx
