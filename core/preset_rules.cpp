#include "core/preset_rules.h"

#include "core/os/os.h"

namespace qdx {

bool FontHeightAllowed(int32_t height) {
    for (const int32_t allowed : kFontHeights)
        if (height == allowed) return true;
    return false;
}

bool FontWeightAllowed(int32_t weight) { return weight == kFontWeightNormal || weight == kFontWeightBold; }

uint32_t ClampJpegQuality(int64_t typed) {
    if (typed < int64_t(kJpegQualityMin)) return kJpegQualityMin;
    if (typed > int64_t(kJpegQualityMax)) return kJpegQualityMax;
    return uint32_t(typed);
}

int32_t ClampSizeField(int64_t typed) {
    if (typed < 0) return 0;
    if (typed > kSizeFieldMax) return kSizeFieldMax;
    return int32_t(typed);
}

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
