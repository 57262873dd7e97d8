// What a click on a drop target does.
#include "app/main_window.h"
#include "app/preset_dialog.h"

namespace qdx::app {

void OnDropTargetClicked(int presetIndex, HWND dropTarget) { OpenPresetDialog(presetIndex, dropTarget); }

}  // namespace qdx::app
