#include "codecs/read/jpeg_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeJpegInput(ConversionContext& context, const WideString& path) {
    JpegReaderState& reader = *context.jpegReader;
    // Nothing of the previous file may leak into this one.
    reader.greyscale = 0;
    reader.progressive = 0;
    // A CMYK file's own samples are kept only when a profile will use them.
    reader.keepCmykSamples = context.sourceData.convertColours && context.image.iccProfile.size != 0;
    return ReadJpegImage(reader, path, &context.image);
}

}  // namespace qdx
