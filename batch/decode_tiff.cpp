#include "codecs/read/tiff_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeTiffInput(ConversionContext& context, const WideString& path) {
    return ReadTiffImage(*context.tiffReader, path, &context.image);
}

}  // namespace qdx
