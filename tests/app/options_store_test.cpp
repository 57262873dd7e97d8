// What OK and Apply of the options dialog store, checked through a host that
// records what it is asked to do, and which changes enable Apply.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options/options_controls.h"
#include "app/options/options_store.h"

namespace qdx::app {
namespace {

std::string Narrow(const WideString& text) {
    std::string out;
    for (uint32_t i = 0; i < text.Length(); ++i) out.push_back(char(text[i]));
    return out;
}

using Calls = std::vector<std::string>;

class RecordingHost final : public OptionsHost {
public:
    bool FolderExists(const char16_t* path) override { return Narrow(WideString(path)) == "C:\\Out"; }
    void SyncShortcut(int shellFolder, bool wanted) override {
        calls.push_back((wanted ? "create " : "delete ") + std::to_string(shellFolder));
    }
    bool ReloadLanguage(WideString& name) override {
        calls.push_back("reload " + Narrow(name));
        if (Narrow(name) == "Klingon") name.Assign(u"English");  // the fallback
        return loadable;
    }
    void RebuildMainWindow() override { calls.push_back("rebuild"); }
    void RepaintMainWindow() override { calls.push_back("repaint"); }
    void ActivateTooltips(bool active) override { calls.push_back(active ? "tips on" : "tips off"); }

