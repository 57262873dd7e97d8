#include "batch/batch.h"
#include "batch/decode_input.h"
#include "core/os/os.h"

namespace qdx {

bool DecodeInput(ConversionContext& context, const WideString& path) {
    context.transparent.hasTransparentColour = 0;
    bool decoded = false;
    const uint32_t kind = IdentifyInput(path);
    context.inputKind = kind;
    switch (kind) {
    case kInputBmp:
        decoded = DecodeBmpInput(context, path);
        break;
    case kInputPng:
        decoded = DecodePngInput(context, path);
        break;
    case kInputJpeg:
        decoded = DecodeJpegInput(context, path);
        break;
    case kInputTiff:
        decoded = DecodeTiffInput(context, path);
        break;
    case kInputGif:
        decoded = DecodeGifInput(context, path);
        break;
    case kInputWebp:
        decoded = DecodeWebpInput(context, path);
        break;
    default:  // not recognised or unreadable: no built-in reader
        break;
    }
    if (decoded) {
        TurnUpright(context.image, path, kind);
        return true;
    }
    const Settings* settings = context.settings;
    if (settings->pluginFolder.IsEmpty() || !os::FolderExists(settings->pluginFolder.Text())) return false;
    return DecodePluginInput(context, path);
}

FileOutcome DecodeFailure(const ConversionContext& context) {
    const bool known = context.inputKind != kInputNotRecognised && context.inputKind != kInputUnreadable;
    return known ? FileOutcome::Damaged : FileOutcome::Unreadable;
}

}  // namespace qdx
