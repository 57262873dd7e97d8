// The main window's layout and the drop targets' texts, computed without a
// window.
#include <gtest/gtest.h>

#include <string>

#include "app/main_window/drop_summary.h"
#include "app/main_window/main_layout.h"
#include "core/builtin_texts.h"
#include "tests/app/gui_support.h"

namespace qdx::app {
namespace {

// A font 13 pixels high with a leading of 3, a 20-pixel check box allowance.
LayoutMeasures Measures(int keepOnTopText, int widestButtonText, int lastCheckText) {
    LayoutMeasures m;
    m.textHeight = 13;
    m.controlHeight = 19;
    m.internalLeading = 3;
    m.checkBoxAllowance = 20;
    m.keepOnTopTextWidth = keepOnTopText;
    m.widestButtonTextWidth = widestButtonText;
    m.lastPresetCheckTextWidth = lastCheckText;
    return m;
}

int Right(const Box& box) { return box.x + box.width; }
int Bottom(const Box& box) { return box.y + box.height; }

// What holds for every size: the bottom row 34 pixels above the bottom, the
// last button 10 pixels from the right edge, 10 pixels between neighbours,
// the combined area 10 pixels above the row, targets inside their quarter.
void ExpectBottomRowShape(const MainLayout& layout, int width, int height) {
    EXPECT_EQ(layout.keepOnTop.x, 10);
    EXPECT_EQ(layout.keepOnTop.y, height - 34);
    EXPECT_EQ(Right(layout.buttons[3]), width - 10);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(layout.buttons[i].y, height - 34);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(layout.buttons[i].x, Right(layout.buttons[i - 1]) + 10);
    EXPECT_LE(Right(layout.keepOnTop) + 10, layout.buttons[0].x);
    EXPECT_EQ(Bottom(layout.combinedArea) + 10, height - 34);
    EXPECT_EQ(Bottom(layout.targets[2]) + 5, layout.combinedArea.y);
    EXPECT_LT(Bottom(layout.targets[0]), layout.targets[2].y);
    EXPECT_LT(Right(layout.targets[0]), layout.targets[1].x);
    EXPECT_EQ(Right(layout.targets[1]), width - 5);
}

TEST(MainLayoutTest, RoomyWindowWidensTheButtons) {
    const MainLayout layout = LayOutMainWindow(Measures(60, 40, 45), 440, 325);
    ExpectBottomRowShape(layout, 440, 325);
    EXPECT_EQ(layout.keepOnTop, (Box{10, 291, 80, 24}));
    EXPECT_EQ(layout.buttons[0], (Box{152, 291, 62, 24}));  // a fifth of what the check box leaves
    EXPECT_EQ(layout.combinedArea, (Box{5, 232, 430, 49}));
    EXPECT_EQ(layout.targets[0], (Box{5, 5, 212, 108}));
    EXPECT_EQ(layout.targets[1], (Box{223, 5, 212, 108}));
    EXPECT_EQ(layout.targets[2], (Box{5, 119, 212, 108}));
    EXPECT_EQ(layout.targets[3], (Box{223, 119, 212, 108}));
}

TEST(MainLayoutTest, ScaleForDpiRoundsToTheNearestPixelBothWays) {
    const struct {
        int at96, dpi, scaled;
    } cases[] = {{10, 96, 10}, {10, 144, 15}, {5, 144, 8},   {-12, 144, -18}, {-5, 144, -8},
                 {1, 120, 1},  {7, 192, 14},  {330, 144, 495}, {3, 0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.at96) + " at " + std::to_string(c.dpi));
        EXPECT_EQ(ScaleForDpi(c.at96, c.dpi), c.scaled);
        EXPECT_EQ(UnscaleForDpi(c.scaled, c.dpi), c.at96);
    }
}

// Measures and size scaled to a DPI give the 96-DPI layout scaled. The
// measures are even, as a font's would be at 144 DPI, so that only the
// layout's own sizes are rounded. (A window at its minimum shares what is
// left in whole fifths and quarters, which differ by more than a pixel from
// one resolution to the next.)
TEST(MainLayoutTest, EveryBoxScalesWithTheDpi) {
    for (const int width : {440, 800}) {
        LayoutMeasures at96 = Measures(60, 40, 46);
        at96.textHeight = 14;
        at96.controlHeight = 20;
        at96.internalLeading = 4;
        const MainLayout layout96 = LayOutMainWindow(at96, width, 325);
        const CombinedLayout checks96 = LayOutCombinedArea(at96, layout96.combinedArea.width);
        for (const int dpi : {144, 192}) {
            SCOPED_TRACE(std::to_string(width) + " wide at " + std::to_string(dpi));
            LayoutMeasures m = at96;
            for (int* size : {&m.textHeight, &m.controlHeight, &m.internalLeading, &m.checkBoxAllowance,
                              &m.keepOnTopTextWidth, &m.widestButtonTextWidth, &m.lastPresetCheckTextWidth})
                *size = ScaleForDpi(*size, dpi);
            m.dpi = dpi;
            const MainLayout layout = LayOutMainWindow(m, ScaleForDpi(width, dpi), ScaleForDpi(325, dpi));
            const CombinedLayout checks = LayOutCombinedArea(m, layout.combinedArea.width);
            for (int i = 0; i < 4; ++i) {
                EXPECT_TRUE(test::ScaledFrom96(layout.targets[i], layout96.targets[i], dpi)) << "target " << i;
                EXPECT_TRUE(test::ScaledFrom96(layout.buttons[i], layout96.buttons[i], dpi)) << "button " << i;
                EXPECT_TRUE(test::ScaledFrom96(checks.checks[i], checks96.checks[i], dpi)) << "check " << i;
            }
            EXPECT_TRUE(test::ScaledFrom96(layout.combinedArea, layout96.combinedArea, dpi));
            EXPECT_TRUE(test::ScaledFrom96(layout.keepOnTop, layout96.keepOnTop, dpi));
        }
    }
}

TEST(MainLayoutTest, NarrowWindowShrinksCheckBoxOrButtons) {
    struct Case {
        int keepOnTopText, buttonText;
        Box keepOnTop, firstButton;
    };
    const Case cases[] = {
        {60, 40, {10, 186, 62, 24}, {82, 186, 52, 24}},   // the check box gives way
        {20, 60, {10, 186, 40, 24}, {62, 186, 57, 24}},   // the buttons share what the check box leaves
        {100, 60, {10, 186, 54, 24}, {74, 186, 54, 24}},  // both at a fifth
    };
    for (const Case& c : cases) {
        const MainLayout layout = LayOutMainWindow(Measures(c.keepOnTopText, c.buttonText, 45), 330, 220);
        SCOPED_TRACE(c.keepOnTopText);
        ExpectBottomRowShape(layout, 330, 220);
        EXPECT_EQ(layout.keepOnTop, c.keepOnTop);
        EXPECT_EQ(layout.buttons[0], c.firstButton);
    }
    for (int width : {331, 517, 1024}) {
        SCOPED_TRACE(width);
        ExpectBottomRowShape(LayOutMainWindow(Measures(60, 40, 45), width, 400), width, 400);
    }
}

TEST(MainLayoutTest, CombinedAreaChecksShareItsWidth) {
    struct Case {
        int checkText, width, firstX, step, boxWidth;
    };
    const Case cases[] = {
        {45, 430, 15, 80, 65},  // the usual 15-pixel gaps
        {45, 320, 14, 79, 65},  // gaps shrink to a quarter of what is left
        {60, 320, 1, 79, 78},   // no room for gaps: the boxes shrink
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const CombinedLayout layout = LayOutCombinedArea(Measures(60, 40, c.checkText), c.width);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(layout.checks[i], (Box{c.firstX + i * c.step, 23, c.boxWidth, 19})) << i;
        }
        EXPECT_LE(Right(layout.checks[3]), c.width);
    }
    // The leading used for placement is capped at 5.
    LayoutMeasures tall = Measures(60, 40, 45);
    tall.internalLeading = 9;
    EXPECT_EQ(LayOutCombinedArea(tall, 430).checks[0].y, 13 + 13 - 5);
}

