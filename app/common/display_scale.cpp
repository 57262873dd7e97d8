#include "app/common/display_scale.h"

#include "app/common/win32_owners.h"

namespace qdx::app {

namespace {

using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using DpiForSystemFunction = UINT(WINAPI*)();
using MetricsForDpiFunction = int(WINAPI*)(int, UINT);
using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using DpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// A function of user32 (always loaded) by name, null when the system lacks it.
template <typename Function>
Function User32Function(const char* name) {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int SystemDpi() {
    static const auto forSystem = User32Function<DpiForSystemFunction>("GetDpiForSystem");
    if (forSystem) return int(forSystem());
    const WindowDC screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND window) {
    static const auto forWindow = User32Function<DpiForWindowFunction>("GetDpiForWindow");
    const int dpi = forWindow && window ? int(forWindow(window)) : 0;
    return dpi > 0 ? dpi : SystemDpi();
}

int DpiOfArea(const RECT& area) {
    // shcore.dll stays loaded for the process once asked for.
    static const auto forMonitor = [] {
        HMODULE shcore = ::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return shcore ? reinterpret_cast<DpiForMonitorFunction>(
                            reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    UINT x = 0, y = 0;
    if (forMonitor && forMonitor(::MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y) == S_OK &&
        y > 0)
        return int(y);
    return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    static const auto forDpi = User32Function<MetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, UINT(dpi));
    return ::MulDiv(::GetSystemMetrics(index), dpi, SystemDpi());
}

bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD extendedStyle, int dpi) {
    static const auto forDpi = User32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
    if (forDpi) return forDpi(&rect, style, FALSE, extendedStyle, UINT(dpi)) != FALSE;
    return ::AdjustWindowRectEx(&rect, style, FALSE, extendedStyle) != FALSE;
}

}  // namespace qdx::app
