#pragma once
// What OK and Apply of the options dialog store, worked out without a window:
// the values read from the dialog's controls go in, the global settings
// change in a fixed order, and the steps that reach beyond the settings
// (shortcut files, the language library, the main window) are asked of a host.
#include <cstdint>
#include <vector>

#include "core/preset_rules.h"
#include "core/settings.h"
#include "core/os/wide_string.h"

namespace qdx::app {

// Everything the dialog's controls hold when OK or Apply is pressed.
struct OptionsValues {
    WideString globalOutputFolder;
    bool convertFolders = false;
    bool useOwnBackground = false;
    uint32_t colourProfiles = kColourProfilesToSrgb;  // the list positions are the codes
    uint32_t keepMetadata = kKeepDateAndCamera;
    bool desktopShortcut = false;
    bool sendToShortcut = false;
    WideString pluginFolder;
    std::vector<WideString> uncheckedPlugins;  // in row order
    uint32_t page = 0;
    bool largeDialogFont = false;
    WideString languageText;  // the selected language library, empty when none is selected
    WideString fontText;      // the selected font family, empty when none is selected
    int32_t fontHeight = kSmallFontHeight;
    int32_t fontWeight = kFontWeightNormal;
    bool showTooltips = true;
};

// Whether each shortcut existed when the dialog opened or at the last Apply.
struct ShortcutStates {
    bool desktop = false;
    bool sendTo = false;
};

class OptionsHost {
public:
    virtual ~OptionsHost() = default;
    virtual bool FolderExists(const char16_t* path) = 0;
    // Creates the program's shortcut in the shell folder (kDesktopFolder or
    // kSendToFolder) when it is wanted and missing; deletes it when it is not
    // wanted and exists.
    virtual void SyncShortcut(int shellFolder, bool wanted) = 0;
    // Releases the current language library and loads the one named, with
    // the start-up fallbacks; `name` becomes the name actually loaded. False
    // when no library at all could be loaded (texts then read empty).
    virtual bool ReloadLanguage(WideString& name) = 0;
    // A new main font from fontFace, fontHeight and fontWeight, with its
    // metrics, the main window's texts, layout and tooltip texts.
    virtual void RebuildMainWindow() = 0;
    virtual void RepaintMainWindow() = 0;
    virtual void ActivateTooltips(bool active) = 0;
};

// True when `name` is among `names`, the letters A to Z folded.
bool ContainsName(const std::vector<WideString>& names, const char16_t* name);

struct AppearanceChange {
    bool language = false;  // the language text is empty or names another library
    bool font = false;      // the font text is empty or names another family
    bool any = false;       // language, font, height or weight changed
};
AppearanceChange CompareAppearance(const Settings& settings, const OptionsValues& values);

// Stores the values into `settings` in the dialog's order: output folder,
// folder walking, background, colour profiles and photo details, shortcuts (only those whose box changed since `remembered`,
// which is updated), plug-in folder and exclusions, page, dialog font,
// appearance (language reload and main window rebuild only when it changed),
// repaint, tooltips.
void StoreOptions(const OptionsValues& values, ShortcutStates& remembered, Settings& settings, OptionsHost& host);

}  // namespace qdx::app
