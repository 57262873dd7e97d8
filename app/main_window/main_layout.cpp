#include "app/main_window/main_layout.h"

namespace qdx::app {

namespace {

constexpr int kButtonPadding = 12;    // beyond the widest button text
constexpr int kBottomRowOffset = 34;  // from the bottom of the client area
constexpr int kBottomRowHeight = 24;
constexpr int kMargin = 5;

}  // namespace

int PlacementLeading(const LayoutMeasures& measures) {
    return measures.internalLeading < kMaxLeading ? measures.internalLeading : kMaxLeading;
}

MainLayout LayOutMainWindow(const LayoutMeasures& measures, int width, int height) {
    MainLayout layout;
    // c: the keep-on-top check box, b: one button, e: all four buttons.
    int c = measures.keepOnTopTextWidth + measures.checkBoxAllowance;
    int b = measures.widestButtonTextWidth + kButtonPadding;
    int e = 4 * b;
    const int d = width - 60;  // room left by the gaps of the bottom row
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
        const int g = (width - c - 50) / 5;
        if (b < g) {
            b = g;
            e = 4 * g;
        }
    }
    const int y = height - kBottomRowOffset;
    layout.keepOnTop = {10, y, c, kBottomRowHeight};
    for (int i = 0; i < kButtonCount; ++i) layout.buttons[i] = {width - e - 40 + i * (b + 10), y, b, kBottomRowHeight};

    const int leading = PlacementLeading(measures);
    const int m = measures.controlHeight + measures.textHeight - leading + 20;
    const int y2 = y - m - 10;
    layout.combinedArea = {kMargin, y2, width - 2 * kMargin, m};

    const int w = (width - 15) / 2;
    const int h = (y2 - 15) / 2;
    layout.targets[0] = {kMargin, kMargin, w, h};
    layout.targets[1] = {width - w - kMargin, kMargin, w, h};
    layout.targets[2] = {kMargin, y2 - h - kMargin, w, h};
    layout.targets[3] = {width - w - kMargin, y2 - h - kMargin, w, h};
    return layout;
}

CombinedLayout LayOutCombinedArea(const LayoutMeasures& measures, int width) {
    CombinedLayout layout;
    int s = measures.lastPresetCheckTextWidth + measures.checkBoxAllowance;
    int x = 15;
    if (4 * s >= width - 61) {
        // Not enough room for the usual gaps: share what is left.
        x = width - 4 * s - 1;
        if (x < 4) {
            x = 1;
            s = (width - 5) / 4;
        } else {
            x = x / 4;
        }
    }
    const int y = measures.textHeight + 13 - PlacementLeading(measures);
    for (int i = 0; i < kTargetCount; ++i) layout.checks[i] = {x * (i + 1) + s * i, y, s, measures.controlHeight};
    return layout;
}

}  // namespace qdx::app
