#include "core/preset_rules.h"

#include "core/os/os.h"
#include "core/settings_fields.h"

namespace qdx {

namespace {

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }
bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }
bool BreaksOutOfName(char16_t c) { return IsControl(c) || IsSeparator(c) || c == u':'; }

// One folder or file name: not empty and not made of dots only ("." and ".."
// name other folders; Windows also drops the dots of "...").
bool IsPlainName(const char16_t* text, size_t length) {
    bool onlyDots = true;
    for (size_t i = 0; i < length; ++i) {
        if (BreaksOutOfName(text[i])) return false;
        if (text[i] != u'.') onlyDots = false;
    }
    return length > 0 && !onlyDots;
}

}  // namespace

bool SuffixIsSafe(const char16_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (BreaksOutOfName(text[i])) return false;
    return true;
}

bool SubfolderIsSafe(const char16_t* text, size_t length) {
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && !IsSeparator(text[i])) continue;
        const bool lastSeparatorEnds = i == length && start == length && length > 0;
        if (!lastSeparatorEnds && !IsPlainName(text + start, i - start)) return length == 0;
        start = i + 1;
    }
    return true;
}

bool PresetNamesSafe(const Preset& preset) {
    return SuffixIsSafe(preset.suffix.Text(), preset.suffix.Length()) &&
           SubfolderIsSafe(preset.subfolder.Text(), preset.subfolder.Length());
}

bool LanguageNameIsPlain(const char16_t* text, size_t length) {
    for (size_t i = 1; i < length; ++i)
        if (text[i - 1] == u'.' && text[i] == u'.') return false;
    return IsPlainName(text, length);
}

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