    bool loadable = true;
    Calls calls;
};

// Settings as stored, the values a dialog opened on them shows, and a host.
struct Store {
    Store() {
        settings.languageName.Assign(u"English");
        settings.fontFace.Assign(u"Tahoma");
        values.languageText = settings.languageName;
        values.fontText = settings.fontFace;
    }
    Calls Run() {
        StoreOptions(values, remembered, settings, host);
        return host.calls;
    }
    Settings settings;
    OptionsValues values;
    ShortcutStates remembered;
    RecordingHost host;
};

TEST(OptionsStore, TheAppearanceIsRebuiltOnlyWhenItChangedAndTheLanguageOnlyReloadedWhenItDiffers) {
    Store same;
    same.values.languageText.Assign(u"eNGLISH");  // only A-Z case differs
    EXPECT_EQ(same.Run(), (Calls{"repaint", "tips on"}));
    EXPECT_EQ(Narrow(same.settings.languageName), "English");

    Store empty;  // nothing selected in either list: made again with the same values
    empty.values.languageText.Clear();
    empty.values.fontText.Clear();
    EXPECT_EQ(empty.Run(), (Calls{"rebuild", "repaint", "tips on"}));
    EXPECT_EQ(Narrow(empty.settings.fontFace), "Tahoma");

    Store height;
    height.values.fontHeight = kMediumFontHeight;
    height.values.fontText.Assign(u"Arial");
    EXPECT_EQ(height.Run(), (Calls{"rebuild", "repaint", "tips on"}));
    EXPECT_EQ(Narrow(height.settings.fontFace), "Arial");
    EXPECT_EQ(height.settings.fontHeight, kMediumFontHeight);

    Store fallback;  // the name of the library actually loaded is kept
    fallback.values.languageText.Assign(u"Klingon");
    EXPECT_EQ(fallback.Run(), (Calls{"reload Klingon", "rebuild", "repaint", "tips on"}));
    EXPECT_EQ(Narrow(fallback.settings.languageName), "English");

    Store none;  // no library at all: the choice is kept for the next start
    none.host.loadable = false;
    none.values.languageText.Assign(u"Japanese");
    none.Run();
    EXPECT_EQ(Narrow(none.settings.languageName), "Japanese");
}

TEST(OptionsStore, OnlyShortcutsWhoseBoxChangedAreTouchedDesktopFirst) {
    Store store;
    store.remembered = {true, false};
    store.values.sendToShortcut = true;
    store.values.showTooltips = false;
    EXPECT_EQ(store.Run(), (Calls{"delete 16", "create 9", "repaint", "tips off"}));
    store.host.calls.clear();
    EXPECT_EQ(store.Run(), (Calls{"repaint", "tips off"}));  // a second Apply leaves them alone
}

TEST(OptionsStore, AMissingOutputFolderIsDroppedThePluginFolderIsNot) {
    Store store;
    store.values.globalOutputFolder.Assign(u"C:\\Gone");
    store.values.pluginFolder.Assign(u"C:\\Not there");
    store.values.uncheckedPlugins = {WideString(u"b.spi"), WideString(u"a.sph")};
    store.settings.excludedPlugins = {WideString(u"old.spi")};
    store.Run();
    EXPECT_TRUE(store.settings.globalOutputFolder.IsEmpty());
    EXPECT_EQ(Narrow(store.settings.pluginFolder), "C:\\Not there");
    ASSERT_EQ(store.settings.excludedPlugins.size(), 2u);
    EXPECT_EQ(Narrow(store.settings.excludedPlugins[1]), "a.sph");
    store.values.globalOutputFolder.Assign(u"C:\\Out");
    store.Run();
    EXPECT_EQ(Narrow(store.settings.globalOutputFolder), "C:\\Out");
}

// Folder walking, colour profiles and photo details are stored as chosen; a
// list without a selection keeps what was stored.
TEST(OptionsStore, FolderWalkingAndTheColourAndPhotoDetailChoices) {
    const struct {
        bool convertFolders;
        uint32_t colourProfiles, keepMetadata;  // list positions
        uint8_t storedFolders;
        uint32_t storedProfiles, storedMetadata;
    } kCases[] = {
        {true, kColourProfilesAsStored, kKeepAllButLocation, 1, kColourProfilesAsStored, kKeepAllButLocation},
        {false, kColourProfilesToSrgb, kKeepNoMetadata, 0, kColourProfilesToSrgb, kKeepNoMetadata},
        {false, UINT32_MAX, UINT32_MAX, 0, kColourProfilesToSrgb, kKeepNoMetadata},
    };
    Store store;
    for (const auto& c : kCases) {
        store.values.convertFolders = c.convertFolders;
        store.values.colourProfiles = c.colourProfiles;
        store.values.keepMetadata = c.keepMetadata;
        store.Run();
        EXPECT_EQ(store.settings.convertFolders, c.storedFolders);
        EXPECT_EQ(store.settings.colourProfiles, c.storedProfiles);
        EXPECT_EQ(store.settings.keepMetadata, c.storedMetadata);
    }
}

TEST(OptionsApply, EnabledByExactlyTheListedChanges) {
    for (int id : {IDC_OPTIONS_CONVERT_FOLDERS, IDC_OPTIONS_DESKTOP_SHORTCUT, IDC_OPTIONS_SEND_TO_SHORTCUT, IDC_OPTIONS_SMALL_FONT,
                   IDC_OPTIONS_MEDIUM_FONT, IDC_OPTIONS_LARGE_FONT, IDC_OPTIONS_NORMAL_WEIGHT, IDC_OPTIONS_BOLD_WEIGHT,
                   IDC_OPTIONS_NORMAL_DIALOG_FONT, IDC_OPTIONS_LARGE_DIALOG_FONT})
        EXPECT_TRUE(EnablesApply(id, BN_CLICKED)) << id;
    EXPECT_TRUE(EnablesApply(IDC_OPTIONS_OUTPUT_FOLDER, EN_CHANGE));
    EXPECT_TRUE(EnablesApply(IDC_OPTIONS_PLUGIN_FOLDER, EN_CHANGE));
    for (int id : {IDC_OPTIONS_PROFILES_LIST, IDC_OPTIONS_METADATA_LIST, IDC_OPTIONS_LANGUAGE_LIST,
                   IDC_OPTIONS_FONT_LIST})
        EXPECT_TRUE(EnablesApply(id, CBN_SELCHANGE)) << id;
    EXPECT_TRUE(EnablesApply(IDC_OPTIONS_PLUGIN_LIST, int(LVN_ITEMCHANGED)));
    // Not the background and tooltip boxes, the buttons themselves, leaving
    // an edit, opening a list or a double click.
    for (int id : {IDC_OPTIONS_OWN_BACKGROUND, IDC_OPTIONS_SHOW_TOOLTIPS, IDC_OPTIONS_BROWSE_OUTPUT_FOLDER,
                   IDC_OPTIONS_CLEAR_OUTPUT_FOLDER, IDC_OPTIONS_CHOOSE_COLOUR, IDC_OPTIONS_BROWSE_PLUGIN_FOLDER,
                   IDC_OPTIONS_CLEAR_PLUGIN_FOLDER})
        EXPECT_FALSE(EnablesApply(id, BN_CLICKED)) << id;
    EXPECT_FALSE(EnablesApply(IDC_OPTIONS_PLUGIN_FOLDER, EN_KILLFOCUS));
    EXPECT_FALSE(EnablesApply(IDC_OPTIONS_LANGUAGE_LIST, CBN_DROPDOWN));
    EXPECT_FALSE(EnablesApply(IDC_OPTIONS_PLUGIN_LIST, int(NM_DBLCLK)));
}

}  // namespace
}  // namespace qdx::app
