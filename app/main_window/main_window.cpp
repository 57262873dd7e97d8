#include "app/main_window/main_window.h"

#include <commctrl.h>

#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/main_window/drop_target.h"
#include "app/options/options_dialog.h"
#include "app/startup/app_state.h"
#include "core/os/private_files.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/string_ids.h"

namespace qdx::app {

namespace {

constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW;
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;


// The main window's own state beside the process-wide one.
struct MainWindowParts {
    HWND tooltip = nullptr;
    bool sizing = false;
};
MainWindowParts g_parts;

constexpr int kBottomRowIds[] = {kKeepOnTopId, kOptionsButtonId, kCloseButtonId, kHelpButtonId, kVersionButtonId};

HWND Child(int id) { return ::GetDlgItem(State().mainWindow, id); }
HWND CombinedCheck(int preset) { return ::GetDlgItem(Child(kCombinedAreaId), kFirstCombinedCheckId + preset); }

HWND CreateChild(HWND parent, DWORD extendedStyle, const wchar_t* className, DWORD style, int id) {
    const WideString text = LanguageText(uint32_t(id));
    HWND child = ::CreateWindowExW(extendedStyle, className, W(text.Text()), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), State().instance, nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, WPARAM(State().mainFont.Get()), FALSE);
    return child;
}

void MoveTo(HWND window, const Box& box) { ::MoveWindow(window, box.x, box.y, box.width, box.height, TRUE); }

void ArrangeChildren(HWND window, int width, int height) {
    const MainLayout layout = LayOutMainWindow(MeasureLayout(window), width, height);
    for (int i = 0; i < kTargetCount; ++i) MoveTo(::GetDlgItem(window, kFirstDropTargetId + i), layout.targets[i]);
    MoveTo(::GetDlgItem(window, kCombinedAreaId), layout.combinedArea);
    MoveTo(::GetDlgItem(window, kKeepOnTopId), layout.keepOnTop);
    for (int i = 0; i < kButtonCount; ++i) MoveTo(::GetDlgItem(window, kOptionsButtonId + i), layout.buttons[i]);
}

HWND CreateTooltips(HWND window) {
    HWND tooltip = CreateTooltipWindow(window, State().instance);
    if (!tooltip) return nullptr;
    ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, kTooltipMaxWidth);
    for (int i = 0; i < kTargetCount; ++i) AddDropTargetTool(tooltip, window, ::GetDlgItem(window, kFirstDropTargetId + i));
    ::SendMessageW(tooltip, TTM_ACTIVATE, CurrentSettings().showTooltips ? TRUE : FALSE, 0);
    return tooltip;
}

LRESULT OnCreate(HWND window) {
    State().mainWindow = window;
    const Settings& settings = CurrentSettings();
    if (!RecreateMainFont(window)) return -1;
    for (int id = kOptionsButtonId; id <= kVersionButtonId; ++id) CreateChild(window, 0, L"BUTTON", WS_TABSTOP, id);
    HWND keepOnTop = CreateChild(window, 0, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, kKeepOnTopId);
    ::SendMessageW(keepOnTop, BM_SETCHECK, settings.alwaysOnTop ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int i = 0; i < kTargetCount; ++i) {
        const DWORD accepts = settings.presets[i].targetDisabled ? 0 : WS_EX_ACCEPTFILES;
        ::CreateWindowExW(accepts, kDropClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstDropTargetId + i)), State().instance,
                          nullptr);
    }
    ::CreateWindowExW(WS_EX_ACCEPTFILES, kCombinedDropClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCombinedAreaId)), State().instance, nullptr);
    g_parts.tooltip = CreateTooltips(window);
    RECT client{};
    ::GetClientRect(window, &client);
    ArrangeChildren(window, client.right, client.bottom);
    return 0;
}

// The normal (restored) rectangle less the frame the system adds around a
// client area of this window style.
WindowGeometry CurrentGeometry(HWND window) {
    WindowGeometry geometry;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, kMainStyle, FALSE, 0);
    if (!::GetWindowPlacement(window, &placement)) return geometry;
    const RECT& normal = placement.rcNormalPosition;
    geometry.left = normal.left;
    geometry.top = normal.top;
    geometry.clientWidth = (normal.right - normal.left) - (frame.right - frame.left);
    geometry.clientHeight = (normal.bottom - normal.top) - (frame.bottom - frame.top);
    return geometry;
}

void SaveCurrentSettings(HWND window) {
    const WindowGeometry geometry = CurrentGeometry(window);
    SaveSettings(State().settingsPath.Text(), CurrentSettings(), &geometry);
}

LRESULT OnClose(HWND window) {
    SaveCurrentSettings(window);
    ::DestroyWindow(window);
    return 0;
}

LRESULT OnDestroy() {
    g_parts = MainWindowParts{};
    State().mainWindow = nullptr;
    ::PostQuitMessage(0);
    return 0;
}

// The session may end while a batch waits in a message box: its temporary
// files go now, as the process may not get to end it.
LRESULT OnEndSession(HWND window, WPARAM ending) {
    if (!ending) return 0;
    SaveCurrentSettings(window);
    os::RemovePrivateFilesNow();
    return 0;
}

LRESULT OnSize(HWND window, WPARAM kind, LPARAM size) {
    if (kind != SIZE_MINIMIZED) ArrangeChildren(window, LOWORD(size), HIWORD(size));
    return 0;
}

