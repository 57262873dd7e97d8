#include "core/preset_rules.h"

#include "core/os/os.h"
#include "core/settings_fields.h"

namespace qdx {

uint32_t ClampJpegQuality(int64_t typed) { return uint32_t(ClampToField(*FieldOf(&Preset::jpegQuality), typed)); }

// The file-size limit, the width and the height share one range.
int32_t ClampSizeField(int64_t typed) { return int32_t(ClampToField(*FieldOf(&Preset::targetWidth), typed)); }

void ApplyFileSizeLimitRule(Preset& preset) {
    if (preset.maxFileSizeKiB == 0) preset.limitFileSize = 0;
}

bool ResizeSizesValid(uint32_t resizeMode, int32_t targetWidth, int32_t targetHeight) {
    if (resizeMode == 5) return targetWidth != 0 && targetHeight != 0;
    if (resizeMode >= 1 && resizeMode <= 4) return targetWidth != 0;
    return true;
}

void ApplyResizeValidityRule(Preset& preset) {
    if (!ResizeSizesValid(preset.resizeMode, preset.targetWidth, preset.targetHeight)) preset.resizeMode = 0;
}

void KeepExistingFolder(WideString& folder) {
    if (!folder.IsEmpty() && !os::FolderExists(folder.Text())) folder.Clear();
}

void ApplyPresetDialogRules(Preset& preset) {
    preset.jpegQuality = ClampJpegQuality(preset.jpegQuality);
    preset.maxFileSizeKiB = uint32_t(ClampSizeField(preset.maxFileSizeKiB));
    preset.targetWidth = ClampSizeField(preset.targetWidth);
    preset.targetHeight = ClampSizeField(preset.targetHeight);
    ApplyFileSizeLimitRule(preset);
    ApplyResizeValidityRule(preset);
    KeepExistingFolder(preset.outputFolder);
}

void ApplyOptionsDialogRules(Settings& settings) { KeepExistingFolder(settings.globalOutputFolder); }

}  // namespace qdx
