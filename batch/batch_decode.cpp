#include "batch/batch.h"
#include "batch/decode_input.h"
#include "core/os/os.h"
#include "core/result_codes.h"

namespace qdx {

bool DecodeInput(ConversionContext& context, const WideString& path) {
    context.transparent.hasTransparentColour = 0;
    context.budget.refusal = 0;
    bool decoded = false;
    const uint32_t kind = IdentifyInput(path);
    context.inputKind = kind;
    const uint32_t orientation = ReadSourceData(context.image, path, kind);
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
    case kInputHeif:
        decoded = DecodeHeifInput(context, path);
        break;
    default:  // not recognised or unreadable: no built-in reader
        break;
    }
    if (decoded) {
        FinishDecodedImage(context, orientation);
        return true;
    }
    // A picture refused for its size is refused whoever would read it.
    if (context.budget.refusal != 0) return false;
    // A plug-in's picture carries nothing of the file's own.
    ClearEmbeddedData(context.image);
    const Settings* settings = context.settings;
    if (settings->pluginFolder.IsEmpty() || !os::FolderExists(settings->pluginFolder.Text())) return false;
    return DecodePluginInput(context, path);
}

FileOutcome DecodeFailure(const ConversionContext& context) {
    if (context.budget.refusal == kStatusTooManyPixels) return FileOutcome::TooLarge;
    if (context.budget.refusal == kStatusOutOfMemory) return FileOutcome::OutOfMemory;
    const bool known = context.inputKind != kInputNotRecognised && context.inputKind != kInputUnreadable;
    return known ? FileOutcome::Damaged : FileOutcome::Unreadable;
}

}  // namespace qdx
