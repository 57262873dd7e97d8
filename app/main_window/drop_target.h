#pragma once
// The drop targets (one per preset) and the combined drop area: their window
// procedures, painting and the handling of dropped files.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "app/main_window/main_window_state.h"

namespace qdx::app {

LRESULT CALLBACK DropTargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CombinedAreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Both keep the main window's state, their creation parameter, in their user
// data.
// Converts the dropped files (folders skipped) with the presets set in
// `selection`; the caller's owner releases the handle.
void HandleDrop(const MainWindowState& state, HDROP drop, const uint8_t selection[4]);

// Places the combined area's check boxes for its current width.
void ArrangeCombinedArea(const MainWindowState& state, HWND area);

// Drop-target colours, by target.
struct TargetColours {
    COLORREF fill, outline, title;
};
inline constexpr TargetColours kTargetColours[4] = {
    {0xFFF8F0, 0xC0B080, 0x807000},
    {0xF8F0FF, 0xB0A0C0, 0x800090},
    {0xF0FFFF, 0x80C0C0, 0x008080},
    {0xE0FFE0, 0x80C080, 0x008000},
};
inline constexpr COLORREF kSummaryColour = 0x000000;
inline constexpr COLORREF kDisabledSummaryColour = 0x808080;
inline constexpr COLORREF kCombinedFill = 0xFFFFFF;
inline constexpr COLORREF kCombinedOutline = 0xB0B0B0;
inline constexpr COLORREF kCombinedTitle = 0x606060;

}  // namespace qdx::app
