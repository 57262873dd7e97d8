#pragma once
// The options dialog: global output folder, reader background, shortcuts,
// plug-ins, language, fonts and tooltips, on three pages.
#include <windows.h>

#include "app/main_window/main_window_state.h"

namespace qdx::app {

// Runs the dialog on the state's settings, modally, owned by the main window,
// on the page last shown. Returns false when it cannot open: without a
// language library, or when the library lacks one of its templates.
bool OpenOptionsDialog(MainWindowState& state);

}  // namespace qdx::app
