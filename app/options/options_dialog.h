#pragma once
// The options dialog: global output folder, reader background, shortcuts,
// plug-ins, language, fonts and tooltips, on three pages.
#include <windows.h>

namespace qdx::app {

// Runs the dialog modally, owned by `owner` (the main window), on the page
// last shown. Returns false when it cannot open: without a language library,
// or when the library lacks one of its templates.
bool OpenOptionsDialog(HWND owner);

}  // namespace qdx::app
