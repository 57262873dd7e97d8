#pragma once
// The limits and rules the settings dialogs apply when they store what the
// user typed, as plain functions so that every place that changes a setting
// (the preset dialog, the options dialog, the command line) applies the same
// ones.
//
// The preset dialog on OK, after reading its controls into the Preset:
//
//   ApplyPresetDialogRules(preset);   // clamps, file-size limit, resize
//                                     // validity, output folder
//
// The options dialog on OK or Apply: ApplyOptionsDialogRules(settings).
#include <cstdint>

#include "core/settings.h"
#include "core/os/wide_string.h"

namespace qdx {

// Ranges of the number fields.
inline constexpr uint32_t kJpegQualityMin = 1;
inline constexpr uint32_t kJpegQualityMax = 100;
inline constexpr int32_t kSizeFieldMax = 9999;  // file-size limit (KiB), width, height

// Entries of the preset dialog's lists; a list index is the stored value.
inline constexpr uint32_t kOutputFormatCount = 6;  // BMP, PNG, JPEG, GIF, TIFF, WebP
inline constexpr uint32_t kResizeModeCount = 6;
inline constexpr uint32_t kResampleFilterCount = 4;
inline constexpr uint32_t kSharpnessCount = 4;
// The two entries of the chroma sampling list and the values they store.
inline constexpr int32_t kSubsamplingHalf = 0;  // chroma at 2 x 2
inline constexpr int32_t kSubsamplingFull = 2;  // chroma at full resolution

// Longest texts the edits take, in UTF-16 code units.
inline constexpr uint32_t kSuffixMaxLength = 40;
inline constexpr uint32_t kSubfolderMaxLength = 40;
inline constexpr uint32_t kFolderPathMaxLength = 260;

// The options dialog's choices: the main font's small, medium and large
// heights (in the font's own negative units) and its two weights.
inline constexpr int32_t kSmallFontHeight = -12;
inline constexpr int32_t kMediumFontHeight = -14;
inline constexpr int32_t kLargeFontHeight = -16;
inline constexpr int32_t kFontHeights[] = {kSmallFontHeight, kMediumFontHeight, kLargeFontHeight};
inline constexpr int32_t kFontWeightNormal = 400;
inline constexpr int32_t kFontWeightBold = 700;
inline constexpr uint32_t kOptionsPageCount = 3;
inline constexpr uint32_t kFontFaceMaxLength = 31;  // a face name fills at most 32 units with its NUL
// The main window is never restored smaller than this client area.
inline constexpr int32_t kMinClientWidth = 330;
inline constexpr int32_t kMinClientHeight = 220;

// A typed quality raised to 1 or lowered to 100.
uint32_t ClampJpegQuality(int64_t typed);
// A typed file-size limit, width or height held to 0 to 9999.
int32_t ClampSizeField(int64_t typed);

// JPEG output cannot be limited to a size of 0: the limit is switched off.
void ApplyFileSizeLimitRule(Preset& preset);

// True when the resize mode has the sizes it needs: mode 5 a width and a
// height, modes 1 to 4 a width; mode 0 needs none.
bool ResizeSizesValid(uint32_t resizeMode, int32_t targetWidth, int32_t targetHeight);
// A mode without the sizes it needs switches resizing off (mode 0).
void ApplyResizeValidityRule(Preset& preset);

// A folder that does not exist (or is a file) is stored as the empty text,
// so the output goes to the next folder in line instead.
void KeepExistingFolder(WideString& folder);

// Everything the preset dialog does to the stored fields on OK: quality and
// sizes clamped, the file-size limit rule, the resize validity rule, a
// missing output folder emptied.
void ApplyPresetDialogRules(Preset& preset);

// What the options dialog does to the stored globals on OK or Apply: a
// missing global output folder is emptied.
void ApplyOptionsDialogRules(Settings& settings);

}  // namespace qdx
