// Where a pass writes: the output step and extension of the preset's format,
// the output folder, and free target names.
#include "batch/batch.h"
#include "batch/output_steps.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/private_files.h"
#include "core/text_ids.h"

namespace qdx {

OutputStep OutputStepFor(uint32_t outputFormat) {
    switch (outputFormat) {
    case kOutputPng: return PngOutputStep;
    case kOutputJpeg: return JpegOutputStep;
    case kOutputGif: return GifOutputStep;
    case kOutputTiff: return TiffOutputStep;
    case kOutputWebp: return WebpOutputStep;
    default: return BmpOutputStep;
    }
}

const char16_t* OutputExtension(uint32_t outputFormat) {
    switch (outputFormat) {
    case kOutputPng: return u".png";
    case kOutputJpeg: return u".jpg";
    case kOutputGif: return u".gif";
    case kOutputTiff: return u".tif";
    case kOutputWebp: return u".webp";
    default: return u".bmp";
    }
}

namespace {

// Index of the last separator in `text`, or -1.
int64_t LastSeparator(const WideString& text) {
    for (uint32_t i = text.Length(); i > 0; --i)
        if (text[i - 1] == os::kPathSeparator) return i - 1;
    return -1;
}

// The folder of a path: everything before its last separator, or the whole
// path when it has none. A path whose only separator leads it (a file in
// the POSIX root) keeps that separator, so the folder is the root.
bool FolderOfPath(const WideString& path, WideString& folder) {
    if (!folder.Assign(path)) return false;
    const int64_t separator = LastSeparator(path);
    if (separator == 0)
        folder.Truncate(1);
    else if (separator > 0)
        folder.Truncate(static_cast<uint32_t>(separator));
    return true;
}

}  // namespace

const char16_t* PrepareOutputFolder(BatchHost& host, ConversionContext& context, WideString& folder,
                                    const WideString& firstPath, bool& created, const CodecSteps& steps) {
    const Preset& preset = *context.preset;
    const Settings& settings = *context.settings;
    context.outputStep = steps.outputStepFor(preset.outputFormat);
    const char16_t* extension = OutputExtension(preset.outputFormat);
    created = false;

    if (!preset.outputFolder.IsEmpty())
        folder.Assign(preset.outputFolder);
    else if (!settings.globalOutputFolder.IsEmpty())
        folder.Assign(settings.globalOutputFolder);
    else
        FolderOfPath(firstPath, folder);
    if (folder.IsEmpty() || !os::FolderExists(folder.Text())) {
        ShowErrorMessage(host, kTextNoOutputFolder);
        return nullptr;
    }

    if (preset.subfolder.IsEmpty()) return extension;
    const uint32_t parentLength = folder.Length();
    if (!AppendPathComponent(folder, preset.subfolder.Text()) || folder.Length() == parentLength) {
        ShowErrorMessage(host, kTextSubfolderFailed);
        return nullptr;
    }
    if (os::FolderExists(folder.Text())) return extension;
    if (!os::CreateFolder(folder.Text())) {
        ShowErrorMessage(host, kTextSubfolderFailed);
        return nullptr;
    }
    os::NotifyShell(os::ShellChange::FolderCreated, folder.Text());
    created = true;
    return extension;
}

bool AppendTargetName(WideString& target, const WideString& sourcePath, const WideString& suffix,
                      const char16_t* extension) {
    const int64_t separator = LastSeparator(sourcePath);
    const uint32_t nameStart = static_cast<uint32_t>(separator + 1);
    uint32_t nameEnd = sourcePath.Length();
    for (uint32_t i = sourcePath.Length(); i > nameStart; --i) {
        if (sourcePath[i - 1] == u'.') {
            nameEnd = i - 1;
            break;
        }
    }
    const uint32_t before = target.Length();
    const bool ok = target.Append(sourcePath.Text() + nameStart, nameEnd - nameStart) && target.Append(suffix) &&
                    target.Append(extension);
    // A failed growth empties the string; never hand on a half-built name.
    if (!ok || target.Length() < before) return false;
    return true;
}

bool MakeUniqueName(WideString& target, const char16_t* extension) {
    for (uint32_t i = 0; i < target.Length(); ++i)
        if (target[i] == 0) return false;
    if (!os::PathExists(target.Text())) return true;
    // "<name>+" with the extension cut at the last "." after the last
    // separator, then the counter and the extension.
    if (!ReplaceExtension(target, u"+")) return false;
    const uint32_t stemLength = target.Length();
    if (stemLength == 0) return false;
    for (int32_t n = 1; n <= kMaxNameCounter; ++n) {
        target.Truncate(stemLength);
        if (!target.AppendDecimal(n) || !target.Append(extension) || target.Length() <= stemLength) return false;
        if (target.Length() > kMaxOutputPath) return false;
        if (!os::PathExists(target.Text())) return true;
    }
    return false;
}

namespace {
// Names taken by others between the search and the naming, in a row, before
// the file is given up: only a folder filling as fast as we look gets there.
constexpr uint32_t kMaxNameAttempts = 100;
}  // namespace

bool PlaceOutput(const WideString& output, const WideString& folder, WideString& target, const char16_t* extension) {
    os::StagedFile staged;
    if (!staged.Create(folder.Text()) || !os::CopyFileInto(output.Text(), staged.Handle())) return false;
    const WideString wanted(target);
    for (uint32_t attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        if (!target.Assign(wanted) || !MakeUniqueName(target, extension)) return false;
        const os::NameResult named = staged.Name(target.Text());
        if (named != os::NameResult::Taken) return named == os::NameResult::Given;
    }
    return false;
}

}  // namespace qdx