std::string Utf8(const WideString& text) {
    std::string out;
    for (uint32_t i = 0; i < text.Length(); ++i) out.push_back(char(text[i]));  // the English texts are ASCII
    return out;
}

const TextSource& English() { return BuiltInTexts(Language::English); }

TEST(DropSummaryTest, DefaultPresetsReadAsTheyWork) {
    const WideString none;
    const DropSummary first = SummarizePreset(DefaultPreset(0), none, &English());
    EXPECT_EQ(Utf8(first.format), "JPEG");
    EXPECT_EQ(Utf8(first.formatDetail), "100 KiB max, Sampling 4:4:4");
    EXPECT_EQ(Utf8(first.resize), "Size: 800x600px (cropped), Bicubic");
    EXPECT_EQ(Utf8(first.suffix), "Suffix: _800x600");
    EXPECT_EQ(Utf8(first.folder), "Folder: (the source file's folder)");
    EXPECT_EQ(Utf8(first.subfolder), "Subfolder: Output");

    const DropSummary second = SummarizePreset(DefaultPreset(1), none, &English());
    EXPECT_EQ(Utf8(second.formatDetail), "Quality 75, Sampling 4:2:0");
    EXPECT_EQ(Utf8(second.resize), "Size: Width 400px, Area average");
    EXPECT_EQ(Utf8(second.suffix), "Suffix: None");
    EXPECT_EQ(Utf8(second.subfolder), "Subfolder: None");

    const DropSummary third = SummarizePreset(DefaultPreset(2), none, &English());
    EXPECT_EQ(Utf8(third.format), "PNG");
    EXPECT_EQ(Utf8(third.formatDetail), "");  // transparency not kept
    EXPECT_EQ(Utf8(third.resize), "Size: Height 300px, Bicubic");

    const DropSummary fourth = SummarizePreset(DefaultPreset(3), none, &English());
    EXPECT_EQ(Utf8(fourth.format), "GIF");
    EXPECT_EQ(Utf8(fourth.formatDetail), "transparency kept");
    EXPECT_EQ(Utf8(fourth.resize), "Size: Long side 200px, Nearest pixel");
}

