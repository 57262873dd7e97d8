// The batch itself: the temporary file, the context, the busy title and one
// pass per selected preset.
#include <memory>
#include <new>

#include "batch/batch.h"
#include "batch/pass_files.h"
#include "batch/resize_and_write.h"
#include "core/os/os.h"
#include "core/preset_rules.h"
#include "core/string_ids.h"
#include "scale/resize_modes.h"
#include "scale/scaling.h"

namespace qdx {

namespace {

// Owns the temporary output file: it is deleted whenever the batch ends,
// whatever the passes did.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.IsEmpty()) os::RemoveFile(path_.Text());
    }

    bool Create() {
        WideString folder;
        if (!os::TemporaryFolder(folder) || folder.IsEmpty()) return false;
        if (!os::CreateTemporaryFile(folder, path_)) {
            path_.Clear();
            return false;
        }
        return !path_.IsEmpty();
    }
    const WideString& Path() const { return path_; }

private:
    WideString path_;
};

}  // namespace

const CodecSteps& BuiltInCodecSteps() {
    static const CodecSteps steps{DecodeInput, OutputStepFor, true};
    return steps;
}

void ShowErrorMessage(BatchHost& host, uint32_t identifier) { host.ShowErrorMessage(identifier); }

uint32_t RunConversion(BatchHost& host, uint32_t count, const WideString* paths, const uint8_t selection[4],
                       const Settings& settings, const CodecSteps& steps) {
    if (count == 0 || !paths) return 0;

    TemporaryFile temporary;
    if (!temporary.Create()) {
        ShowErrorMessage(host, kTextNoTemporaryFile);
        return 0;
    }
    std::unique_ptr<ConversionContext> context(new (std::nothrow) ConversionContext());
    if (!context || !context->Initialise()) {
        ShowErrorMessage(host, kTextOutOfMemory);
        return 0;
    }
    context->settings = &settings;
    context->tempPath = &temporary.Path();

    host.SetBusyTitle();
    uint32_t passes = 0;
    for (int index = 0; index < 4; ++index) passes += selection[index] ? 1 : 0;
    host.BatchStarts(count > UINT32_MAX / 4 ? UINT32_MAX : count * passes);
    // A stop counts only when it leaves work undone: an Escape pressed during
    // the very last file changes nothing and is not reported.
    uint32_t written = 0;
    bool cut = false;
    for (int index = 0; index < 4 && !cut; ++index) {
        if (!selection[index]) continue;
        if (host.StopRequested()) {
            cut = true;
            break;
        }
        written += ConvertWithPreset(host, *context, count, paths, settings.presets[index], steps, cut);
    }
    if (cut) host.BatchStopped(written);
    host.RestoreTitle();
    // Every reader and writer state closes with the context; the temporary
    // file goes with `temporary`.
    context.reset();
    os::ReleaseKeptPixels();
    return written;
}

uint32_t ConvertWithPreset(BatchHost& host, ConversionContext& context, uint32_t count, const WideString* paths,
                           const Preset& preset, const CodecSteps& steps, bool& cut) {
    if (count == 0 || !paths) return 0;
    // A suffix or subfolder that leads out of the output folder (typed into
    // the settings file by hand) stops this preset before anything is made.
    if (!PresetNamesSafe(preset)) {
        ShowErrorMessage(host, kTextUnsafeOutputName);
        return 0;
    }
    context.preset = &preset;
    // The halftone filter draws through a memory device context that lives
    // for the rest of the batch; a failure here shows up as failed resizes.
    if (preset.resizeMode != ResizeNone && preset.resampleFilter == FilterHalftone && context.scaling)
        PrepareHalftoneContext(*context.scaling);

    WideString folder;
    bool created = false;
    const char16_t* extension = PrepareOutputFolder(host, context, folder, paths[0], created, steps);
    if (!extension) return 0;

    // Targets are built on the folder with its separator.
    WideString base(folder);
    const bool haveBase = !base.IsEmpty() && (base.EndsWithSeparator() || base.Append(os::kPathSeparator));

    uint32_t written = 0;
    WideString target;
    PassFiles files(context, haveBase ? count : 0, paths, steps, &host);
    for (uint32_t i = 0; haveBase && i < count; ++i) {
        if (host.StopRequested()) {
            cut = true;
            break;
        }
        const WideString& path = paths[i];
        FileOutcome outcome = FileOutcome::Missing;
        bool copied = false;
        if (const WideString* output = files.Next(i, outcome)) {
            // MakeUniqueName only ever picks a free name and the copy refuses
            // to replace a file that appeared since: nothing is overwritten.
            copied = target.Assign(base) && AppendTargetName(target, path, preset.suffix, extension) &&
                     MakeUniqueName(target, extension) && os::CopyFileNoReplace(output->Text(), target.Text());
        }
        files.Done(i);
        if (copied) ++written;
        host.FileDone(i, copied ? FileOutcome::Written
                                : outcome == FileOutcome::Written ? FileOutcome::NotWritten : outcome);
    }

    if (written > 0) {
        os::NotifyShell(os::ShellChange::FolderUpdated, folder.Text());
        return written;
    }
    if (created && os::RemoveFolder(folder.Text())) os::NotifyShell(os::ShellChange::FolderRemoved, folder.Text());
    if (!cut) ShowErrorMessage(host, kTextNothingConverted);  // the stop reports instead
    return 0;
}

}  // namespace qdx
