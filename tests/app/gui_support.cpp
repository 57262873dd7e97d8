#include "tests/app/gui_support.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "app/common/controls.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "app/main_window/main_window.h"
#include "codecs/write/png_writer.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings.h"

// Draws a window's caption as the system does; exported by user32 but not
// declared by the MinGW headers.
extern "C" __declspec(dllimport) BOOL WINAPI DrawCaptionTempW(HWND window, HDC dc, const RECT* area, HFONT font,
                                                              HICON icon, LPCWSTR text, UINT flags);

namespace qdx::test {

namespace {

using app::W;

WideString FromAscii(const char* text) {
    WideString result;
    for (const char* p = text; *p; ++p) result.Append(char16_t(*p == '/' ? '\\' : *p));
    return result;
}

// The text control every message box carries.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kPollInterval = 20;

std::mutex g_textsLock;

}  // namespace

WideString BinFile(const char16_t* name) {
    WideString path;
    SetFolderPlusName(path, FromAscii(QDX_BIN_DIR).Text(), name);
    return path;
}

WideString BuildFile(const char16_t* name) {
    WideString path;
    SetFolderPlusName(path, FromAscii(QDX_BUILD_DIR).Text(), name);
    return path;
}

namespace {

// What the program's manifest declares: drawn for each monitor's resolution
// (the system scales nothing for us). Must come before the first window.
void DrawForEachMonitor() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    static const bool done = [] {
        const auto set = reinterpret_cast<SetContext>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
        const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(-4);
        return set && set(perMonitorV2);
    }();
    (void)done;
}

}  // namespace

GuiApp::GuiApp(const char16_t* language, const WideString& settingsPath)
    : state_(::GetModuleHandleW(nullptr), settings_) {
    DrawForEachMonitor();
    state_.dpi = app::SystemDpi();
    WideString file(language);
    file.Append(u".dll");
    state_.languageLibrary.Reset(::LoadLibraryExW(W(BinFile(file.Text()).Text()), nullptr, 0));
    if (!state_.languageLibrary || !app::HasLanguageSignature(state_.languageLibrary.Get())) return;
    state_.texts = std::make_unique<app::LibraryTextSource>(state_.languageLibrary.Get());
    SetCurrentTextSource(state_.texts.get());
    settings_.languageName.Assign(language);
    os::MenuFontFace(settings_.fontFace);
    state_.settingsPath = settingsPath;
    if (!app::RegisterWindowClasses(state_.instance)) return;
    ready_ = app::RecreateMainFont(state_, ::GetDesktopWindow());
}

GuiApp::~GuiApp() {
    for (const wchar_t* name : {app::kMainClass, app::kDropClass, app::kCombinedDropClass})
        ::UnregisterClassW(name, state_.instance);
    SetCurrentTextSource(nullptr);
}

void PumpMessages(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done()) return true;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollInterval, QS_ALLINPUT);
    } while (::GetTickCount64() < end);
    return done();
}

COLORREF Capture::At(int x, int y) const {
    const uint8_t* p = &bgr[(size_t(y) * size_t(width) + size_t(x)) * 3];
    return RGB(p[2], p[1], p[0]);
}

int Capture::Count(COLORREF colour, int left, int top, int right, int bottom) const {
    int count = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
        for (int x = std::max(left, 0); x < std::min(right, width); ++x) count += At(x, y) == colour;
    return count;
}

namespace {

// Copies a screen rectangle into a bottom-up 24-bit DIB section.
bool CaptureScreen(const RECT& area, DecodedImage& image, std::vector<uint8_t>& topDown) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    SetImageHeader(image, width, height, 24);
    BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, &image.header, sizeof image.header);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (section && bits) {
        HGDIOBJ old = ::SelectObject(memory, section);
        ok = ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
        ::GdiFlush();
        ::SelectObject(memory, old);
        const uint32_t stride = RowStride(uint32_t(width), 24);
        topDown.resize(size_t(width) * size_t(height) * 3);
        for (int y = 0; y < height; ++y)
            std::memcpy(&topDown[size_t(y) * size_t(width) * 3],
                        static_cast<uint8_t*>(bits) + size_t(height - 1 - y) * stride, size_t(width) * 3);
    }
    if (section) ::DeleteObject(section);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

