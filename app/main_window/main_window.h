#pragma once
// The main window: four drop targets, the combined drop area with its check
// boxes, and a bottom row with the keep-on-top check box and four buttons.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "app/common/control_ids.h"
#include "app/main_window/main_layout.h"
#include "app/main_window/main_window_state.h"
#include "batch/batch_host.h"
#include "core/os/wide_string.h"

namespace qdx::app {

inline constexpr wchar_t kMainClass[] = L"Quillodex_main_class";
inline constexpr wchar_t kDropClass[] = L"Quillodex_drop_class";
inline constexpr wchar_t kCombinedDropClass[] = L"Quillodex_exdrop_class";

bool RegisterWindowClasses(HINSTANCE instance);
// Creates the main window hidden, sized and placed from the state's settings;
// the window keeps `state`, which must outlive it.
HWND CreateMainWindow(MainWindowState& state);

// The window rectangle for a client area and position, pulled onto the work
// area `work` (left, top, right, bottom) when given.
struct Placement {
    int left, top, width, height;
};
Placement FitToWorkArea(int left, int top, int width, int height, const RECT* work);

// What the layout needs, measured with the main font in `window`.
LayoutMeasures MeasureLayout(const MainWindowState& state, HWND window);

// Pieces the dialogs call when they change what the main window shows; each
// does nothing while the window does not exist.
// After a change of the main font: the font and metrics are made again, every
// child gets the new font, the window is laid out and redrawn.
void ApplyMainFont(MainWindowState& state);
// After a change of language: every text of the main window is read again
// from the library, the tooltips take the new text, then layout and redraw.
void ResetMainWindowTexts(MainWindowState& state);
// Lays out every child for the current client size and redraws.
void ArrangeMainWindow(const MainWindowState& state);
// Switches the drop targets' tooltips on or off by `showTooltips`.
void ApplyTooltipSetting(const MainWindowState& state);

// Opens the compiled help beside the executable, else the web help page.
// Returns the help window (null for the web page or on failure).
HWND OpenHelp();
// The version window with the program's name, version, maker and address,
// over the main window.
void ShowProgramVersion(const MainWindowState& state);
// The help file's path: the executable's path with ".chm" for its extension.
bool HelpFilePath(WideString& path);

// The batch's host on Windows: message boxes and the main window's title.
class MainWindowHost final : public BatchHost {
public:
    explicit MainWindowHost(HWND window) : window_(window) {}
    void ShowErrorMessage(uint32_t textId) override { ShowErrorMessageNaming(textId, nullptr); }
    void ShowErrorMessageNaming(uint32_t textId, const char16_t* name) override;
    void ShowPictureTooLarge(uint32_t width, uint32_t height) override;
    void SetBusyTitle() override;
    void RestoreTitle() override;
    // The title counts the files; between files, and between the steps of
    // one file, the window repaints.
    void BatchStarts(uint32_t fileCount) override;
    void FileDone(uint32_t pathIndex, FileOutcome outcome) override;
    void KeepResponsive() override;
    // Escape held (or pressed since the last look) while the main window is
    // active; read from the key state, so no input is taken.
    bool StopRequested() override;
    void BatchStopped(uint32_t written) override;

private:
    void ShowErrorBox(const WideString& text, const WideString& caption);
    HWND window_;
    bool stopped_ = false;
    uint32_t done_ = 0;
    uint32_t total_ = 0;
};

// Lets windows of this thread repaint (frame, title, client) and answers
// messages sent by other threads, without taking any input from the queue.
void RepaintWithoutInput();

// A message box with one of the fixed start-up texts (no owner, "Error").
void ShowStartupError(const wchar_t* text);

}  // namespace qdx::app
