#pragma once
// What the preset dialog decides without a window: the size row for each
// resize mode, which controls a mode enables, where the size row's controls
// go, and how the controls' values become the stored preset.
#include <cstdint>

#include "core/settings.h"
#include "core/os/wide_string.h"

namespace qdx::app {

inline constexpr uint16_t kPresetDialogTemplate = 2000;

// Control identifiers of template 2000 (shared with the language libraries).
namespace preset_ids {
inline constexpr int kDisableTarget = 2001;
inline constexpr int kFormatHeading = 2110;
inline constexpr int kFormatList = 2111;
inline constexpr int kTransparencyHeading = 2120;
inline constexpr int kKeepTransparency = 2121;
inline constexpr int kJpegHeading = 2130;
inline constexpr int kQualityEdit = 2132;
inline constexpr int kQualitySpin = 2133;
inline constexpr int kSubsamplingList = 2135;
inline constexpr int kLimitFileSize = 2136;
inline constexpr int kMaxSizeEdit = 2137;
inline constexpr int kMaxSizeSpin = 2138;
inline constexpr int kResizeHeading = 2200;
inline constexpr int kModeList = 2211;
inline constexpr int kWidthLabel = 2220;
inline constexpr int kWidthEdit = 2221;
inline constexpr int kWidthSpin = 2222;
inline constexpr int kWidthUnit = 2223;
inline constexpr int kHeightLabel = 2230;
inline constexpr int kHeightEdit = 2231;
inline constexpr int kHeightSpin = 2232;
inline constexpr int kHeightUnit = 2233;
inline constexpr int kStretch = 2240;
inline constexpr int kKeepAspect = 2241;
inline constexpr int kFilterLabel = 2250;
inline constexpr int kFilterList = 2251;
inline constexpr int kSharpnessLabel = 2260;
inline constexpr int kSharpnessList = 2261;
inline constexpr int kOutputHeading = 2300;
inline constexpr int kSuffixEdit = 2311;
inline constexpr int kFolderEdit = 2321;
inline constexpr int kBrowse = 2322;
inline constexpr int kClearFolder = 2323;
inline constexpr int kSubfolderEdit = 2331;
}  // namespace preset_ids

// String identifiers of the texts the dialog puts together itself.
inline constexpr uint32_t kTextPresetTitle = 1000;
inline constexpr uint32_t kTextSizeUnit = 20031;
inline constexpr uint32_t kTextModeNone = 20120;  // also sharpness "off"
inline constexpr uint32_t kTextWidth = 20121;
inline constexpr uint32_t kTextHeight = 20122;
inline constexpr uint32_t kTextLongerSide = 20123;
inline constexpr uint32_t kTextShorterSide = 20124;
inline constexpr uint32_t kTextFolderHint = 2321;
inline constexpr uint32_t kTextSourceFolderHint = 3023;
inline constexpr uint32_t kTextBrowseTitle = 20220;

inline constexpr uint32_t kResizeModeBox = 5;

// Digits the number edits take.
inline constexpr int kQualityDigits = 3;
inline constexpr int kSizeDigits = 4;

// The size row of a resize mode: the box mode shows two numbers with a label
// each; the other modes show one number with one label, and that label
// names the side the mode sets (the mode's own text: "Width" for Width).
struct SizeRowPlan {
    bool twoNumbers = false;
    uint32_t widthLabel = 0;   // text of 2220 (box mode only)
    uint32_t heightLabel = 0;  // text of 2230
    const char16_t* heightLabelEnd = u"";  // ":" in the box mode, ": " otherwise
};

// The plan for modes 1 to 5; mode 0 keeps whatever row was there (false).
bool PlanSizeRow(uint32_t mode, SizeRowPlan& plan);

// Mode 0 disables the size row, filter and sharpness; only the box mode
// enables the choice between stretching and cropping.
bool SizeControlsEnabled(uint32_t mode);
bool AspectChoiceEnabled(uint32_t mode);

// Widths in pixels of what makes up the size row, measured with the
// dialog's font.
struct SizeRowMetrics {
    int left = 0;         // where the row starts
    int widthLabel = 0;   // text of 2220
    int heightLabel = 0;  // text of 2230
    int unit = 0;         // text of 2223 and 2233
    int digit = 0;        // width of "0"
    int editMargin = 0;   // the edit's borders and inner margins together
    int spin = 0;         // width the spin control takes beside its edit
    int gap = 0;          // between a text and the control after it
};

struct RowItem {
    int x = 0;
    int width = 0;
    bool visible = false;
};

// Left to right: [2220] [2221 + spin] [2223]  [2230] [2231 + spin] [2233] in
// the box mode; [2230] [2221 + spin] [2223] otherwise. Each edit holds four
// digits; its width includes the spin control that sits at its right.
struct SizeRowLayout {
    RowItem widthLabel, widthEdit, widthUnit, heightLabel, heightEdit, heightUnit;
};
SizeRowLayout LayOutSizeRow(const SizeRowPlan& plan, const SizeRowMetrics& metrics);

// The values read from the dialog's controls when OK is pressed.
struct PresetDialogValues {
    uint32_t formatIndex = 0;
    bool keepTransparency = false;
    int32_t quality = 0;  // as typed
    uint32_t subsamplingIndex = 0;
    bool limitFileSize = false;
    int32_t maxFileSizeKiB = 0;
    uint32_t resizeMode = 0;
    int32_t targetWidth = 0;
    int32_t targetHeight = 0;
    bool keepAspect = false;
    uint32_t resampleFilter = 0;
    uint32_t sharpness = 0;
    const char16_t* suffix = u"";
    const char16_t* subfolder = u"";
    const char16_t* outputFolder = u"";
    bool targetDisabled = false;
};

// Stores every field into `preset`, then applies the dialog's rules (clamps,
// file-size limit, resize validity, a missing folder emptied). False only when
// a text could not be stored (out of memory); the numbers are stored anyway.
bool StorePresetValues(const PresetDialogValues& values, Preset& preset);

// A number edit's text as a signed integer: optional sign and decimal
// digits, surrounding blanks allowed; 0 when unreadable or out of range.
int32_t ParseSignedInteger(const char16_t* text);

// The dialog's list positions of the stored codes.
uint32_t SubsamplingItem(int32_t jpegSubsampling);
int32_t SubsamplingFromItem(uint32_t item);

}  // namespace qdx::app