TEST(DropSummaryTest, OptionsShowOnlyWhereTheyApply) {
    const WideString none;
    Preset preset = DefaultPreset(1);
    preset.resizeMode = 4;
    preset.sharpness = 2;
    preset.resampleFilter = 3;
    EXPECT_EQ(Utf8(SummarizePreset(preset, none, &English()).resize),
              "Size: Short side 400px, Halftone, Sharpen Medium");
    preset.resizeMode = 0;  // no resampling: no filter, no sharpening
    EXPECT_EQ(Utf8(SummarizePreset(preset, none, &English()).resize), "Size: None");
    preset.resizeMode = 5;
    preset.targetHeight = 300;
    preset.keepAspect = 0;
    preset.sharpness = 0;
    EXPECT_EQ(Utf8(SummarizePreset(preset, none, &English()).resize), "Size: 400x300px, Halftone");
    for (uint32_t format : {0u, kOutputTiff, 9u}) {
        preset.outputFormat = format;
        preset.keepTransparency = 1;
        const DropSummary summary = SummarizePreset(preset, none, &English());
        EXPECT_EQ(Utf8(summary.format), format == kOutputTiff ? "TIFF" : "BMP");
        EXPECT_EQ(Utf8(summary.formatDetail), "");
    }
}

TEST(DropSummaryTest, FoldersAreShortenedToTheirEnds) {
    Preset preset = DefaultPreset(1);
    const WideString global(u"D:\\Shared\\Photos\\Out");
    EXPECT_EQ(Utf8(SummarizePreset(preset, global, &English()).folder), "Folder: D:\\...Out");
    preset.outputFolder.Assign(u"C:\\Pictures\\Converted");
    EXPECT_EQ(Utf8(SummarizePreset(preset, global, &English()).folder), "Folder: C:\\...Converted");
    EXPECT_EQ(Utf8(ShortenFolder(WideString(u"C:\\Pictures"))), "C:\\...Pictures");
    EXPECT_EQ(Utf8(ShortenFolder(WideString(u"Output"))), "Output\\...Output");
    EXPECT_EQ(Utf8(ShortenFolder(WideString(u"\\\\server\\share\\a"))), "\\...a");
}

TEST(DropSummaryTest, TitlesJoinPresetTextAndNumber) {
    EXPECT_EQ(Utf8(DropTargetTitle(3, &English())), "Preset 3");
    EXPECT_EQ(Utf8(CombinedAreaTitle(&English())), "Preset 5 - Several presets at once");
}

}  // namespace
}  // namespace qdx::app
