#include "app/main_window/main_window.h"

#include <commctrl.h>

#include "app/common/controls.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "app/main_window/drop_target.h"
#include "app/options/options_dialog.h"
#include "core/os/private_files.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/text_ids.h"

namespace qdx::app {

namespace {

constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW;
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;

constexpr int kBottomRowIds[] = {IDC_MAIN_KEEP_ON_TOP, IDC_MAIN_OPTIONS, IDC_MAIN_CLOSE, IDC_MAIN_HELP, IDC_MAIN_VERSION};

HWND CombinedCheck(HWND window, int preset) {
    return ::GetDlgItem(::GetDlgItem(window, IDC_MAIN_COMBINED_AREA), IDC_MAIN_FIRST_COMBINED_CHECK + preset);
}

// A button with string `id` as its text and the main font.
HWND CreateButton(const MainWindowState& state, HWND parent, DWORD style, int id) {
    const WideString text = LanguageText(uint32_t(id));
    HWND child = ::CreateWindowExW(0, L"BUTTON", W(text.Text()), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, WPARAM(state.mainFont.Get()), FALSE);
    return child;
}

// A drop area of class `className`; it keeps the state as the main window does.
void CreateDropArea(MainWindowState& state, HWND parent, DWORD extendedStyle, const wchar_t* className, int id) {
    ::CreateWindowExW(extendedStyle, className, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, &state);
}

void MoveTo(HWND window, const Box& box) { ::MoveWindow(window, box.x, box.y, box.width, box.height, TRUE); }

void ArrangeChildren(const MainWindowState& state, HWND window, int width, int height) {
    const MainLayout layout = LayOutMainWindow(MeasureLayout(state, window), width, height);
    for (int i = 0; i < kTargetCount; ++i) MoveTo(::GetDlgItem(window, IDC_MAIN_FIRST_DROP_TARGET + i), layout.targets[i]);
    MoveTo(::GetDlgItem(window, IDC_MAIN_COMBINED_AREA), layout.combinedArea);
    MoveTo(::GetDlgItem(window, IDC_MAIN_KEEP_ON_TOP), layout.keepOnTop);
    for (int i = 0; i < kButtonCount; ++i) MoveTo(::GetDlgItem(window, IDC_MAIN_OPTIONS + i), layout.buttons[i]);
}

HWND CreateTooltips(const MainWindowState& state, HWND window) {
    HWND tooltip = CreateTooltipWindow(window, state.instance);
    if (!tooltip) return nullptr;
    ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleForDpi(kTooltipMaxWidth, state.dpi));
    for (int i = 0; i < kTargetCount; ++i) AddDropTargetTool(tooltip, window, ::GetDlgItem(window, IDC_MAIN_FIRST_DROP_TARGET + i));
    ::SendMessageW(tooltip, TTM_ACTIVATE, state.settings.showTooltips ? TRUE : FALSE, 0);
    return tooltip;
}

LRESULT OnCreate(MainWindowState& state, HWND window) {
    state.window = window;
    state.dpi = WindowDpi(window);
    const Settings& settings = state.settings;
    if (!RecreateMainFont(state, window)) return -1;
    for (int id = IDC_MAIN_OPTIONS; id <= IDC_MAIN_VERSION; ++id) CreateButton(state, window, WS_TABSTOP, id);
    HWND keepOnTop = CreateButton(state, window, WS_TABSTOP | BS_AUTOCHECKBOX, IDC_MAIN_KEEP_ON_TOP);
    ::SendMessageW(keepOnTop, BM_SETCHECK, settings.alwaysOnTop ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int i = 0; i < kTargetCount; ++i) {
        const DWORD accepts = settings.presets[i].targetDisabled ? 0 : WS_EX_ACCEPTFILES;
        CreateDropArea(state, window, accepts, kDropClass, IDC_MAIN_FIRST_DROP_TARGET + i);
    }
    CreateDropArea(state, window, WS_EX_ACCEPTFILES, kCombinedDropClass, IDC_MAIN_COMBINED_AREA);
    state.tooltip = CreateTooltips(state, window);
    RECT client{};
    ::GetClientRect(window, &client);
    ArrangeChildren(state, window, client.right, client.bottom);
    return 0;
}

// The normal (restored) rectangle less the frame the system adds around a
// client area of this window style. The position is in screen pixels; the
// client size is kept as it would be at 96 DPI, so that a settings file
// gives the same window on a display of any resolution.
WindowGeometry CurrentGeometry(HWND window, int dpi) {
    WindowGeometry geometry;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectForDpi(frame, kMainStyle, 0, dpi);
    if (!::GetWindowPlacement(window, &placement)) return geometry;
    const RECT& normal = placement.rcNormalPosition;
    geometry.left = normal.left;
    geometry.top = normal.top;
    geometry.clientWidth = UnscaleForDpi((normal.right - normal.left) - (frame.right - frame.left), dpi);
    geometry.clientHeight = UnscaleForDpi((normal.bottom - normal.top) - (frame.bottom - frame.top), dpi);
    return geometry;
}

void SaveCurrentSettings(const MainWindowState& state, HWND window) {
    const WindowGeometry geometry = CurrentGeometry(window, state.dpi);
    SaveSettings(state.settingsPath.Text(), state.settings, &geometry);
}

LRESULT OnClose(const MainWindowState& state, HWND window) {
    SaveCurrentSettings(state, window);
    ::DestroyWindow(window);
    return 0;
}

LRESULT OnDestroy(MainWindowState& state) {
    state.window = nullptr;
    state.tooltip = nullptr;
    state.sizing = false;
    ::PostQuitMessage(0);
    return 0;
}

// The session may end while a batch waits in a message box: its temporary
// files go now, as the process may not get to end it.
LRESULT OnEndSession(const MainWindowState& state, HWND window, WPARAM ending) {
    if (!ending) return 0;
    SaveCurrentSettings(state, window);
    os::RemovePrivateFilesNow();
    return 0;
}

LRESULT OnSize(const MainWindowState& state, HWND window, WPARAM kind, LPARAM size) {
    if (kind != SIZE_MINIMIZED) ArrangeChildren(state, window, LOWORD(size), HIWORD(size));
    return 0;
}

// `dpi`: of the window, once its state is there.
LRESULT OnGetMinMaxInfo(int dpi, LPARAM info) {
    RECT minimum{0, 0, ScaleForDpi(kMinClientWidth, dpi), ScaleForDpi(kMinClientHeight, dpi)};
    AdjustWindowRectForDpi(minimum, kMainStyle, 0, dpi);
    auto* limits = reinterpret_cast<MINMAXINFO*>(info);
    limits->ptMinTrackSize.x = minimum.right - minimum.left;
    limits->ptMinTrackSize.y = minimum.bottom - minimum.top;
    return 0;
}

void ShowCombinedChecks(HWND window, bool show) {
    for (int i = 0; i < kPresetCount; ++i) ::ShowWindow(CombinedCheck(window, i), show ? SW_SHOWNA : SW_HIDE);
}

LRESULT OnEnterSizeMove(MainWindowState& state, HWND window) {
    state.sizing = true;
    ShowCombinedChecks(window, false);
    return 0;
}

LRESULT OnExitSizeMove(MainWindowState& state, HWND window) {
    state.sizing = false;
    ShowCombinedChecks(window, true);
    ArrangeCombinedArea(state, ::GetDlgItem(window, IDC_MAIN_COMBINED_AREA));
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return 0;
}

void ToggleAlwaysOnTop(Settings& settings, HWND window) {
    uint8_t& onTop = settings.alwaysOnTop;
    onTop = onTop ? 0 : 1;
    ::SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

LRESULT OnCommand(MainWindowState& state, HWND window, int id, HWND control) {
    if (id >= IDC_MAIN_FIRST_COMBINED_CHECK && id < IDC_MAIN_FIRST_COMBINED_CHECK + kPresetCount) {
        state.settings.multiDropSelection[id - IDC_MAIN_FIRST_COMBINED_CHECK] =
            ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        return 0;
    }
    switch (id) {
        case IDC_MAIN_OPTIONS: OpenOptionsDialog(state); break;
        case IDC_MAIN_CLOSE: ::SendMessageW(window, WM_CLOSE, 0, 0); break;
        case IDC_MAIN_HELP: OpenHelp(); break;
        case IDC_MAIN_VERSION: ShowProgramVersion(state); break;
        case IDC_MAIN_KEEP_ON_TOP: ToggleAlwaysOnTop(state.settings, window); break;
        default: break;
    }
    return 0;
}

// The window moved to a monitor of another resolution (or that monitor's
// scale changed): the window takes the rectangle the system suggests, then
// the font, metrics and layout are made again for the new resolution.
LRESULT OnDpiChanged(MainWindowState& state, HWND window, WPARAM dpis, LPARAM suggested) {
    state.dpi = HIWORD(dpis);  // the vertical; both are the same
    const RECT& r = *reinterpret_cast<const RECT*>(suggested);
    ::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (state.tooltip) ::SendMessageW(state.tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleForDpi(kTooltipMaxWidth, state.dpi));
    ApplyMainFont(state);
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) KeepCreationParameter(window, lParam);
    MainWindowState* state = StateOf(window);
    // The minimum size is asked before WM_NCCREATE brings the state.
    if (message == WM_GETMINMAXINFO) return OnGetMinMaxInfo(state ? state->dpi : SystemDpi(), lParam);
    if (!state) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE: return OnCreate(*state, window);
        case WM_DESTROY: return OnDestroy(*state);
        case WM_CLOSE: return OnClose(*state, window);
        case WM_ENDSESSION: return OnEndSession(*state, window, wParam);
        case WM_SIZE: return OnSize(*state, window, wParam, lParam);
        case WM_DPICHANGED: return OnDpiChanged(*state, window, wParam, lParam);
        case WM_PAINT: PaintPlainBackground(window); return 0;
        case WM_ENTERSIZEMOVE: return OnEnterSizeMove(*state, window);
        case WM_EXITSIZEMOVE: return OnExitSizeMove(*state, window);
        case WM_COMMAND: return OnCommand(*state, window, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN: ::SetFocus(window); break;
        default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, LPCWSTR cursor, HICON icon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = ::LoadCursorW(nullptr, cursor);
    windowClass.lpszClassName = name;
    return ::RegisterClassExW(&windowClass) != 0;
}

}  // namespace

bool RegisterWindowClasses(HINSTANCE instance) {
    HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    return RegisterClass(instance, kMainClass, MainWindowProc, IDC_ARROW, icon) &&
           RegisterClass(instance, kDropClass, DropTargetProc, IDC_HAND, nullptr) &&
           RegisterClass(instance, kCombinedDropClass, CombinedAreaProc, IDC_ARROW, nullptr);
}

Placement FitToWorkArea(int left, int top, int width, int height, const RECT* work) {
    if (work) {
        left = left >= work->left ? std::min(left, int(work->right) - width) : int(work->left);
        top = top >= work->top ? std::min(top, int(work->bottom) - height) : int(work->top);
    }
    return {left, top, width, height};
}

HWND CreateMainWindow(MainWindowState& state) {
    const Settings& settings = state.settings;
    // The stored client size is at 96 DPI; the monitor under the stored
    // position tells the resolution it is drawn at.
    const int clientWidth = std::max(settings.clientWidth, kMinClientWidth);
    const int clientHeight = std::max(settings.clientHeight, kMinClientHeight);
    const RECT stored{settings.windowLeft, settings.windowTop, settings.windowLeft + clientWidth,
                      settings.windowTop + clientHeight};
    state.dpi = DpiOfArea(stored);
    RECT bounds{0, 0, ScaleForDpi(clientWidth, state.dpi), ScaleForDpi(clientHeight, state.dpi)};
    AdjustWindowRectForDpi(bounds, kMainStyle, 0, state.dpi);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    // Keep the window on the work area of the nearest monitor.
    RECT wanted{settings.windowLeft, settings.windowTop, settings.windowLeft + width, settings.windowTop + height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const bool known = ::GetMonitorInfoW(::MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &monitor);
    const Placement place =
        FitToWorkArea(settings.windowLeft, settings.windowTop, width, height, known ? &monitor.rcWork : nullptr);
    const DWORD extended = settings.alwaysOnTop ? WS_EX_TOPMOST : 0;
    return ::CreateWindowExW(extended, kMainClass, W(kProgramTitle), kMainStyle, place.left, place.top, place.width,
                             place.height, nullptr, nullptr, state.instance, &state);
}

LayoutMeasures MeasureLayout(const MainWindowState& state, HWND window) {
    const InterfaceMetrics& metrics = state.metrics;
    LayoutMeasures measures;
    measures.textHeight = metrics.textHeight;
    measures.controlHeight = metrics.controlHeight;
    measures.internalLeading = metrics.internalLeading;
    measures.checkBoxAllowance = metrics.checkBoxAllowance;
    measures.dpi = state.dpi;
    HFONT font = state.mainFont.Get();
    measures.keepOnTopTextWidth = TextWidth(window, font, LanguageText(IDC_MAIN_KEEP_ON_TOP).Text());
    for (int id = IDC_MAIN_OPTIONS; id <= IDC_MAIN_VERSION; ++id)
        measures.widestButtonTextWidth =
            std::max(measures.widestButtonTextWidth, TextWidth(window, font, LanguageText(uint32_t(id)).Text()));
    measures.lastPresetCheckTextWidth = TextWidth(window, font, LanguageText(IDC_MAIN_FIRST_COMBINED_CHECK + 3).Text());
    return measures;
}

void ArrangeMainWindow(const MainWindowState& state) {
    HWND window = state.window;
    if (!window) return;
    RECT client{};
    ::GetClientRect(window, &client);
    ArrangeChildren(state, window, client.right, client.bottom);
    ArrangeCombinedArea(state, ::GetDlgItem(window, IDC_MAIN_COMBINED_AREA));
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void ApplyMainFont(MainWindowState& state) {
    HWND window = state.window;
    if (!window || !RecreateMainFont(state, window)) return;
    const WPARAM font = WPARAM(state.mainFont.Get());
    for (int id : kBottomRowIds) ::SendDlgItemMessageW(window, id, WM_SETFONT, font, FALSE);
    for (int i = 0; i < kPresetCount; ++i) ::SendMessageW(CombinedCheck(window, i), WM_SETFONT, font, FALSE);
    ArrangeMainWindow(state);
}

void ResetMainWindowTexts(MainWindowState& state) {
    HWND window = state.window;
    if (!window) return;
    HFONT font = state.mainFont.Get();
    for (int id : kBottomRowIds) SetTextFromString(window, id, font);
    for (int i = 0; i < kPresetCount; ++i)
        SetTextFromString(::GetDlgItem(window, IDC_MAIN_COMBINED_AREA), IDC_MAIN_FIRST_COMBINED_CHECK + i, font);
    if (state.tooltip) RefreshTooltips(state.tooltip, window, TTM_UPDATETIPTEXTW);
    ArrangeMainWindow(state);
}

void ApplyTooltipSetting(const MainWindowState& state) {
    if (state.tooltip) ::SendMessageW(state.tooltip, TTM_ACTIVATE, state.settings.showTooltips ? TRUE : FALSE, 0);
}

// Keys typed while the batch kept the window busy wait in the queue; a
// message box would take an Enter, Space or Escape among them and close
// before it was seen.
namespace {
void DiscardQueuedKeys() {
    MSG key;
    while (::PeekMessageW(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}
}  // namespace

void MainWindowHost::ShowErrorMessageNaming(uint32_t textId, const char16_t* name) {
    WideString text, caption;
    ErrorMessageTexts(textId, CurrentTextSource(), text, caption, name);
    ShowErrorBox(text, caption);
}

void MainWindowHost::ShowPictureTooLarge(uint32_t width, uint32_t height) {
    WideString text, caption;
    AppendText(caption, kTextErrorCaption, CurrentTextSource());
    PictureTooLargeText(CurrentTextSource(), width, height, text);
    ShowErrorBox(text, caption);
}

void MainWindowHost::ShowErrorBox(const WideString& text, const WideString& caption) {
    DiscardQueuedKeys();
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::MessageBoxW(window_, W(text.Text()), W(caption.Text()), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void MainWindowHost::SetBusyTitle() {
    WideString title;
    BusyTitleText(CurrentTextSource(), title);
    ::SetWindowTextW(window_, W(title.Text()));
}

void MainWindowHost::RestoreTitle() { ::SetWindowTextW(window_, W(kProgramTitle)); }

void MainWindowHost::BatchStarts(uint32_t fileCount) {
    stopped_ = false;
    done_ = 0;
    total_ = fileCount;
    // Forget an Escape pressed before the batch (in the version window, a
    // dialog): only a press during the batch stops it.
    ::GetAsyncKeyState(VK_ESCAPE);
}

void MainWindowHost::FileDone(uint32_t, FileOutcome) {
    ++done_;
    WideString title;
    ProgressTitleText(CurrentTextSource(), done_, total_, title);
    ::SetWindowTextW(window_, W(title.Text()));
    RepaintWithoutInput();
}

void MainWindowHost::KeepResponsive() { RepaintWithoutInput(); }

bool MainWindowHost::StopRequested() {
    constexpr SHORT kHeld = SHORT(0x8000), kPressedSince = 1;
    if (!stopped_ && ::GetForegroundWindow() == window_) {
        const SHORT state = ::GetAsyncKeyState(VK_ESCAPE);
        stopped_ = (state & kHeld) != 0 || (state & kPressedSince) != 0;
    }
    return stopped_;
}

void MainWindowHost::BatchStopped(uint32_t written) {
    // The Escape that stopped the batch is among them.
    DiscardQueuedKeys();
    WideString text;
    StoppedMessageText(CurrentTextSource(), written, text);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::MessageBoxW(window_, W(text.Text()), W(kProgramTitle), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void RepaintWithoutInput() {
    // Peeking for paint alone still delivers sent messages, so the window
    // counts as responding; a window that never validates cannot hold us.
    constexpr int kMostPaints = 64;
    MSG message;
    for (int i = 0; i < kMostPaints && ::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        ::DispatchMessageW(&message);
}

void ShowStartupError(const wchar_t* text) {
    ::MessageBoxW(nullptr, text, L"Error", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace qdx::app
