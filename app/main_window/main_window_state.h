#pragma once
// Everything the main window and the windows it opens work with, made once at
// start-up and handed to the main window as its creation parameter. The main
// window and its drop areas keep a pointer to it in their user data; dialogs
// receive it (or the part they edit) through their own creation parameter.
#include <windows.h>

#include <memory>

#include "app/common/controls.h"
#include "app/common/dpi_scale.h"
#include "app/common/win32_owners.h"
#include "app/startup/language_library.h"
#include "core/os/wide_string.h"
#include "core/settings.h"

namespace qdx::app {

struct MainWindowState {
    explicit MainWindowState(HINSTANCE module, Settings& current) : instance(module), settings(current) {}
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    HINSTANCE instance;  // the executable
    Settings& settings;  // read at start-up, saved when the window closes
    WideString settingsPath;
    ModuleHandle languageLibrary;  // strings and dialog templates
    // The texts of that library, which the engine reads through; replaced
    // with the library when the options change the language.
    std::unique_ptr<LibraryTextSource> texts;
    FontHandle mainFont;       // at `dpi`
    InterfaceMetrics metrics;  // of the main font
    int dpi = kBaseDpi;        // of the monitor the main window is on
    HWND window = nullptr;     // the main window, while it exists
    HWND tooltip = nullptr;    // the drop targets' tooltips
    bool sizing = false;       // while the user moves or sizes the main window
};

// The state kept by the main window or one of its drop areas (their creation
// parameter, kept at WM_NCCREATE); null before that.
MainWindowState* StateOf(HWND window);

// Replaces the main font by one made from the settings (face, height,
// weight) at the state's DPI and measures the metrics again in a device
// context of `window`.
// False when no font could be made (the old one and its metrics are kept).
bool RecreateMainFont(MainWindowState& state, HWND window);

}  // namespace qdx::app
