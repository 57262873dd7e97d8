#pragma once
// The options dialog's host in the running program: shortcut files, the
// language library and the main window.
#include <windows.h>

#include "app/main_window/main_window_state.h"
#include "app/options/options_store.h"

namespace qdx::app {

class MainWindowOptionsHost final : public OptionsHost {
public:
    explicit MainWindowOptionsHost(MainWindowState& state) : state_(state) {}
    bool FolderExists(const char16_t* path) override;
    void SyncShortcut(int shellFolder, bool wanted) override;
    bool ReloadLanguage(WideString& name) override;
    void RebuildMainWindow() override;
    void RepaintMainWindow() override;
    void ActivateTooltips(bool active) override;

private:
    MainWindowState& state_;
};

}  // namespace qdx::app
