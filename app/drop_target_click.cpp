// What a click on a drop target does.
#include "app/main_window.h"

namespace qdx::app {

void OnDropTargetClicked(int presetIndex, HWND dropTarget) {
    // The preset dialog is not there yet: a click changes nothing.
    (void)presetIndex;
    (void)dropTarget;
}

}  // namespace qdx::app
