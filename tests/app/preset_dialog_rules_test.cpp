// What the preset dialog decides without a window: the size row's labels per
// resize mode and how the controls' values are stored. Where the row's
// controls go and what each mode enables is checked on the running dialog.
#include <gtest/gtest.h>

#include <string>

#include "app/preset_dialog/preset_dialog_rules.h"

namespace qdx::app {
namespace {

TEST(PresetDialogRules, SizeRowLabelsNameTheSideEachModeSets) {
    struct Case {
        uint32_t mode;
        bool twoNumbers;
        uint32_t widthLabel, heightLabel;
        std::u16string end;
    };
    const Case cases[] = {{1, false, 0, kTextWidth, u": "},
                          {2, false, 0, kTextHeight, u": "},
                          {3, false, 0, kTextLongerSide, u": "},
                          {4, false, 0, kTextShorterSide, u": "},
                          {5, true, kTextWidth, kTextHeight, u":"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        SizeRowPlan plan;
        ASSERT_TRUE(PlanSizeRow(c.mode, plan));
        EXPECT_EQ(plan.twoNumbers, c.twoNumbers);
        EXPECT_EQ(plan.heightLabel, c.heightLabel);
        if (c.twoNumbers) {
            EXPECT_EQ(plan.widthLabel, c.widthLabel);
        }
        EXPECT_EQ(std::u16string(plan.heightLabelEnd), c.end);
    }
    SizeRowPlan kept;
    EXPECT_FALSE(PlanSizeRow(0, kept)) << "mode 0 keeps the row it had";
    EXPECT_FALSE(PlanSizeRow(6, kept));
}

TEST(PresetDialogRules, StoresEveryFieldAndAppliesTheDialogRules) {
    PresetDialogValues values;
    values.formatIndex = kOutputTiff;
    values.keepTransparency = true;
    values.quality = 250;
    values.subsamplingIndex = 1;
    values.limitFileSize = true;
    values.maxFileSizeKiB = 0;
    values.resizeMode = 5;
    values.targetWidth = 640;
    values.targetHeight = 0;
    values.keepAspect = true;
    values.resampleFilter = 3;
    values.sharpness = 2;
    values.suffix = u"_s";
    values.subfolder = u"sub";
    values.outputFolder = u"Q:\\no such folder";
    values.targetDisabled = true;
    Preset preset;
    ASSERT_TRUE(StorePresetValues(values, preset));
    EXPECT_EQ(preset.outputFormat, kOutputTiff);
    EXPECT_EQ(preset.keepTransparency, 1);
    EXPECT_EQ(preset.jpegQuality, 100u);
    EXPECT_EQ(preset.jpegSubsampling, 2);
    EXPECT_EQ(preset.limitFileSize, 0) << "a limit of 0 KiB is off";
    EXPECT_EQ(preset.resizeMode, 0u) << "a box without a height";
    EXPECT_EQ(preset.targetWidth, 640);
    EXPECT_EQ(preset.keepAspect, 1);
    EXPECT_EQ(preset.resampleFilter, 3u);
    EXPECT_EQ(preset.sharpness, 2u);
    EXPECT_EQ(std::u16string(preset.suffix.Text()), u"_s");
    EXPECT_EQ(std::u16string(preset.subfolder.Text()), u"sub");
    EXPECT_TRUE(preset.outputFolder.IsEmpty());
    EXPECT_EQ(preset.targetDisabled, 1);

    values.subsamplingIndex = 0;
    values.targetDisabled = false;
    ASSERT_TRUE(StorePresetValues(values, preset));
    EXPECT_EQ(preset.jpegSubsampling, 0);
    EXPECT_EQ(preset.targetDisabled, 0);
}

TEST(PresetDialogRules, NumberTextsReadAsSignedIntegersOrZero) {
    EXPECT_EQ(ParseSignedInteger(u"640"), 640);
    EXPECT_EQ(ParseSignedInteger(u" -12 "), -12);
    EXPECT_EQ(ParseSignedInteger(u"2147483647"), 2147483647);
    EXPECT_EQ(ParseSignedInteger(u"-2147483648"), -2147483647 - 1);
    for (const char16_t* unreadable : {u"", u"-", u"12a", u"x1", u"2147483648", u"99999999999999999999"})
        EXPECT_EQ(ParseSignedInteger(unreadable), 0) << "unreadable";
}

}  // namespace
}  // namespace qdx::app
