#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "codecs/read/heif_library.h"
#include "codecs/read/heif_reader.h"

namespace qdx {

// Alpha is flattened like a PNG alpha channel; no transparent colour is kept.
bool DecodeHeifInput(ConversionContext& context, const WideString& path) {
    HeifReaderState& reader = *context.heifReader;
    const char16_t* missing = nullptr;
    reader.library = LoadHeifFunctions(missing);
    if (!reader.library) {
        context.missingLibrary = missing;
        return false;
    }
    SettingsBackground(context, reader.backgroundColour);
    reader.blendTable = context.blendTable.get();
    return ReadHeifImage(reader, path, &context.image);
}

}  // namespace qdx
