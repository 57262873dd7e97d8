#include "app/options/options_host.h"

#include "app/main_window/main_window.h"
#include "app/shell/shell_utilities.h"
#include "app/startup/startup.h"
#include "core/os/os.h"

namespace qdx::app {

bool MainWindowOptionsHost::FolderExists(const char16_t* path) { return os::FolderExists(path); }

void MainWindowOptionsHost::SyncShortcut(int shellFolder, bool wanted) { app::SyncShortcut(shellFolder, wanted); }

bool MainWindowOptionsHost::ReloadLanguage(WideString& name) { return ReplaceLanguageLibrary(state_, name); }

// A new font with its metrics for every child, then every text again (the
// tooltips too), each followed by a new layout.
void MainWindowOptionsHost::RebuildMainWindow() {
    ApplyMainFont(state_);
    ResetMainWindowTexts(state_);
}

void MainWindowOptionsHost::RepaintMainWindow() {
    if (state_.window) ::RedrawWindow(state_.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The setting was stored just before.
void MainWindowOptionsHost::ActivateTooltips(bool) { ApplyTooltipSetting(state_); }

}  // namespace qdx::app