bool CaptureWindow(HWND window, Capture& capture, bool clientOnly) {
    // What was just painted reaches the screen a moment later under Wine.
    PumpMessages(60);
    RECT area{};
    if (clientOnly) {
        ::GetClientRect(window, &area);
        ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    } else {
        ::GetWindowRect(window, &area);
    }
    DecodedImage image;
    if (!CaptureScreen(area, image, capture.bgr)) return false;
    capture.width = area.right - area.left;
    capture.height = area.bottom - area.top;
    return true;
}

namespace {

// The window's caption as the system draws it, `width` pixels wide (24-bit,
// top row first).
bool DrawCaptionStrip(HWND window, int width, int height, std::vector<uint8_t>& topDown) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (section && bits) {
        HGDIOBJ old = ::SelectObject(memory, section);
        RECT strip{0, 0, width, height};
        // The system's caption font at normal weight: under Wine bold Tahoma
        // finds no Japanese glyphs through its font links.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        metrics.lfCaptionFont.lfWeight = FW_NORMAL;
        HFONT font = ::CreateFontIndirectW(&metrics.lfCaptionFont);
        // Wine's caption drawing draws and then returns FALSE: its result
        // says nothing.
        ::DrawCaptionTempW(window, memory, &strip, font, nullptr, nullptr, DC_ACTIVE | DC_TEXT | DC_ICON);
        ok = font != nullptr;
        if (font) ::DeleteObject(font);
        ::GdiFlush();
        ::SelectObject(memory, old);
        const uint32_t stride = RowStride(uint32_t(width), 24);
        topDown.resize(size_t(width) * size_t(height) * 3);
        for (int y = 0; y < height; ++y)
            std::memcpy(&topDown[size_t(y) * size_t(width) * 3], static_cast<uint8_t*>(bits) + size_t(y) * stride,
                        size_t(width) * 3);
    }
    if (section) ::DeleteObject(section);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

bool WritePng(const std::vector<uint8_t>& topDown, uint32_t width, uint32_t height, const char* name) {
    // Back into the engine's bottom-up rows for its PNG writer.
    DecodedImage image;
    SetImageHeader(image, int32_t(width), int32_t(height), 24);
    const uint32_t stride = RowStride(width, 24);
    std::vector<uint8_t> rows(size_t(stride) * height + 4);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(&rows[size_t(height - 1 - y) * stride], &topDown[size_t(y) * width * 3], size_t(width) * 3);
    const WideString folder = BuildFile(u"screenshots");
    if (!os::FolderExists(folder.Text())) os::CreateFolder(folder.Text());
    WideString path = folder;
    AppendPathComponent(path, FromAscii(name).Text());
    path.Append(u".png");
    PngWriterState writer;
    SetLayoutFor(writer.converter, image.header, 24);
    return WritePngFile(writer, path, image.palette, rows.data());
}

}  // namespace

