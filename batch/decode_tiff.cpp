#include "codecs/read/tiff_libtiff_reader.h"
#include "codecs/read/tiff_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"

namespace qdx {

bool DecodeTiffInput(ConversionContext& context, const WideString& path) {
    if (ReadTiffImage(*context.tiffReader, path, &context.image)) return true;
    if (!LibtiffMayRead(context.tiffReader->input.status)) return false;
    TiffLibraryReaderState& library = *context.tiffLibraryReader;
    SettingsBackground(context, library.backgroundColour);
    library.blendTable = context.blendTable.get();
    return ReadTiffWithLibtiff(library, path, &context.image);
}

}  // namespace qdx
