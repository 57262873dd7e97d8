#pragma once
// The conversion batch: every selected preset runs one pass over all paths;
// each file is identified by its leading bytes, decoded, rescaled, written to
// the temporary file by the preset's output step and copied into the output
// folder under the first free name. An existing file is never replaced.
#include <cstdint>

#include "batch/batch_host.h"
#include "batch/conversion_context.h"
#include "batch/dropped_files.h"
#include "codecs/common/input_kind.h"
#include "core/settings.h"
#include "core/os/wide_string.h"

namespace qdx {

// The two places where a pass hands work to the codecs. The built-in steps
// are DecodeInput and OutputStepFor; tests drive passes with their own.
struct CodecSteps {
    bool (*decode)(ConversionContext& context, const WideString& path);
    OutputStep (*outputStepFor)(uint32_t outputFormat);
    // Whether files may be converted side by side, each with its own context.
    bool runsInParallel = false;
};
const CodecSteps& BuiltInCodecSteps();

// Runs one batch over `count` existing files for every preset whose flag in
// `selection` is set, in preset order 0 to 3. Shows its messages through
// `host` and returns the number of files written (over all passes). Pictures
// of more than `maxPixels` pixels, or too large for the machine's memory, are
// refused from their headers with a message each.
uint32_t RunConversion(BatchHost& host, uint32_t count, const WideString* paths, const uint8_t selection[4],
                       const Settings& settings, const CodecSteps& steps = BuiltInCodecSteps(),
                       uint64_t maxPixels = kDefaultMaxPixels);
// The same over dropped items (CollectDroppedFiles): outputs of files found
// in a dropped folder go into their subfolders below the output folder, and
// where no output folder is set the first item's folder is the output folder.
uint32_t RunConversion(BatchHost& host, const DroppedFiles& files, const WideString& firstItem,
                       const uint8_t selection[4], const Settings& settings,
                       const CodecSteps& steps = BuiltInCodecSteps(), uint64_t maxPixels = kDefaultMaxPixels);

// What a window drop or the program's command line hands the batch: `count`
// items, files or folders. Folders are walked when the settings'
// convertFolders is 1 and skipped otherwise; items that do not exist are left
// out. The progress count covers every file found. Returns the number of
// files written; shows the out-of-memory message when the listing failed.
uint32_t ConvertDroppedItems(BatchHost& host, const WideString* items, uint32_t count, const uint8_t selection[4],
                             const Settings& settings);

// The files of one batch: `outputSubfolders` is null or has one entry per
// path; `firstItem` decides the output folder where none is set.
struct BatchFiles {
    uint32_t count = 0;
    const WideString* paths = nullptr;
    const WideString* outputSubfolders = nullptr;
    const WideString* firstItem = nullptr;
};

// One pass of all paths through `preset`; returns the number of files written.
// `cut` is set when a stop request left files of the pass unconverted.
uint32_t ConvertWithPreset(BatchHost& host, ConversionContext& context, const BatchFiles& files,
                           const Preset& preset, const CodecSteps& steps, bool& cut);

// Reads the first bytes of the file (8, or up to kLeadingBytes where there are) and classifies
// them.
InputKind IdentifyInput(const WideString& path);

// Fills the context's image (and transparent colour) from the file: the
// built-in reader of its kind first, then the plug-in readers when a plug-in
// folder is set and exists.
bool DecodeInput(ConversionContext& context, const WideString& path);
// What became of a file no reader decoded: refused for its declared size,
// damaged when it starts as a format the program reads itself, unreadable
// otherwise.
FileOutcome DecodeFailure(const ConversionContext& context);

// The output step and file extension of an OutputFormat code (BMP for any
// code but 1 to 5).
OutputStep OutputStepFor(uint32_t outputFormat);
const char16_t* OutputExtension(uint32_t outputFormat);

// Selects the output step into the context and sets `folder` to the pass's
// output folder (the preset's, else the global one, else the first path's
// folder, plus the preset's subfolder, whose missing levels are created;
// `created` counts them). Returns the extension, or null after showing 30003
// or 30004.
const char16_t* PrepareOutputFolder(BatchHost& host, ConversionContext& context, WideString& folder,
                                    const WideString& firstPath, uint32_t& created,
                                    const CodecSteps& steps = BuiltInCodecSteps());
// Creates the missing folders of `folder` after its first `existing` code
// units (the part before them exists), top first; `created` counts them.
// On failure the ones it made are removed again.
bool MakeFolderTree(const WideString& folder, uint32_t existing, uint32_t& created);
// Removes the deepest `levels` folders of `folder`, deepest first, each only
// when empty; `top` is the last one removed.
bool RemoveFolderLevels(const WideString& folder, uint32_t levels, WideString& top);

// Appends to `target` (an output folder ending with a separator) the source's
// file name without its last extension, the suffix and the extension.
bool AppendTargetName(WideString& target, const WideString& sourcePath, const WideString& suffix,
                      const char16_t* extension);

// Leaves `target` as it is when nothing of that name exists; otherwise turns
// it into the first free name "<name>+<n><extension>" for n = 1, 2, ...
// Fails when the candidate grows beyond kMaxOutputPath code units, when the
// name holds a NUL (the system would see a shorter one) and after
// kMaxNameCounter candidates.
inline constexpr uint32_t kMaxOutputPath = 259;
inline constexpr int32_t kMaxNameCounter = 9999;
bool MakeUniqueName(WideString& target, const char16_t* extension);

// Puts a copy of the finished `output` into `folder` under `target`, or the
// first free name after it, and leaves that name in `target`. The copy is
// written under no name, flushed, and only then named, never over an existing
// file: a name another process takes meanwhile moves it on to the next one.
bool PlaceOutput(const WideString& output, const WideString& folder, WideString& target, const char16_t* extension);

// Shows message `identifier` through the host.
void ShowErrorMessage(BatchHost& host, uint32_t identifier);

}  // namespace qdx
