#pragma once
// What the preset dialog decides without a window: the size row for each
// resize mode, which controls a mode enables, where the size row's controls
// go, and how the controls' values become the stored preset.
#include <cstdint>

#include "core/settings.h"
#include "core/text_ids.h"
#include "core/os/wide_string.h"

namespace qdx::app {

inline constexpr uint32_t kResizeModeBox = 5;

// Digits the number edits take.
inline constexpr int kQualityDigits = 3;
inline constexpr int kSizeDigits = 4;

// The size row of a resize mode: the box mode shows two numbers with a label
// each; the other modes show one number with one label, and that label
// names the side the mode sets (the mode's own text: "Width" for Width).
struct SizeRowPlan {
    bool twoNumbers = false;
    uint32_t widthLabel = 0;               // the width label's text (box mode only)
    uint32_t heightLabel = 0;              // the height label's text
    const char16_t* heightLabelEnd = u"";  // ":" in the box mode, ": " otherwise
};

// The plan for modes 1 to 5; mode 0 keeps whatever row was there (false).
bool PlanSizeRow(uint32_t mode, SizeRowPlan& plan);

// Mode 0 disables the size row, filter and sharpness; only the box mode
// enables the choice between stretching and cropping.
bool SizeControlsEnabled(uint32_t mode);
bool AspectChoiceEnabled(uint32_t mode);
// The lossless choice belongs to WebP alone (the format list's position is
// the outputFormat code).
bool WebpLosslessEnabled(uint32_t formatIndex);

// Widths in pixels of what makes up the size row, measured with the
// dialog's font.
struct SizeRowMetrics {
    int left = 0;         // where the row starts
    int widthLabel = 0;   // the width label's text
    int heightLabel = 0;  // the height label's text
    int unit = 0;         // the units' text
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

// Left to right: [width label] [width edit + spin] [unit]  [height label]
// [height edit + spin] [unit] in the box mode; [height label] [width edit +
// spin] [unit] otherwise. Each edit holds four
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
    bool webpLossless = false;
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
