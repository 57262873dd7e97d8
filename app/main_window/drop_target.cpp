#include "app/main_window/drop_target.h"

#include <memory>
#include <new>

#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/main_window/drop_summary.h"
#include "app/main_window/main_window.h"
#include "app/preset_dialog/preset_dialog.h"
#include "batch/batch.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/text_ids.h"

namespace qdx::app {

namespace {

// Sizes at 96 DPI.
constexpr int kCornerWidth = 16;
constexpr int kCornerHeight = 12;
constexpr int kTextLeft = 8;
constexpr int kTitleTop = 8;    // of the title, less the leading
constexpr int kLineGap = 5;     // between summary lines, beyond the text height
constexpr int kDetailGap = 16;  // between the format name and its options
constexpr int kOutlineWidth = 1;

// Pen, brush and font chosen into a device context for one painting; the
// selections end before the pen and brush are deleted.
class PaintTools {
public:
    PaintTools(HDC dc, COLORREF fill, COLORREF outline, int outlineWidth, HFONT font)
        : brush_(::CreateSolidBrush(fill)),
          pen_(::CreatePen(PS_SOLID, outlineWidth, outline)),
          brushSelected_(dc, brush_.Get()),
          penSelected_(dc, pen_.Get()),
          fontSelected_(dc, font) {
        ::SetBkMode(dc, TRANSPARENT);
    }

private:
    BrushHandle brush_;
    PenHandle pen_;
    SelectedObject brushSelected_, penSelected_, fontSelected_;
};

int Leading(const MainWindowState& state) {
    const int most = ScaleForDpi(kMaxLeading, state.dpi);
    return state.metrics.internalLeading < most ? state.metrics.internalLeading : most;
}

// Pen, brush and font of a drop area at the main window's resolution.
PaintTools ToolsFor(const MainWindowState& state, HDC dc, COLORREF fill, COLORREF outline) {
    return PaintTools(dc, fill, outline, ScaleForDpi(kOutlineWidth, state.dpi), state.mainFont.Get());
}

void PutTitle(const MainWindowState& state, HDC dc, const WideString& title) {
    const int dpi = state.dpi;
    ::TextOutW(dc, ScaleForDpi(kTextLeft, dpi), ScaleForDpi(kTitleTop, dpi) - Leading(state), W(title.Text()),
               int(title.Length()));
}

void PutText(HDC dc, int x, int y, const WideString& text) {
    ::TextOutW(dc, x, y, W(text.Text()), int(text.Length()));
}

// The rounded outline every drop area has; the corners keep the face colour.
void DrawFrame(HWND window, HDC dc, int dpi) {
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    // A wider pen is centred on the outline: keep all of it inside.
    const int inset = ScaleForDpi(kOutlineWidth, dpi) / 2;
    ::RoundRect(dc, client.left + inset, client.top + inset, client.right - inset, client.bottom - inset,
                ScaleForDpi(kCornerWidth, dpi), ScaleForDpi(kCornerHeight, dpi));
}

void DrawSummary(const MainWindowState& state, HDC dc, const Preset& preset) {
    const DropSummary summary = SummarizePreset(preset, state.settings.globalOutputFolder, CurrentTextSource());
    ::SetTextColor(dc, preset.targetDisabled ? kDisabledSummaryColour : kSummaryColour);
    const int dpi = state.dpi;
    const int textHeight = state.metrics.textHeight;
    const int leading = Leading(state);
    const int left = ScaleForDpi(kTextLeft, dpi);
    const int step = textHeight + ScaleForDpi(kLineGap, dpi) - leading;
    int y = textHeight + ScaleForDpi(kLineGap, dpi) - 2 * leading + ScaleForDpi(kTitleTop, dpi);
    PutText(dc, left, y, summary.format);
    SIZE format{};
    ::GetTextExtentPoint32W(dc, W(summary.format.Text()), int(summary.format.Length()), &format);
    PutText(dc, left + format.cx + ScaleForDpi(kDetailGap, dpi), y, summary.formatDetail);
    for (const WideString* line : {&summary.resize, &summary.suffix, &summary.folder, &summary.subfolder}) {
        y += step;
        PutText(dc, left, y, *line);
    }
}

int PresetIndexOf(HWND target) {
    const int index = ::GetDlgCtrlID(target) - IDC_MAIN_FIRST_DROP_TARGET;
    return index >= 0 && index < kPresetCount ? index : 0;
}

LRESULT OnPaintTarget(const MainWindowState& state, HWND window) {
    const int index = PresetIndexOf(window);
    const TargetColours& colours = kTargetColours[index];
    const PaintDC paint(window);
    HDC dc = paint.Get();
    const PaintTools tools = ToolsFor(state, dc, colours.fill, colours.outline);
    DrawFrame(window, dc, state.dpi);
    ::SetTextColor(dc, colours.title);
    PutTitle(state, dc, DropTargetTitle(index + 1, CurrentTextSource()));
    // While the window is sized only the titles are drawn.
    if (!state.sizing) DrawSummary(state, dc, state.settings.presets[index]);
    return 0;
}

// Drops count only while no modal window (preset, options, version) is open.
bool MainWindowTakesDrops(const MainWindowState& state) { return state.window && ::IsWindowEnabled(state.window); }

LRESULT OnTargetDrop(const MainWindowState& state, HWND window, DropHandle drop) {
    const int index = PresetIndexOf(window);
    if (!MainWindowTakesDrops(state) || state.settings.presets[index].targetDisabled) return 0;
    uint8_t selection[kPresetCount] = {};
    selection[index] = 1;
    HandleDrop(state, drop.Get(), selection);
    return 0;
}

LRESULT OnPaintCombinedArea(const MainWindowState& state, HWND window) {
    const PaintDC paint(window);
    HDC dc = paint.Get();
    const PaintTools tools = ToolsFor(state, dc, kCombinedFill, kCombinedOutline);
    DrawFrame(window, dc, state.dpi);
    ::SetTextColor(dc, kCombinedTitle);
    PutTitle(state, dc, CombinedAreaTitle(CurrentTextSource()));
    return 0;
}

LRESULT OnCreateCombinedArea(const MainWindowState& state, HWND window) {
    for (int i = 0; i < kPresetCount; ++i) {
        HWND box = CreateCheckBox(window, IDC_MAIN_FIRST_COMBINED_CHECK + i, state.mainFont.Get(), state.metrics.controlHeight);
        ::SendMessageW(box, BM_SETCHECK, state.settings.multiDropSelection[i] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return 0;
}

LRESULT OnCombinedDrop(const MainWindowState& state, DropHandle drop) {
    if (!MainWindowTakesDrops(state)) return 0;
    // A copy: a check box clicked during the batch waits until it ends anyway.
    uint8_t selection[kPresetCount];
    for (int i = 0; i < kPresetCount; ++i) selection[i] = state.settings.multiDropSelection[i];
    HandleDrop(state, drop.Get(), selection);
    return 0;
}

LRESULT OnCombinedChildColour(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    return LRESULT(::GetStockObject(WHITE_BRUSH));
}

}  // namespace

void HandleDrop(const MainWindowState& state, HDROP drop, const uint8_t selection[4]) {
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::unique_ptr<WideString[]> paths(count ? new (std::nothrow) WideString[count] : nullptr);
    MainWindowHost host(state.window);
    if (count && !paths) {
        host.ShowErrorMessage(kTextOutOfMemory);
        return;
    }
    uint32_t kept = 0;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) break;
        WideString& path = paths[kept];
        char16_t* out = path.ReserveForWriting(length);
        if (!out || !::DragQueryFileW(drop, i, W(out), length + 1)) continue;
        path.RecomputeLength();
        ++kept;
    }
    // Folders are walked or skipped as the settings say.
    if (kept > 0) ConvertDroppedItems(host, paths.get(), kept, selection, state.settings);
}

void ArrangeCombinedArea(const MainWindowState& state, HWND area) {
    RECT client{};
    ::GetClientRect(area, &client);
    const CombinedLayout layout = LayOutCombinedArea(MeasureLayout(state, area), client.right);
    for (int i = 0; i < kPresetCount; ++i) {
        const Box& box = layout.checks[i];
        ::MoveWindow(::GetDlgItem(area, IDC_MAIN_FIRST_COMBINED_CHECK + i), box.x, box.y, box.width, box.height, TRUE);
    }
}

LRESULT CALLBACK DropTargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) KeepCreationParameter(window, lParam);
    MainWindowState* state = StateOf(window);
    if (!state) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT: return OnPaintTarget(*state, window);
        case WM_LBUTTONDOWN: OpenPresetDialog(*state, PresetIndexOf(window), window); return 0;
        case WM_DROPFILES: return OnTargetDrop(*state, window, DropHandle(reinterpret_cast<HDROP>(wParam)));
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK CombinedAreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) KeepCreationParameter(window, lParam);
    MainWindowState* state = StateOf(window);
    if (!state) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE: return OnCreateCombinedArea(*state, window);
        case WM_SIZE:
            if (!state->sizing) ArrangeCombinedArea(*state, window);
            return 0;
        case WM_PAINT: return OnPaintCombinedArea(*state, window);
        case WM_COMMAND: return ::SendMessageW(::GetParent(window), WM_COMMAND, wParam, lParam);
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: return OnCombinedChildColour(reinterpret_cast<HDC>(wParam));
        case WM_DROPFILES: return OnCombinedDrop(*state, DropHandle(reinterpret_cast<HDROP>(wParam)));
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace qdx::app
