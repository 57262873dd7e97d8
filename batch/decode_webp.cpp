#include "codecs/read/webp_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

// Alpha is flattened like a PNG alpha channel; like such a PNG, a WebP keeps
// no transparent colour.
bool DecodeWebpInput(ConversionContext& context, const WideString& path) {
    WebpReaderState& reader = *context.webpReader;
    SettingsBackground(context, reader.backgroundColour);
    reader.blendTable = context.blendTable.get();
    return ReadWebpImage(reader, path, &context.image);
}

void SettingsBackground(const ConversionContext& context, uint8_t colour[3]) {
    const Settings& settings = *context.settings;
    colour[0] = uint8_t(settings.backgroundColour);  // red in the low byte
    colour[1] = uint8_t(settings.backgroundColour >> 8);
    colour[2] = uint8_t(settings.backgroundColour >> 16);
}

}  // namespace qdx
