#include "app/main_window.h"

#include "app/app_state.h"
#include "core/settings.h"
#include "core/settings_file.h"

namespace qdx::app {

namespace {

constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW;
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

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

LRESULT OnEndSession(HWND window, WPARAM ending) {
    if (ending) SaveCurrentSettings(window);
    return 0;
}

LRESULT OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    ::FillRect(dc, &paint.rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
    ::EndPaint(window, &paint);
    return 0;
}

LRESULT OnGetMinMaxInfo(LPARAM info) {
    RECT minimum{0, 0, 330, 220};
    ::AdjustWindowRectEx(&minimum, kMainStyle, FALSE, 0);
    auto* limits = reinterpret_cast<MINMAXINFO*>(info);
    limits->ptMinTrackSize.x = minimum.right - minimum.left;
    limits->ptMinTrackSize.y = minimum.bottom - minimum.top;
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: return OnClose(window);
        case WM_ENDSESSION: return OnEndSession(window, wParam);
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        case WM_PAINT: return OnPaint(window);
        case WM_GETMINMAXINFO: return OnGetMinMaxInfo(lParam);
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
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
    // The drop targets and the combined area are drawn by the full main window;
    // until then they paint and behave like plain windows.
    return RegisterClass(instance, kMainClass, MainWindowProc, IDC_ARROW, icon) &&
           RegisterClass(instance, kDropClass, ::DefWindowProcW, IDC_HAND, nullptr) &&
           RegisterClass(instance, kCombinedDropClass, ::DefWindowProcW, IDC_ARROW, nullptr);
}

HWND CreateMainWindow(HINSTANCE instance) {
    const Settings& settings = CurrentSettings();
    RECT bounds{0, 0, settings.clientWidth, settings.clientHeight};
    ::AdjustWindowRectEx(&bounds, kMainStyle, FALSE, 0);
    int width = bounds.right - bounds.left;
    int height = bounds.bottom - bounds.top;
    int left = settings.windowLeft;
    int top = settings.windowTop;
    // Keep the window on the work area of the nearest monitor.
    RECT wanted{left, top, left + width, top + height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        left = left >= work.left ? (left < work.right - width ? left : work.right - width) : work.left;
        top = top >= work.top ? (top < work.bottom - height ? top : work.bottom - height) : work.top;
    }
    const DWORD extended = settings.alwaysOnTop ? WS_EX_TOPMOST : 0;
    return ::CreateWindowExW(extended, kMainClass, L"Quillodex", kMainStyle, left, top, width, height, nullptr,
                             nullptr, instance, nullptr);
}

void MainWindowHost::ShowErrorMessage(uint32_t textId) {
    WideString text, caption;
    ErrorMessageTexts(textId, CurrentTextSource(), text, caption);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::MessageBoxW(window_, W(text.Text()), W(caption.Text()), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void MainWindowHost::SetBusyTitle() {
    WideString title;
    BusyTitleText(CurrentTextSource(), title);
    ::SetWindowTextW(window_, W(title.Text()));
}

void MainWindowHost::RestoreTitle() { ::SetWindowTextW(window_, W(kProgramTitle)); }

void ShowStartupError(const wchar_t* text) {
    ::MessageBoxW(nullptr, text, L"Error", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace qdx::app
