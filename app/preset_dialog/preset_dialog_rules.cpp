#include "app/preset_dialog/preset_dialog_rules.h"

#include <climits>

#include "core/preset_rules.h"

namespace qdx::app {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

bool PlanSizeRow(uint32_t mode, SizeRowPlan& plan) {
    // Modes 1 to 4 fix one side, and the label beside the number names that
    // side with the mode's own text, as the mode list shows it.
    static constexpr uint32_t kOwnSide[] = {0, kTextWidth, kTextHeight, kTextLongerSide, kTextShorterSide};
    if (mode == kResizeModeBox) {
        plan = {true, kTextWidth, kTextHeight, u":"};
        return true;
    }
    if (mode >= 1 && mode <= 4) {
        plan = {false, 0, kOwnSide[mode], u": "};
        return true;
    }
    return false;
}

bool SizeControlsEnabled(uint32_t mode) { return mode != 0; }

bool AspectChoiceEnabled(uint32_t mode) { return mode == kResizeModeBox; }

bool WebpLosslessEnabled(uint32_t formatIndex) { return formatIndex == kOutputWebp; }

SizeRowLayout LayOutSizeRow(const SizeRowPlan& plan, const SizeRowMetrics& metrics) {
    SizeRowLayout row;
    const int editWidth = kSizeDigits * metrics.digit + metrics.editMargin + metrics.spin;
    int x = metrics.left;
    auto place = [&](RowItem& item, int width, int after) {
        item = {x, width, true};
        x += width + after;
    };
    if (plan.twoNumbers) {
        place(row.widthLabel, metrics.widthLabel, metrics.gap);
        place(row.widthEdit, editWidth, metrics.gap);
        place(row.widthUnit, metrics.unit, 3 * metrics.gap);
        place(row.heightLabel, metrics.heightLabel, metrics.gap);
        place(row.heightEdit, editWidth, metrics.gap);
        place(row.heightUnit, metrics.unit, 0);
    } else {
        place(row.heightLabel, metrics.heightLabel, metrics.gap);
        place(row.widthEdit, editWidth, metrics.gap);
        place(row.widthUnit, metrics.unit, 0);
    }
    return row;
}

int32_t ParseSignedInteger(const char16_t* text) {
    if (!text) return 0;
    while (IsBlank(*text)) ++text;
    bool negative = false;
    if (*text == u'-' || *text == u'+') negative = *text++ == u'-';
    if (*text < u'0' || *text > u'9') return 0;
    int64_t value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 + (*text - u'0');
        if (value > int64_t(INT32_MAX) + 1) return 0;
    }
    while (IsBlank(*text)) ++text;
    if (*text != 0) return 0;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return 0;
    return int32_t(value);
}

uint32_t SubsamplingItem(int32_t jpegSubsampling) { return jpegSubsampling == kSubsamplingFull ? 1 : 0; }

int32_t SubsamplingFromItem(uint32_t item) { return item == 1 ? kSubsamplingFull : kSubsamplingHalf; }

bool StorePresetValues(const PresetDialogValues& values, Preset& preset) {
    preset.outputFormat = values.formatIndex;
    preset.keepTransparency = values.keepTransparency ? 1 : 0;
    preset.jpegQuality = ClampJpegQuality(values.quality);
    preset.jpegSubsampling = SubsamplingFromItem(values.subsamplingIndex);
    preset.limitFileSize = values.limitFileSize ? 1 : 0;
    preset.maxFileSizeKiB = uint32_t(ClampSizeField(values.maxFileSizeKiB));
    preset.resizeMode = values.resizeMode;
    preset.targetWidth = values.targetWidth;
    preset.targetHeight = values.targetHeight;
    preset.keepAspect = values.keepAspect ? 1 : 0;
    preset.resampleFilter = values.resampleFilter;
    preset.sharpness = values.sharpness;
    preset.targetDisabled = values.targetDisabled ? 1 : 0;
    preset.webpLossless = values.webpLossless ? 1 : 0;
    const bool stored = preset.suffix.Assign(values.suffix) && preset.subfolder.Assign(values.subfolder) &&
                        preset.outputFolder.Assign(values.outputFolder);
    ApplyPresetDialogRules(preset);
    return stored;
}

}  // namespace qdx::app
