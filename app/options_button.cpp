// What the Options button does.
#include "app/main_window.h"

namespace qdx::app {

void OnOptionsClicked(HWND mainWindow) {
    // The options dialog is not there yet: the button changes nothing.
    (void)mainWindow;
}

}  // namespace qdx::app
