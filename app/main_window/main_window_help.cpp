// Help and the version window of the main window.
#include <windows.h>
#include <commctrl.h>
#include <htmlhelp.h>

#include "app/main_window/main_window.h"
#include "app/main_window/project_address.h"
#include "app/main_window/version_window.h"
#include "app/shell/shell_utilities.h"
#include "core/text_ids.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"

namespace qdx::app {

bool HelpFilePath(WideString& path) {
    return os::ExecutablePath(path) && ReplaceExtension(path, u".chm");
}

HWND OpenHelp() {
    WideString help;
    if (HelpFilePath(help) && os::FileExists(help.Text()))
        return ::HtmlHelpW(nullptr, reinterpret_cast<const wchar_t*>(help.Text()), HH_DISPLAY_TOPIC, 0);
    LaunchAddress(kWebHelpAddress, nullptr);
    return nullptr;
}

void ShowProgramVersion(const MainWindowState& state) {
    const VersionInfo info{u"Quillodex", u"1.4.0.0 (64-bit)", u"Ormsted", kProjectAddress, kTextVersionCaption};
    ShowVersionWindow(state, state.window, info);
}

}  // namespace qdx::app
