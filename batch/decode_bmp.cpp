#include "codecs/read/bmp_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeBmpInput(ConversionContext& context, const WideString& path) {
    BmpReaderState& reader = *context.bmpReader;
    SettingsBackground(context, reader.backgroundColour);
    reader.blendTable = context.blendTable.get();
    return ReadBmpImage(reader, path, &context.image);
}

}  // namespace qdx
