#include "app/main_window/version_window.h"

#include "app/common/controls.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "app/shell/shell_utilities.h"

namespace qdx::app {

namespace {

// Sizes at 96 DPI.
constexpr int kClientWidth = 274;
constexpr int kClientHeight = 75;
constexpr int kTextLeft = 12;
constexpr int kTextWidth = 250;
constexpr int kTextHeight = 20;
constexpr int kRowTops[3] = {7, 27, 47};
constexpr int kChildIds[3] = {kVersionTextId, kNoticeTextId, kAddressId};
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr DWORD kWindowExtendedStyle = WS_EX_DLGMODALFRAME;

// What the window procedures need while the window is open; handed in at
// creation and kept in the window's user data (the address control reads
// its parent's).
struct VersionWindowData {
    const MainWindowState* state = nullptr;
    const VersionInfo* info = nullptr;
    HWND owner = nullptr;
    WideString lines[2];
    int dpi = kBaseDpi;  // the window's sizes are drawn at
};

VersionWindowData* DataOf(HWND window) { return UserDataOf<VersionWindowData>(window); }

// True while this thread shows a version window.
bool VersionWindowOpen() {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (::lstrcmpW(name, kVersionInfoClass) != 0) return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found != nullptr;
}

// Places the three rows at the window's resolution, in the main font.
void PlaceChildren(HWND window, const VersionWindowData& data) {
    const int dpi = data.dpi;
    for (int row = 0; row < 3; ++row) {
        HWND child = ::GetDlgItem(window, kChildIds[row]);
        ::SendMessageW(child, WM_SETFONT, WPARAM(data.state->mainFont.Get()), FALSE);
        ::MoveWindow(child, ScaleForDpi(kTextLeft, dpi), ScaleForDpi(kRowTops[row], dpi), ScaleForDpi(kTextWidth, dpi),
                     ScaleForDpi(kTextHeight, dpi), TRUE);
    }
}

HWND CreateChild(const MainWindowState& state, HWND parent, const wchar_t* className, const char16_t* text,
                 DWORD style, int row) {
    return ::CreateWindowExW(0, className, W(text), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildIds[row])), state.instance, nullptr);
}

void OpenAddress(const VersionWindowData* data) {
    if (data) LaunchAddress(data->info->address, nullptr);
}

LRESULT OnVersionCreate(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) ::DeleteMenu(menu, command, MF_BYCOMMAND);
    constexpr DWORD kStaticStyle = SS_LEFT | SS_ENDELLIPSIS | SS_CENTERIMAGE;
    const VersionWindowData* data = DataOf(window);
    const MainWindowState& state = *data->state;
    CreateChild(state, window, L"STATIC", data->lines[0].Text(), kStaticStyle, 0);
    CreateChild(state, window, L"STATIC", data->lines[1].Text(), kStaticStyle, 1);
    CreateChild(state, window, kVersionUrlClass, data->info->address, 0, 2);
    PlaceChildren(window, *data);
    return 0;
}

// Moved to a monitor of another resolution: the suggested rectangle, the
// rows placed again.
LRESULT OnVersionDpiChanged(HWND window, WPARAM dpis, LPARAM suggested) {
    VersionWindowData* data = DataOf(window);
    if (!data) return 0;
    data->dpi = HIWORD(dpis);
    const RECT& r = *reinterpret_cast<const RECT*>(suggested);
    ::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceChildren(window, *data);
    return 0;
}

LRESULT OnVersionClose(HWND window) {
    const VersionWindowData* data = DataOf(window);
    if (data && data->owner) ::SetWindowPos(data->owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK VersionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: KeepCreationParameter(window, lParam); break;
        case WM_CREATE: return OnVersionCreate(window);
        case WM_PAINT: PaintPlainBackground(window); return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) return OnVersionClose(window);
            break;
        case WM_CLOSE: return OnVersionClose(window);
        case WM_DPICHANGED: return OnVersionDpiChanged(window, wParam, lParam);
        case WM_COMMAND:
            if (LOWORD(wParam) == kAddressId) OpenAddress(DataOf(window));
            return 0;
        default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void PaintAddress(HWND control) {
    const PaintDC paint(control);
    HDC dc = paint.Get();
    RECT client{};
    ::GetClientRect(control, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    const VersionWindowData* data = DataOf(::GetParent(control));
    if (!data) return;
    const SelectedObject font(dc, data->state->mainFont.Get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kAddressColour);
    const char16_t* address = data->info->address;
    const int y = (client.bottom - data->state->metrics.textHeight) / 2;
    ::ExtTextOutW(dc, 0, y, ETO_CLIPPED, &client, W(address), TextLength(address), nullptr);
}

LRESULT CALLBACK AddressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: PaintAddress(window); return 0;
        case WM_LBUTTONDOWN: OpenAddress(DataOf(::GetParent(window))); return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterVersionClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, LPCWSTR cursor) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, cursor);
    windowClass.lpszClassName = name;
    return ::RegisterClassExW(&windowClass) != 0;
}

void UnregisterVersionClasses(HINSTANCE instance) {
    ::UnregisterClassW(kVersionInfoClass, instance);
    ::UnregisterClassW(kVersionUrlClass, instance);
}

HWND CreateVersionWindow(HWND owner, const VersionInfo& info, VersionWindowData& data) {
    RECT frame{0, 0, ScaleForDpi(kClientWidth, data.dpi), ScaleForDpi(kClientHeight, data.dpi)};
    AdjustWindowRectForDpi(frame, kWindowStyle, kWindowExtendedStyle, data.dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT around{};
    ::GetWindowRect(owner, &around);
    const WideString caption = LanguageText(info.captionId);
    return ::CreateWindowExW(kWindowExtendedStyle, kVersionInfoClass, W(caption.Text()), kWindowStyle,
                             (around.left + around.right - width) / 2, (around.top + around.bottom - height) / 2, width,
                             height, owner, nullptr, data.state->instance, &data);
}

}  // namespace

WideString VersionLine(const VersionInfo& info) {
    WideString line(info.productName);
    line.Append(u" version ");
    line.Append(info.versionText);
    return line;
}

WideString NoticeLine(const VersionInfo& info) {
    WideString line(u"Made by ");
    line.Append(info.makerName);
    line.Append(u". Free to use and share.");
    return line;
}

void ShowVersionWindow(const MainWindowState& state, HWND owner, const VersionInfo& info) {
    if (VersionWindowOpen()) return;
    ::EnableWindow(owner, FALSE);
    VersionWindowData data;
    data.state = &state;
    data.info = &info;
    data.owner = owner;
    data.dpi = state.dpi;
    data.lines[0] = VersionLine(info);
    data.lines[1] = NoticeLine(info);
    const bool registered = RegisterVersionClass(state.instance, kVersionInfoClass, VersionWindowProc, IDC_ARROW) &&
                            RegisterVersionClass(state.instance, kVersionUrlClass, AddressProc, IDC_HAND);
    HWND window = registered ? CreateVersionWindow(owner, info, data) : nullptr;
    if (window) {
        ::SetFocus(window);
        MSG message;
        while (::IsWindow(window)) {
            const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
            if (got <= 0) {
                // The program is ending: leave the quit for the main loop.
                if (got == 0) ::PostQuitMessage(int(message.wParam));
                ::DestroyWindow(window);
                break;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    UnregisterVersionClasses(state.instance);
    ::EnableWindow(owner, TRUE);
}

}  // namespace qdx::app
