#include "app/main_window/version_window.h"

#include "app/common/controls.h"
#include "app/shell/shell_utilities.h"
#include "app/startup/app_state.h"

namespace qdx::app {

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

constexpr int kClientWidth = 274;
constexpr int kClientHeight = 75;
constexpr int kTextLeft = 12;
constexpr int kTextWidth = 250;
constexpr int kTextHeight = 20;
constexpr int kRowTops[3] = {7, 27, 47};

// What the window procedures need while the window is open (one at a time).
struct VersionWindowData {
    const VersionInfo* info = nullptr;
    HWND owner = nullptr;
    WideString lines[2];
};
VersionWindowData* g_open = nullptr;

HWND CreateChild(HWND parent, const wchar_t* className, const char16_t* text, DWORD style, int id, int row) {
    HWND child = ::CreateWindowExW(0, className, W(text), WS_CHILD | WS_VISIBLE | style, kTextLeft, kRowTops[row],
                                   kTextWidth, kTextHeight, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   State().instance, nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, WPARAM(State().mainFont), FALSE);
    return child;
}

void OpenAddress() {
    if (g_open) LaunchAddress(g_open->info->address, nullptr);
}

LRESULT OnVersionCreate(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) ::DeleteMenu(menu, command, MF_BYCOMMAND);
    constexpr DWORD kStaticStyle = SS_LEFT | SS_ENDELLIPSIS | SS_CENTERIMAGE;
    CreateChild(window, L"STATIC", g_open->lines[0].Text(), kStaticStyle, kVersionTextId, 0);
    CreateChild(window, L"STATIC", g_open->lines[1].Text(), kStaticStyle, kNoticeTextId, 1);
    CreateChild(window, kVersionUrlClass, g_open->info->address, 0, kAddressId, 2);
    return 0;
}

LRESULT OnVersionClose(HWND window) {
    if (g_open && g_open->owner)
        ::SetWindowPos(g_open->owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK VersionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnVersionCreate(window);
        case WM_PAINT: PaintPlainBackground(window); return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) return OnVersionClose(window);
            break;
        case WM_CLOSE: return OnVersionClose(window);
        case WM_COMMAND:
            if (LOWORD(wParam) == kAddressId) OpenAddress();
            return 0;
        default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void PaintAddress(HWND control) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(control, &paint);
    RECT client{};
    ::GetClientRect(control, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = ::SelectObject(dc, State().mainFont);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kAddressColour);
    const char16_t* address = g_open ? g_open->info->address : u"";
    const int y = (client.bottom - Metrics().textHeight) / 2;
    ::ExtTextOutW(dc, 0, y, ETO_CLIPPED, &client, W(address), TextLength(address), nullptr);
    ::SelectObject(dc, old);
    ::EndPaint(control, &paint);
}

LRESULT CALLBACK AddressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: PaintAddress(window); return 0;
        case WM_LBUTTONDOWN: OpenAddress(); return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterVersionClass(const wchar_t* name, WNDPROC procedure, LPCWSTR cursor) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = State().instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, cursor);
    windowClass.lpszClassName = name;
    return ::RegisterClassExW(&windowClass) != 0;
}

void UnregisterVersionClasses() {
    ::UnregisterClassW(kVersionInfoClass, State().instance);
    ::UnregisterClassW(kVersionUrlClass, State().instance);
}

HWND CreateVersionWindow(HWND owner, const VersionInfo& info) {
    const int width = kClientWidth + 2 * ::GetSystemMetrics(SM_CXDLGFRAME);
    const int height = kClientHeight + 2 * ::GetSystemMetrics(SM_CYDLGFRAME) + ::GetSystemMetrics(SM_CYCAPTION);
    RECT around{};
    ::GetWindowRect(owner, &around);
    const WideString caption = LanguageText(info.captionId);
    return ::CreateWindowExW(WS_EX_DLGMODALFRAME, kVersionInfoClass, W(caption.Text()),
                             WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN,
                             (around.left + around.right - width) / 2, (around.top + around.bottom - height) / 2, width,
                             height, owner, nullptr, State().instance, nullptr);
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

void ShowVersionWindow(HWND owner, const VersionInfo& info) {
    if (g_open) return;  // already open
    ::EnableWindow(owner, FALSE);
    VersionWindowData data;
    data.info = &info;
    data.owner = owner;
    data.lines[0] = VersionLine(info);
    data.lines[1] = NoticeLine(info);
    g_open = &data;
    const bool registered = RegisterVersionClass(kVersionInfoClass, VersionWindowProc, IDC_ARROW) &&
                            RegisterVersionClass(kVersionUrlClass, AddressProc, IDC_HAND);
    HWND window = registered ? CreateVersionWindow(owner, info) : nullptr;
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
    UnregisterVersionClasses();
    g_open = nullptr;
    ::EnableWindow(owner, TRUE);
}

}  // namespace qdx::app