LRESULT OnGetMinMaxInfo(LPARAM info) {
    RECT minimum{0, 0, kMinClientWidth, kMinClientHeight};
    ::AdjustWindowRectEx(&minimum, kMainStyle, FALSE, 0);
    auto* limits = reinterpret_cast<MINMAXINFO*>(info);
    limits->ptMinTrackSize.x = minimum.right - minimum.left;
    limits->ptMinTrackSize.y = minimum.bottom - minimum.top;
    return 0;
}

void ShowCombinedChecks(bool show) {
    for (int i = 0; i < kPresetCount; ++i) ::ShowWindow(CombinedCheck(i), show ? SW_SHOWNA : SW_HIDE);
}

LRESULT OnEnterSizeMove() {
    g_parts.sizing = true;
    ShowCombinedChecks(false);
    return 0;
}

LRESULT OnExitSizeMove(HWND window) {
    g_parts.sizing = false;
    ShowCombinedChecks(true);
    ArrangeCombinedArea(::GetDlgItem(window, kCombinedAreaId));
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return 0;
}

void ToggleAlwaysOnTop(HWND window) {
    uint8_t& onTop = CurrentSettings().alwaysOnTop;
    onTop = onTop ? 0 : 1;
    ::SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

LRESULT OnCommand(HWND window, int id, HWND control) {
    if (id >= kFirstCombinedCheckId && id < kFirstCombinedCheckId + kPresetCount) {
        CurrentSettings().multiDropSelection[id - kFirstCombinedCheckId] =
            ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        return 0;
    }
    switch (id) {
        case kOptionsButtonId: OpenOptionsDialog(window); break;
        case kCloseButtonId: ::SendMessageW(window, WM_CLOSE, 0, 0); break;
        case kHelpButtonId: OpenHelp(); break;
        case kVersionButtonId: ShowProgramVersion(window); break;
        case kKeepOnTopId: ToggleAlwaysOnTop(window); break;
        default: break;
    }
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(window);
        case WM_DESTROY: return OnDestroy();
        case WM_CLOSE: return OnClose(window);
        case WM_ENDSESSION: return OnEndSession(window, wParam);
        case WM_SIZE: return OnSize(window, wParam, lParam);
        case WM_PAINT: PaintPlainBackground(window); return 0;
        case WM_GETMINMAXINFO: return OnGetMinMaxInfo(lParam);
        case WM_ENTERSIZEMOVE: return OnEnterSizeMove();
        case WM_EXITSIZEMOVE: return OnExitSizeMove(window);
        case WM_COMMAND: return OnCommand(window, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
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
    HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(100));
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

HWND CreateMainWindow(HINSTANCE instance) {
    const Settings& settings = CurrentSettings();
    RECT bounds{0, 0, std::max(settings.clientWidth, kMinClientWidth), std::max(settings.clientHeight, kMinClientHeight)};
    ::AdjustWindowRectEx(&bounds, kMainStyle, FALSE, 0);
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
                             place.height, nullptr, nullptr, instance, nullptr);
}

LayoutMeasures MeasureLayout(HWND window) {
    const InterfaceMetrics& metrics = Metrics();
    LayoutMeasures measures;
    measures.textHeight = metrics.textHeight;
    measures.controlHeight = metrics.controlHeight;
    measures.internalLeading = metrics.internalLeading;
    measures.checkBoxAllowance = metrics.checkBoxAllowance;
    HFONT font = State().mainFont.Get();
    measures.keepOnTopTextWidth = TextWidth(window, font, LanguageText(kKeepOnTopId).Text());
    for (int id = kOptionsButtonId; id <= kVersionButtonId; ++id)
        measures.widestButtonTextWidth =
            std::max(measures.widestButtonTextWidth, TextWidth(window, font, LanguageText(uint32_t(id)).Text()));
    measures.lastPresetCheckTextWidth = TextWidth(window, font, LanguageText(kFirstCombinedCheckId + 3).Text());
    return measures;
}

bool IsSizing() { return g_parts.sizing; }

void ArrangeMainWindow() {
    HWND window = State().mainWindow;
    if (!window) return;
    RECT client{};
    ::GetClientRect(window, &client);
    ArrangeChildren(window, client.right, client.bottom);
    ArrangeCombinedArea(Child(kCombinedAreaId));
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void ApplyMainFont() {
    HWND window = State().mainWindow;
    if (!window || !RecreateMainFont(window)) return;
    for (int id : kBottomRowIds) ::SendMessageW(Child(id), WM_SETFONT, WPARAM(State().mainFont.Get()), FALSE);
    for (int i = 0; i < kPresetCount; ++i) ::SendMessageW(CombinedCheck(i), WM_SETFONT, WPARAM(State().mainFont.Get()), FALSE);
    ArrangeMainWindow();
}

void ResetMainWindowTexts() {
    HWND window = State().mainWindow;
    if (!window) return;
    for (int id : kBottomRowIds) SetTextFromString(window, id);
    for (int i = 0; i < kPresetCount; ++i) SetTextFromString(Child(kCombinedAreaId), kFirstCombinedCheckId + i);
    if (g_parts.tooltip) RefreshTooltips(g_parts.tooltip, window, TTM_UPDATETIPTEXTW);
    ArrangeMainWindow();
}

void ApplyTooltipSetting() {
    if (g_parts.tooltip) ::SendMessageW(g_parts.tooltip, TTM_ACTIVATE, CurrentSettings().showTooltips ? TRUE : FALSE, 0);
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
