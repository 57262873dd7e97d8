// The batch itself: the temporary file, the context, the busy title and one
// pass per selected preset.
#include <memory>
#include <new>

#include "batch/batch.h"
#include "batch/pass_files.h"
#include "batch/resize_and_write.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/private_files.h"
#include "core/preset_rules.h"
#include "core/text_ids.h"
#include "scale/resize_modes.h"
#include "scale/scaling.h"

namespace qdx {

namespace {

// Owns the batch's private temporary folder and the temporary output file in
// it: both are deleted whenever the batch ends, whatever the passes did, and
// when the process is ended from outside.
class TemporaryFile {
public:
    bool Create() {
        WideString folder;
        if (!folder_.Create() || !folder.Assign(folder_.Path()) || !os::CreateTemporaryFile(folder, path_)) {
            path_.Clear();
            return false;
        }
        return !path_.IsEmpty();
    }
    const WideString& Path() const { return path_; }
    const char16_t* Folder() const { return folder_.Path(); }

private:
    os::PrivateFolder folder_;
    WideString path_;
};

}  // namespace

const CodecSteps& BuiltInCodecSteps() {
    static const CodecSteps steps{DecodeInput, OutputStepFor, true};
    return steps;
}

void ShowErrorMessage(BatchHost& host, uint32_t identifier) { host.ShowErrorMessage(identifier); }

namespace {

uint32_t RunBatch(BatchHost& host, const BatchFiles& files, const uint8_t selection[4], const Settings& settings,
                  const CodecSteps& steps, uint64_t maxPixels) {
    const uint32_t count = files.count;
    if (count == 0 || !files.paths) return 0;

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
    context->sourceData = SourceDataOptionsOf(settings);
    context->tempPath = &temporary.Path();
    context->temporaryFolder = temporary.Folder();
    context->budget.maxPixels = maxPixels;
    context->budget.memoryBytes = os::PhysicalMemoryBytes();

    host.SetBusyTitle();
    const Preset* presets[kMaxPasses] = {};
    uint32_t passCount = 0;
    for (int index = 0; index < 4; ++index)
        if (selection[index] && passCount < kMaxPasses) presets[passCount++] = &settings.presets[index];
    host.BatchStarts(count > UINT32_MAX / 4 ? UINT32_MAX : count * passCount);
    // One queue of files for all passes: its workers begin the next pass's
    // files while the last ones of a pass are still being converted. It ends
    // (its workers joined) before the batch reports and lets go of memory.
    // A stop counts only when it leaves work undone: an Escape pressed during
    // the very last file changes nothing and is not reported.
    uint32_t written = 0;
    bool cut = false;
    {
        PassFiles queue(*context, count, files.paths, presets, passCount, steps, &host);
        for (uint32_t pass = 0; pass < passCount && !cut; ++pass) {
            if (host.StopRequested()) {
                cut = true;
                break;
            }
            written +=
                ConvertWithPreset(host, *context, files, *presets[pass], steps, cut, queue, uint64_t(pass) * count);
        }
    }
    if (cut) host.BatchStopped(written);
    host.RestoreTitle();
    // Every reader and writer state closes with the context; the temporary
    // file goes with `temporary`.
    context.reset();
    os::ReleaseKeptPixels();
    return written;
}

}  // namespace

uint32_t RunConversion(BatchHost& host, uint32_t count, const WideString* paths, const uint8_t selection[4],
                       const Settings& settings, const CodecSteps& steps, uint64_t maxPixels) {
    return RunBatch(host, BatchFiles{count, paths, nullptr, paths}, selection, settings, steps, maxPixels);
}

uint32_t RunConversion(BatchHost& host, const DroppedFiles& files, const WideString& firstItem,
                       const uint8_t selection[4], const Settings& settings, const CodecSteps& steps,
                       uint64_t maxPixels) {
    const BatchFiles batch{uint32_t(files.paths.size()), files.paths.data(), files.outputSubfolders.data(),
                           &firstItem};
    return RunBatch(host, batch, selection, settings, steps, maxPixels);
}

uint32_t ConvertDroppedItems(BatchHost& host, const WideString* items, uint32_t count, const uint8_t selection[4],
                             const Settings& settings) {
    DroppedFiles files;
    if (!CollectDroppedFiles(items, count, settings.convertFolders != 0, files)) {
        ShowErrorMessage(host, kTextOutOfMemory);
        return 0;
    }
    if (files.paths.empty()) return 0;
    return RunConversion(host, files, items[files.items[0]], selection, settings);
}

uint32_t ConvertWithPreset(BatchHost& host, ConversionContext& context, const BatchFiles& batch,
                           const Preset& preset, const CodecSteps& steps, bool& cut) {
    context.preset = &preset;
    PassFiles queue(context, batch.count, batch.paths, steps, &host);
    return ConvertWithPreset(host, context, batch, preset, steps, cut, queue, 0);
}

uint32_t ConvertWithPreset(BatchHost& host, ConversionContext& context, const BatchFiles& batch,
                           const Preset& preset, const CodecSteps& steps, bool& cut, PassFiles& files,
                           uint64_t firstItem) {
    const uint32_t count = batch.count;
    const WideString* paths = batch.paths;
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
    uint32_t created = 0;
    const char16_t* extension =
        PrepareOutputFolder(host, context, folder, batch.firstItem ? *batch.firstItem : paths[0], created, steps);
    if (!extension) {
        files.SkipTo(firstItem + count);
        return 0;
    }

    // Targets are built on the folder with its separator.
    WideString base(folder);
    const bool haveBase = !base.IsEmpty() && (EndsWithSeparator(base) || base.Append(os::kPathSeparator));

    uint32_t written = 0;
    WideString target;
    if (!haveBase) files.SkipTo(firstItem + count);
    for (uint32_t i = 0; haveBase && i < count; ++i) {
        if (host.StopRequested()) {
            cut = true;
            break;
        }
        const WideString& path = paths[i];
        FileOutcome outcome = FileOutcome::Missing;
        bool copied = false;
        if (const WideString* output = files.Next(firstItem + i, outcome)) {
            // MakeUniqueName only ever picks a free name and the output is
            // staged in its folder and named without replacing: nothing is
            // overwritten. A file from a dropped folder goes into its place in
            // the tree, made when its first output arrives.
            const WideString* below = batch.outputSubfolders ? &batch.outputSubfolders[i] : nullptr;
            WideString destination;
            copied = target.Assign(base);
            uint32_t made = 0;
            if (copied && below && !below->IsEmpty())
                copied = target.Append(*below) && target.Append(os::kPathSeparator) &&
                         MakeFolderTree(target, base.Length() - 1, made);
            copied = copied && destination.Assign(target) && AppendTargetName(target, path, preset.suffix, extension) &&
                     PlaceOutput(*output, destination, target, extension);
        }
        if (outcome == FileOutcome::TooLarge) {
            const PixelBudget& refused = files.BudgetOf(firstItem + i);
            host.ShowPictureTooLarge(refused.refusedWidth, refused.refusedHeight);
        } else if (outcome == FileOutcome::OutOfMemory) {
            ShowErrorMessage(host, kTextOutOfMemory);
        }
        files.Done(firstItem + i);
        if (copied) ++written;
        host.FileDone(i, copied ? FileOutcome::Written
                                : outcome == FileOutcome::Written ? FileOutcome::NotWritten : outcome);
    }

    // Once a batch, before the pass's own message, the reason its HEIF files
    // failed.
    if (context.missingLibrary && !context.missingLibraryTold) {
        host.ShowErrorMessageNaming(kTextLibraryMissing, context.missingLibrary);
        context.missingLibraryTold = true;
    }
    if (written > 0) {
        os::NotifyShell(os::ShellChange::FolderUpdated, folder.Text());
        return written;
    }
    WideString removed;
    if (created > 0 && RemoveFolderLevels(folder, created, removed))
        os::NotifyShell(os::ShellChange::FolderRemoved, removed.Text());
    if (!cut) ShowErrorMessage(host, kTextNothingConverted);  // the stop reports instead
    return 0;
}

}  // namespace qdx