bool SaveWindowScreenshot(HWND window, const char* name, ShotOptions options) {
    // Shots at other resolutions are kept beside those at 96 DPI.
    std::string file(name);
    if (app::WindowDpi(window) != app::kBaseDpi) file += "_" + std::to_string(app::WindowDpi(window)) + "dpi";
    if (options.repaint) {
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpMessages(100);
    }
    // Without a window manager nothing draws the frame: the client area is
    // what there is to see.
    RECT area{};
    ::GetClientRect(window, &area);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    // Past the edge of the screen there is nothing to capture but black: a
    // window that does not fit makes no shot, and the test says so.
    const RECT screen{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                      ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      ::GetSystemMetrics(SM_YVIRTUALSCREEN) + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (area.left < screen.left || area.top < screen.top || area.right > screen.right || area.bottom > screen.bottom)
        return false;
    DecodedImage image;
    std::vector<uint8_t> pixels;
    if (!CaptureScreen(area, image, pixels)) return false;
    const uint32_t width = uint32_t(image.header.biWidth);
    uint32_t height = uint32_t(image.header.biHeight);
    if (options.caption) {
        const int captionHeight = ::GetSystemMetrics(SM_CYCAPTION);
        std::vector<uint8_t> strip;
        if (!DrawCaptionStrip(window, int(width), captionHeight, strip)) return false;
        pixels.insert(pixels.begin(), strip.begin(), strip.end());
        height += uint32_t(captionHeight);
    }
    return WritePng(pixels, width, height, file.c_str());
}

HDROP MakeDrop(const std::vector<WideString>& paths) {
    // DROPFILES, then wide paths, each NUL-terminated, and one more NUL.
    size_t units = 1;
    for (const WideString& path : paths) units += path.Length() + 1;
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<char16_t*>(header + 1);
    for (const WideString& path : paths) {
        for (uint32_t i = 0; i < path.Length(); ++i) *out++ = path[i];
        *out++ = 0;
    }
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return name;
}

namespace {

struct WindowSearch {
    DWORD threadId;
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK CheckThreadWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    if (!::IsWindowVisible(window) || !(*search->match)(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindThreadWindow(DWORD threadId, const std::function<bool(HWND)>& match) {
    WindowSearch search{threadId, &match, nullptr};
    ::EnumThreadWindows(threadId, CheckThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND FindMessageBox(DWORD threadId) {
    return FindThreadWindow(threadId, [](HWND window) {
        return ClassOf(window) == L"#32770" && ::GetDlgItem(window, kMessageBoxTextId) != nullptr;
    });
}

std::wstring MessageBoxText(HWND box) {
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(box, kMessageBoxTextId, text, 1024);
    return text;
}

MessageBoxDismisser::MessageBoxDismisser(DWORD threadId) : threadId_(threadId) {
    worker_ = std::thread([this] {
        while (!stop_) {
            if (HWND box = FindMessageBox(threadId_)) {
                std::lock_guard<std::mutex> hold(g_textsLock);
                texts_.push_back(MessageBoxText(box));
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                // Give the box time to go before looking again.
                for (int i = 0; i < 100 && ::IsWindow(box); ++i) ::Sleep(kPollInterval);
            }
            ::Sleep(kPollInterval);
        }
    });
}

MessageBoxDismisser::~MessageBoxDismisser() {
    stop_ = true;
    worker_.join();
}

std::vector<std::wstring> MessageBoxDismisser::Texts() {
    std::lock_guard<std::mutex> hold(g_textsLock);
    return texts_;
}

WindowActor::WindowActor(DWORD threadId, std::function<bool(HWND)> match, std::function<void(HWND)> act,
                         DWORD milliseconds) {
    worker_ = std::thread([this, threadId, match = std::move(match), act = std::move(act), milliseconds] {
        const ULONGLONG end = ::GetTickCount64() + milliseconds;
        while (!stop_ && ::GetTickCount64() < end) {
            if (HWND window = FindThreadWindow(threadId, match)) {
                act(window);
                acted_ = true;
                return;
            }
            ::Sleep(kPollInterval);
        }
    });
}

bool WindowActor::Acted() {
    if (worker_.joinable()) worker_.join();
    return acted_;
}

WindowActor::~WindowActor() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

app::Box ChildBox(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

::testing::AssertionResult ScaledFrom96(const app::Box& actual, const app::Box& at96, int dpi) {
    const int edges[4][2] = {{actual.x, at96.x},
                             {actual.y, at96.y},
                             {actual.x + actual.width, at96.x + at96.width},
                             {actual.y + actual.height, at96.y + at96.height}};
    for (const auto& [edge, edge96] : edges) {
        const int wanted = app::ScaleForDpi(edge96, dpi);
        if (edge < wanted - 1 || edge > wanted + 1)
            return ::testing::AssertionFailure() << "edge at " << edge << ", scaled from 96 DPI " << wanted << " (box "
                                                 << actual.x << "," << actual.y << " " << actual.width << "x"
                                                 << actual.height << ")";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace qdx::test
