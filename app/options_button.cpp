// What the Options button does.
#include "app/main_window.h"
#include "app/options_dialog.h"

namespace qdx::app {

void OnOptionsClicked(HWND mainWindow) { OpenOptionsDialog(mainWindow); }

}  // namespace qdx::app
