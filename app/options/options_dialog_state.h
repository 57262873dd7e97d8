#pragma once
// What the options dialog's frame and its three pages share while it is open.
#include <windows.h>

#include "app/main_window/main_window_state.h"
#include "app/options/options_controls.h"
#include "app/options/options_store.h"
#include "codecs/read/plugin_bridge.h"
#include "core/os/wide_string.h"

namespace qdx::app {

struct OptionsDialog {
    explicit OptionsDialog(MainWindowState& state) : main(state), settings(state.settings) {}
    MainWindowState& main;      // the window that shows what the options change
    Settings& settings;         // what the dialog edits
    HWND frame = nullptr;
    HWND pages[kOptionsPageCount] = {};
    uint32_t page = 0;          // the page shown
    WideString pluginFolder;    // the folder the plug-in list shows
    PluginBridge bridge;        // lists and describes the plug-ins of pluginFolder
    ShortcutStates remembered;  // shortcuts found at opening or at the last Apply
};

// The page procedures; each keeps the shared record in its user data.
INT_PTR CALLBACK OutputPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PluginPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AppearancePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Shared by the pages.
OptionsDialog* DialogOf(HWND page);
OptionsDialog* AttachDialog(HWND page, LPARAM initParam);
void EnableApply(OptionsDialog& dialog);
// Enables Apply when the page's command or notification calls for it.
void NoteChange(HWND page, int id, int code);
// Answers the colour request of a section heading; null for other statics.
INT_PTR HeadingColours(HWND page, HDC dc, HWND control, const int* headings, int count);

// Reads and writes the controls of the pages.
bool IsChecked(HWND page, int id);
void SetChecked(HWND page, int id, bool checked);
WideString ControlText(HWND page, int id);
// The selected position of a drop-down list; UINT32_MAX when none is.
uint32_t ListSelection(HWND page, int id);

// Plug-in list of page 1.
void SetUpPluginList(HWND list);
// Lists the plug-ins of the bridge's folder in the shell's order of names;
// rows whose name is in `unchecked` (A to Z folded) are left unchecked, every
// other row is checked.
void FillPluginList(HWND list, const PluginBridge& bridge, const std::vector<WideString>& unchecked);
// Column 0 of the unchecked rows, in row order.
std::vector<WideString> UncheckedPlugins(HWND list);

}  // namespace qdx::app
