#pragma once
// Sizes are designed at 96 dots per inch and drawn at the DPI of the monitor
// a window is on. These plain functions turn one into the other.
namespace qdx::app {

inline constexpr int kBaseDpi = 96;

// `value`, a size at 96 DPI, at `dpi` (rounded to the nearest pixel, halves
// away from zero). A DPI of zero or less counts as 96.
constexpr int ScaleForDpi(int value, int dpi) {
    if (dpi <= 0) return value;
    const long long product = static_cast<long long>(value) * dpi;
    const long long half = kBaseDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi : -((-product + half) / kBaseDpi));
}

// `value`, a size at `dpi`, as it would be at 96 DPI (the inverse of
// ScaleForDpi, rounded the same way).
constexpr int UnscaleForDpi(int value, int dpi) {
    if (dpi <= 0) return value;
    const long long product = static_cast<long long>(value) * kBaseDpi;
    const long long half = dpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / dpi : -((-product + half) / dpi));
}

}  // namespace qdx::app
