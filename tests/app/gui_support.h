#pragma once
// Helpers for tests that create the program's real windows in the test
// process (under Wine and Xvfb in CI): the program's state with a language
// library loaded, message pumping, screenshots saved as PNG into the build
// folder, pixel reads, and a watcher that dismisses message boxes, which
// would otherwise wait for a click forever.
#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window/main_layout.h"
#include "app/main_window/main_window_state.h"
#include "core/settings.h"
#include "core/os/wide_string.h"

namespace qdx::test {

// Files of the build: the program's folder (bin) and the build folder itself.
WideString BinFile(const char16_t* name);
WideString BuildFile(const char16_t* name);

// The main window's state as start-up leaves it, on settings of its own: the
// language library `language` loaded from the build (and the engine's texts
// read through it), default settings (menu font face, language name set),
// window classes registered, the main font created and measured. Undone by
// the destructor. The settings path is `settingsPath` (empty: none;
// SaveSettings then fails quietly).
class GuiApp {
public:
    explicit GuiApp(const char16_t* language, const WideString& settingsPath = WideString());
    ~GuiApp();
    GuiApp(const GuiApp&) = delete;
    GuiApp& operator=(const GuiApp&) = delete;
    bool Ready() const { return ready_; }
    app::MainWindowState& State() { return state_; }
    Settings& SettingsInUse() { return settings_; }

private:
    Settings settings_;
    app::MainWindowState state_;
    bool ready_ = false;
};

// Dispatches the thread's messages for `milliseconds` (at least one round).
void PumpMessages(DWORD milliseconds);
// Pumps until `done` returns true or `milliseconds` pass; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

// The window's pixels as shown on the screen (24-bit, top row first).
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // 3 bytes a pixel, rows packed
    COLORREF At(int x, int y) const;
    // Number of pixels of exactly `colour` inside [left, right) x [top, bottom).
    int Count(COLORREF colour, int left, int top, int right, int bottom) const;
};
// The client area of `window` (clientOnly) or its whole rectangle.
bool CaptureWindow(HWND window, Capture& capture, bool clientOnly = true);
// How a screenshot is taken. `repaint`: the window is repainted and this
// thread's messages pumped first (never from inside a batch, which takes no
// input; what it shows is on the screen already). `caption`: without a window
// manager no frame is drawn, so the window's caption, drawn by the system
// (DrawCaption) from its current title, is put above the client area.
struct ShotOptions {
    bool repaint = true;
    bool caption = false;
};
// Saves the client area of `window` as <build>/screenshots/<name>.png.
bool SaveWindowScreenshot(HWND window, const char* name, ShotOptions options = {});

// A drop handle as the shell makes it for `paths`.
HDROP MakeDrop(const std::vector<WideString>& paths);

// A visible message box (a dialog with the message text control) of thread
// `threadId`, or null.
HWND FindMessageBox(DWORD threadId);
// The text of a message box.
std::wstring MessageBoxText(HWND box);

// From its own thread, closes every message box that thread `threadId` shows
// (pressing OK) until destroyed, and remembers their texts.
class MessageBoxDismisser {
public:
    explicit MessageBoxDismisser(DWORD threadId = ::GetCurrentThreadId());
    ~MessageBoxDismisser();
    MessageBoxDismisser(const MessageBoxDismisser&) = delete;
    MessageBoxDismisser& operator=(const MessageBoxDismisser&) = delete;
    std::vector<std::wstring> Texts();

private:
    DWORD threadId_;
    std::atomic<bool> stop_{false};
    std::vector<std::wstring> texts_;
    std::thread worker_;
};

// From its own thread, waits up to `milliseconds` for a visible top-level
// window of thread `threadId` for which `match` is true, then calls `act`
// with it (still on that thread). Use it to drive modal windows that block
// the test's thread. Joined by the destructor; Acted() tells whether it ran.
class WindowActor {
public:
    WindowActor(DWORD threadId, std::function<bool(HWND)> match, std::function<void(HWND)> act,
                DWORD milliseconds = 10000);
    ~WindowActor();
    WindowActor(const WindowActor&) = delete;
    WindowActor& operator=(const WindowActor&) = delete;
    // Waits for the helper thread to finish, then tells whether it acted.
    bool Acted();

private:
    std::atomic<bool> acted_{false};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

// A window's class name.
std::wstring ClassOf(HWND window);

// A child window's rectangle in its parent's client coordinates.
app::Box ChildBox(HWND child);
// Whether each edge of `actual` lies within a pixel of `at96` scaled to `dpi`.
::testing::AssertionResult ScaledFrom96(const app::Box& actual, const app::Box& at96, int dpi);

}  // namespace qdx::test
