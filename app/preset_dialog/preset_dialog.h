#pragma once
// The preset settings dialog: a click on a drop target edits its preset.
#include <windows.h>

#include "app/main_window/main_window_state.h"

namespace qdx::app {

// Runs the dialog for preset `presetIndex` (0 to 3) of the state's settings,
// modal and owned by the main window. OK stores the preset, makes
// `dropTarget` accept dropped files exactly when the preset is not disabled
// and repaints the main window; Cancel changes nothing. Nothing opens when the
// language library lacks the dialog's template.
void OpenPresetDialog(MainWindowState& state, int presetIndex, HWND dropTarget);

}  // namespace qdx::app
