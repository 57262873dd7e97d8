#include "app/main_window/main_layout.h"

namespace qdx::app {

namespace {

// Sizes at 96 DPI.
constexpr int kButtonPadding = 12;    // beyond the widest button text
constexpr int kBottomRowOffset = 34;  // from the bottom of the client area
constexpr int kBottomRowHeight = 24;
constexpr int kMargin = 5;
constexpr int kRowGap = 10;           // around and between the bottom row's controls
constexpr int kAreaPadding = 20;      // of the combined area beyond its title and checks
constexpr int kCheckGap = 15;         // before each of the combined area's checks
constexpr int kCheckTop = 13;         // of the checks below the title

}  // namespace

int PlacementLeading(const LayoutMeasures& measures) {
    const int most = ScaleForDpi(kMaxLeading, measures.dpi);
    return measures.internalLeading < most ? measures.internalLeading : most;
}

MainLayout LayOutMainWindow(const LayoutMeasures& measures, int width, int height) {
    MainLayout layout;
    const int dpi = measures.dpi;
    const int gap = ScaleForDpi(kRowGap, dpi);
    const int margin = ScaleForDpi(kMargin, dpi);
    // c: the keep-on-top check box, b: one button, e: all four buttons.
    int c = measures.keepOnTopTextWidth + measures.checkBoxAllowance;
    int b = measures.widestButtonTextWidth + ScaleForDpi(kButtonPadding, dpi);
    int e = 4 * b;
    const int d = width - ScaleForDpi(6 * kRowGap, dpi);  // room left by the gaps of the bottom row
    if (d < c + e) {
        // Too narrow: shrink the buttons to a fifth at most, then the check box.
        const int g = d / 5;
        if (g < c) {
            if (g < b) {
                b = g;
                e = 4 * g;
            }
            c = d - e;
        } else {
            b = (d - c) / 4;
            e = 4 * b;
        }
    } else {
        // Room to spare: buttons grow to a fifth of what the check box leaves.
        const int g = (width - c - ScaleForDpi(5 * kRowGap, dpi)) / 5;
        if (b < g) {
            b = g;
            e = 4 * g;
        }
    }
    const int y = height - ScaleForDpi(kBottomRowOffset, dpi);
    const int rowHeight = ScaleForDpi(kBottomRowHeight, dpi);
    layout.keepOnTop = {gap, y, c, rowHeight};
    // Each button's place from the right edge scales as a whole, so that
    // the gaps' rounding does not add up along the row.
    for (int i = 0; i < kButtonCount; ++i)
        layout.buttons[i] = {width - e + i * b - ScaleForDpi((kButtonCount - i) * kRowGap, dpi), y, b, rowHeight};

    const int leading = PlacementLeading(measures);
    const int m = measures.controlHeight + measures.textHeight - leading + ScaleForDpi(kAreaPadding, dpi);
    const int y2 = y - m - gap;
    layout.combinedArea = {margin, y2, width - 2 * margin, m};

    const int w = (width - 3 * margin) / 2;
    const int h = (y2 - 3 * margin) / 2;
    layout.targets[0] = {margin, margin, w, h};
    layout.targets[1] = {width - w - margin, margin, w, h};
    layout.targets[2] = {margin, y2 - h - margin, w, h};
    layout.targets[3] = {width - w - margin, y2 - h - margin, w, h};
    return layout;
}

CombinedLayout LayOutCombinedArea(const LayoutMeasures& measures, int width) {
    CombinedLayout layout;
    int s = measures.lastPresetCheckTextWidth + measures.checkBoxAllowance;
    const int roomyGaps = ScaleForDpi(4 * kCheckGap, measures.dpi);
    int x = 0;  // each gap when squeezed; 0 while the gaps scale
    if (4 * s >= width - roomyGaps - 1) {
        // Not enough room for the usual gaps: share what is left.
        x = width - 4 * s - 1;
        if (x < 4) {
            x = 1;
            s = (width - 5) / 4;
        } else {
            x = x / 4;
        }
    }
    const int y = measures.textHeight + ScaleForDpi(kCheckTop, measures.dpi) - PlacementLeading(measures);
    for (int i = 0; i < kTargetCount; ++i) {
        const int gaps = x ? x * (i + 1) : ScaleForDpi(kCheckGap * (i + 1), measures.dpi);
        layout.checks[i] = {gaps + s * i, y, s, measures.controlHeight};
    }
    return layout;
}

}  // namespace qdx::app
