#include "codecs/read/gif_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeGifInput(ConversionContext& context, const WideString& path) {
    GifReaderState& reader = *context.gifReader;
    const Settings& settings = *context.settings;
    reader.flattenTransparency = 1;
    reader.useOwnBackground = settings.useOwnBackground;
    // The settings keep the colour with red in the low byte.
    reader.backgroundColour[0] = uint8_t(settings.backgroundColour);
    reader.backgroundColour[1] = uint8_t(settings.backgroundColour >> 8);
    reader.backgroundColour[2] = uint8_t(settings.backgroundColour >> 16);
    reader.resultTransparent = 0;
    reader.resultTransparentIndex = 0;
    reader.resultInterlaced = 0;
    context.transparent.hasTransparentColour = 0;

    if (!ReadGifImage(reader, path, &context.image)) return false;
    if (context.preset && context.preset->keepTransparency) {
        // The colour the reader put at the transparent index.
        const RGBQUAD& entry = context.image.palette[reader.resultTransparentIndex & 0xFF];
        context.transparent.red = entry.rgbRed;
        context.transparent.green = entry.rgbGreen;
        context.transparent.blue = entry.rgbBlue;
        context.transparent.hasTransparentColour = reader.resultTransparent;
    }
    return true;
}

}  // namespace qdx
