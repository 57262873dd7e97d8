#pragma once
// Where the main window's children go, computed from measured text widths
// and font metrics alone, so that it can be checked without a window. The
// fixed gaps and heights are designed at 96 DPI and drawn at `dpi`.
#include "app/common/dpi_scale.h"

namespace qdx::app {

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
inline bool operator==(const Box& a, const Box& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// What the layout needs of the main font and the texts.
struct LayoutMeasures {
    int textHeight = 0;
    int controlHeight = 0;
    int internalLeading = 0;      // capped at kMaxLeading for placement
    int checkBoxAllowance = 0;
    int keepOnTopTextWidth = 0;        // kTextKeepOnTop
    int widestButtonTextWidth = 0;     // the widest of the four buttons' texts
    int lastPresetCheckTextWidth = 0;  // kTextCombinedPreset4
    int dpi = kBaseDpi;                // of the monitor the window is on
};

inline constexpr int kMaxLeading = 5;        // at 96 DPI
inline constexpr int kMinClientWidth = 330;  // at 96 DPI
inline constexpr int kMinClientHeight = 220;
inline constexpr int kTargetCount = 4;
inline constexpr int kButtonCount = 4;

struct MainLayout {
    Box targets[kTargetCount];
    Box combinedArea;
    Box keepOnTop;
    Box buttons[kButtonCount];
};

// The children of a client area `width` x `height`.
MainLayout LayOutMainWindow(const LayoutMeasures& measures, int width, int height);

// The four check boxes of a combined area `width` wide (in its own client
// coordinates).
struct CombinedLayout {
    Box checks[kTargetCount];
};
CombinedLayout LayOutCombinedArea(const LayoutMeasures& measures, int width);

// The leading used for placement: the font's internal leading, at most 5
// (at 96 DPI).
int PlacementLeading(const LayoutMeasures& measures);

}  // namespace qdx::app
