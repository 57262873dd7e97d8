#pragma once
// Process-wide state of the Windows program, created by start-up and used by
// the main window and (later) the dialogs.
#include <windows.h>

#include <memory>

#include "app/common/win32_owners.h"
#include "app/startup/language_library.h"
#include "core/settings_file.h"
#include "core/os/wide_string.h"

namespace qdx::app {

struct AppState {
    HINSTANCE instance = nullptr;          // the executable
    ModuleHandle languageLibrary;          // strings and dialog templates
    // The texts of that library, which the engine reads through; replaced
    // with the library when the options change the language.
    std::unique_ptr<LibraryTextSource> texts;
    int osLevel = 0;                       // 0 = unsupported
    WideString settingsPath;
    SettingsReader settingsReader;         // open from start-up until the window exists
    HWND mainWindow = nullptr;
    FontHandle mainFont;
    DWORD htmlHelpCookie = 0;
};

AppState& State();

}  // namespace qdx::app
