#include "app/options/options_store.h"

#include "app/shell/shell_utilities.h"

namespace qdx::app {

namespace {

// An empty selection counts as a change, so that the font is made again.
bool TextChanged(const WideString& chosen, const WideString& stored) {
    return chosen.IsEmpty() || !EqualsIgnoringAsciiCase(chosen.Text(), stored.Text());
}

void StoreShortcut(int shellFolder, bool wanted, bool& remembered, OptionsHost& host) {
    if (wanted == remembered) return;
    remembered = wanted;
    host.SyncShortcut(shellFolder, wanted);
}

void StoreAppearance(const OptionsValues& values, Settings& settings, OptionsHost& host) {
    const AppearanceChange change = CompareAppearance(settings, values);
    if (!change.any) return;
    if (change.language && !values.languageText.IsEmpty()) {
        WideString loaded(values.languageText.Text());
        // Without any library the program goes on with empty texts; the
        // name chosen is kept so that the next start tries it first.
        if (host.ReloadLanguage(loaded)) {
            settings.languageName = loaded;
        } else {
            settings.languageName = values.languageText;
        }
    }
    if (change.font && !values.fontText.IsEmpty()) settings.fontFace = values.fontText;
    settings.fontHeight = values.fontHeight;
    settings.fontWeight = values.fontWeight;
    host.RebuildMainWindow();
}

}  // namespace

bool ContainsName(const std::vector<WideString>& names, const char16_t* name) {
    for (const WideString& candidate : names)
        if (EqualsIgnoringAsciiCase(candidate.Text(), name)) return true;
    return false;
}

AppearanceChange CompareAppearance(const Settings& settings, const OptionsValues& values) {
    AppearanceChange change;
    change.language = TextChanged(values.languageText, settings.languageName);
    change.font = TextChanged(values.fontText, settings.fontFace);
    change.any = change.language || change.font || values.fontHeight != settings.fontHeight ||
                 values.fontWeight != settings.fontWeight;
    return change;
}

void StoreOptions(const OptionsValues& values, ShortcutStates& remembered, Settings& settings, OptionsHost& host) {
    if (!values.globalOutputFolder.IsEmpty() && host.FolderExists(values.globalOutputFolder.Text())) {
        settings.globalOutputFolder = values.globalOutputFolder;
    } else {
        settings.globalOutputFolder.Clear();
    }
    settings.convertFolders = values.convertFolders ? 1 : 0;
    settings.useOwnBackground = values.useOwnBackground ? 1 : 0;
    // A list without a selection keeps what was stored.
    if (values.colourProfiles < kColourProfilesCount) settings.colourProfiles = values.colourProfiles;
    if (values.keepMetadata < kKeepMetadataCount) settings.keepMetadata = values.keepMetadata;
    StoreShortcut(kDesktopFolder, values.desktopShortcut, remembered.desktop, host);
    StoreShortcut(kSendToFolder, values.sendToShortcut, remembered.sendTo, host);
    settings.pluginFolder = values.pluginFolder;
    settings.excludedPlugins.clear();
    settings.excludedPlugins = values.uncheckedPlugins;
    settings.optionsPage = values.page;
    settings.largeDialogFont = values.largeDialogFont ? 1 : 0;
    StoreAppearance(values, settings, host);
    host.RepaintMainWindow();
    settings.showTooltips = values.showTooltips ? 1 : 0;
    host.ActivateTooltips(values.showTooltips);
}

}  // namespace qdx::app
