#include "codecs/read/bmp_reader.h"
#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

bool DecodeBmpInput(ConversionContext& context, const WideString& path) {
    BmpReaderState& reader = *context.bmpReader;
    SettingsBackground(context, reader.backgroundColour);
    reader.blendTable = context.blendTable.get();
    return ReadBmpImage(reader, path, &context.image);
}

}  // namespace qdx
