#include <gtest/gtest.h>

#include "core/preset_rules.h"
#include "core/settings_fields.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

TEST(PresetRules, NumberFieldsAreHeldToTheirRanges) {
    EXPECT_EQ(ClampJpegQuality(250), 100u);
    EXPECT_EQ(ClampJpegQuality(101), 100u);
    EXPECT_EQ(ClampJpegQuality(100), 100u);
    EXPECT_EQ(ClampJpegQuality(1), 1u);
    EXPECT_EQ(ClampJpegQuality(0), 1u);
    EXPECT_EQ(ClampJpegQuality(-5), 1u);
    EXPECT_EQ(ClampSizeField(-1), 0);
    EXPECT_EQ(ClampSizeField(9999), 9999);
    EXPECT_EQ(ClampSizeField(10000), 9999);
    EXPECT_EQ(ClampSizeField(int64_t(1) << 40), 9999);
}

// Outputs stay inside the output folder whatever the suffix and subfolder.
TEST(PresetRules, SuffixAndSubfolderKeepOutputsInside) {
    const struct {
        std::u16string text;
        bool suffix, subfolder;
    } kCases[] = {
        {u"", true, true},           {u"_800x600", true, true},    {u"Output", true, true},
        {u"a/b", false, true},       {u"a\\b\\", false, true},     {u"web.small", true, true},
        {u"..", true, false},        {u".", true, false},           {u"...", true, false},
        {u"../../outside/sub", false, false},                       {u"\\..\\..\\ESCAPED", false, false},
        {u"/tmp", false, false},     {u"C:evil", false, false},     {u"a//b", false, false},
        {u"a/./b", false, false},    {u"x:y", false, false},        {u"a\tb", false, false},
        {std::u16string(u"a\0b", 3), false, false},               {u"a\x7F", false, false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(SuffixIsSafe(c.text.data(), c.text.size()), c.suffix) << (&c - kCases);
        EXPECT_EQ(SubfolderIsSafe(c.text.data(), c.text.size()), c.subfolder) << (&c - kCases);
    }
}

TEST(PresetRules, OnlyTheOfferedFontsAreAllowed) {
    const GlobalField& height = *FindGlobalField("fontHeight");
    const GlobalField& weight = *FindGlobalField("fontWeight");
    EXPECT_TRUE(FieldAllows(height, -12) && FieldAllows(height, -14) && FieldAllows(height, -16));
    EXPECT_FALSE(FieldAllows(height, -13) || FieldAllows(height, 12) || FieldAllows(height, -12 + (int64_t(1) << 32)));
    EXPECT_TRUE(FieldAllows(weight, 400) && FieldAllows(weight, 700));
    EXPECT_FALSE(FieldAllows(weight, 600));
}

TEST(PresetRules, AModeWithoutItsSizesSwitchesResizingOff) {
    struct Case {
        uint32_t mode;
        int32_t width, height;
        uint32_t stored;
    } cases[] = {
        {5, 800, 0, 0}, {5, 0, 600, 0}, {5, 800, 600, 5},  // the box needs both
        {1, 0, 300, 0}, {4, 0, 300, 0}, {2, 300, 0, 2},    // a limit needs the width only
        {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Preset preset;
        preset.resizeMode = c.mode;
        preset.targetWidth = c.width;
        preset.targetHeight = c.height;
        ApplyResizeValidityRule(preset);
        EXPECT_EQ(preset.resizeMode, c.stored) << c.mode << " " << c.width << "x" << c.height;
    }
}

TEST(PresetRules, OutputFolderIsKeptOnlyWhenItExists) {
    test::TempFolder folder;
    WideString existing = folder.Path();
    KeepExistingFolder(existing);
    EXPECT_TRUE(SameText(existing, folder.Path()));

    WideString missing = folder.File(u"missing");
    KeepExistingFolder(missing);
    EXPECT_TRUE(missing.IsEmpty());

    WideString file = folder.File(u"file.txt");
    ASSERT_TRUE(test::WriteBytes(file, std::string("x")));
    KeepExistingFolder(file);
    EXPECT_TRUE(file.IsEmpty()) << "a file is no folder";

    Settings settings;
    settings.globalOutputFolder = folder.File(u"gone");
    ApplyOptionsDialogRules(settings);
    EXPECT_TRUE(settings.globalOutputFolder.IsEmpty());
}

// What the preset dialog stores on OK for out-of-range and inconsistent fields.
TEST(PresetRules, DialogRulesTogether) {
    Preset preset;
    preset.jpegQuality = 250;
    preset.limitFileSize = 1;
    preset.maxFileSizeKiB = 0;
    preset.resizeMode = 5;
    preset.targetWidth = 12000;
    preset.targetHeight = 0;
    preset.outputFolder.Assign(u"/no/such/folder/anywhere");
    ApplyPresetDialogRules(preset);
    EXPECT_EQ(preset.jpegQuality, 100u);
    EXPECT_EQ(preset.limitFileSize, 0);
    EXPECT_EQ(preset.resizeMode, 0u);
    EXPECT_EQ(preset.targetWidth, 9999);
    EXPECT_TRUE(preset.outputFolder.IsEmpty());

    Preset kept;
    kept.jpegQuality = 0;
    kept.limitFileSize = 1;
    kept.maxFileSizeKiB = 40000;
    kept.resizeMode = 1;
    kept.targetWidth = 400;
    ApplyPresetDialogRules(kept);
    EXPECT_EQ(kept.jpegQuality, 1u);
    EXPECT_EQ(kept.limitFileSize, 1);
    EXPECT_EQ(kept.maxFileSizeKiB, 9999u);
    EXPECT_EQ(kept.resizeMode, 1u);
}

}  // namespace
}  // namespace qdx
