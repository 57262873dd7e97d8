#include "codecs/common/png_colour_types.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "codecs/read/png_reader.h"

namespace qdx {

bool DecodePngInput(ConversionContext& context, const WideString& path) {
    PngReaderState& reader = *context.pngReader;
    const Settings& settings = *context.settings;
    reader.flattenTransparency = 1;
    reader.useOwnBackground = settings.useOwnBackground ? 1 : 0;
    reader.backgroundColour[0] = uint8_t(settings.backgroundColour);  // red in the low byte
    reader.backgroundColour[1] = uint8_t(settings.backgroundColour >> 8);
    reader.backgroundColour[2] = uint8_t(settings.backgroundColour >> 16);
    reader.blendTable = context.blendTable.get();

    TransparentColour& transparent = context.transparent;
    transparent.hasTransparentColour = 0;
    if (!ReadPngImage(reader, path, &context.image)) return false;
    if (!context.preset || !context.preset->keepTransparency) return true;

    if (reader.colourType == kPngPalette) {
        // The first fully transparent palette entry, in the colour the
        // flattening left it.
        if (!reader.trnsSeen || !reader.paletteAlpha) return true;
        for (int index = 0; index < 256; ++index) {
            if (reader.paletteAlpha.Get()[index] != 0) continue;
            const RGBQUAD& entry = context.image.palette[index];
            transparent.red = entry.rgbRed;
            transparent.green = entry.rgbGreen;
            transparent.blue = entry.rgbBlue;
            transparent.hasTransparentColour = 1;
            break;
        }
        return true;
    }
    transparent.red = reader.transparentColour[0];
    transparent.green = reader.transparentColour[1];
    transparent.blue = reader.transparentColour[2];
    if (reader.colourType == kPngGrey) {
        // Greyscale keeps only its level (in green): make the colour that grey.
        transparent.red = transparent.blue = transparent.green;
    }
    transparent.hasTransparentColour = reader.trnsSeen;
    return true;
}

}  // namespace qdx
