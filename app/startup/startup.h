#pragma once
// Start-up and shut-down of the Windows program.
#include <windows.h>

#include "app/main_window/main_window_state.h"
#include "core/os/wide_string.h"

namespace qdx::app {

// The whole life of the process; returns the quit message's exit code.
int ProgramMain(HINSTANCE instance, int showCommand);

// Releases the current language library and loads the one named, with the
// start-up fallbacks; `name` becomes the name actually loaded. When none can
// be loaded the program goes on without one (texts read empty) and false is
// returned.
bool ReplaceLanguageLibrary(MainWindowState& state, WideString& name);

// 1 for 5.1/5.2, 2 for 6.0, 3 for 6.1, 4 for 6.2, 5 for 6.3 and later; 0 unsupported.
int OperatingSystemLevel(DWORD major, DWORD minor);

}  // namespace qdx::app
