// What OK and Apply of the options dialog store, and which changes enable
// Apply, checked through a host that records what it is asked to do.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options_controls.h"
#include "app/options_store.h"

namespace qdx::app {
namespace {

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(char(*text));
    return out;
}

class RecordingHost final : public OptionsHost {
public:
    bool FolderExists(const char16_t* path) override { return Narrow(path) == existingFolder; }
    void SyncShortcut(int shellFolder, bool wanted) override {
        calls.push_back((wanted ? "create " : "delete ") + std::to_string(shellFolder));
    }
    bool ReloadLanguage(WideString& name) override {
        calls.push_back("reload " + Narrow(name.Text()));
        if (!loadable) return false;
        if (Narrow(name.Text()) != "Japanese") name.Assign(u"English");  // the fallback
        return true;
    }
    void RebuildMainWindow() override { calls.push_back("rebuild"); }
    void RepaintMainWindow() override { calls.push_back("repaint"); }
    void ActivateTooltips(bool active) override { calls.push_back(active ? "tooltips on" : "tooltips off"); }

    std::string existingFolder = "C:\\Out";
    bool loadable = true;
    std::vector<std::string> calls;
};

// Settings as stored, and the values a dialog opened on them shows.
struct Fixture {
    Fixture() {
        settings.languageName.Assign(u"English");
        settings.fontFace.Assign(u"Tahoma");
        settings.globalOutputFolder.Assign(u"C:\\Out");
        settings.pluginFolder.Assign(u"C:\\Plugins");
        settings.excludedPlugins.emplace_back(u"old.spi");
        values.globalOutputFolder = settings.globalOutputFolder;
        values.pluginFolder = settings.pluginFolder;
        values.uncheckedPlugins = settings.excludedPlugins;
        values.languageText = settings.languageName;
        values.fontText = settings.fontFace;
        values.showTooltips = true;
        remembered = {true, false};
        values.desktopShortcut = true;
    }
    Settings settings;
    OptionsValues values;
    ShortcutStates remembered;
    RecordingHost host;
};

TEST(OptionsStore, UnchangedValuesKeepEverySettingAndNeitherReloadNorRebuild) {
    Fixture f;
    f.values.languageText.Assign(u"eNGLISH");  // only A-Z case differs
    f.values.fontText.Assign(u"TAHOMA");
    const Settings before = f.settings;
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_TRUE(f.settings == before);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"repaint", "tooltips on"}));
    // A letter outside A-Z in another case is another name.
    f.values.languageText.Assign(u"Englisch\u00C4");
    f.settings.languageName.Assign(u"Englisch\u00E4");
    EXPECT_TRUE(CompareAppearance(f.settings, f.values).language);
}

TEST(OptionsStore, EmptyListTextsRebuildTheFontWithUnchangedValues) {
    Fixture f;
    f.values.languageText.Clear();
    f.values.fontText.Clear();
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"rebuild", "repaint", "tooltips on"}));
    EXPECT_EQ(Narrow(f.settings.languageName.Text()), "English");
    EXPECT_EQ(Narrow(f.settings.fontFace.Text()), "Tahoma");
}

TEST(OptionsStore, AnotherLanguageIsLoadedBeforeTheRebuildAndTheLoadedNameKept) {
    Fixture f;
    f.values.languageText.Assign(u"Japanese");
    f.values.fontHeight = kLargeFontHeight;
    f.values.fontWeight = kBoldFontWeight;
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"reload Japanese", "rebuild", "repaint", "tooltips on"}));
    EXPECT_EQ(Narrow(f.settings.languageName.Text()), "Japanese");
    EXPECT_EQ(f.settings.fontHeight, kLargeFontHeight);
    EXPECT_EQ(f.settings.fontWeight, kBoldFontWeight);

    // A library that fell back keeps the fallback's name; none at all keeps the choice.
    Fixture fallback;
    fallback.values.languageText.Assign(u"Klingon");
    StoreOptions(fallback.values, fallback.remembered, fallback.settings, fallback.host);
    EXPECT_EQ(Narrow(fallback.settings.languageName.Text()), "English");
    Fixture none;
    none.host.loadable = false;
    none.values.languageText.Assign(u"Klingon");
    StoreOptions(none.values, none.remembered, none.settings, none.host);
    EXPECT_EQ(Narrow(none.settings.languageName.Text()), "Klingon");
    EXPECT_EQ(none.host.calls, (std::vector<std::string>{"reload Klingon", "rebuild", "repaint", "tooltips on"}));
}

TEST(OptionsStore, AHeightChangeAloneRebuildsWithoutReloading) {
    Fixture f;
    f.values.fontHeight = kMediumFontHeight;
    f.values.fontText.Assign(u"Arial");
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"rebuild", "repaint", "tooltips on"}));
    EXPECT_EQ(Narrow(f.settings.fontFace.Text()), "Arial");
    EXPECT_EQ(f.settings.fontHeight, kMediumFontHeight);
}

TEST(OptionsStore, OnlyShortcutsWhoseBoxChangedAreTouchedDesktopFirst) {
    Fixture f;
    f.values.desktopShortcut = false;
    f.values.sendToShortcut = true;
    f.values.showTooltips = false;
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_EQ(f.host.calls,
              (std::vector<std::string>{"delete 16", "create 9", "repaint", "tooltips off"}));
    EXPECT_FALSE(f.remembered.desktop);
    EXPECT_TRUE(f.remembered.sendTo);
    EXPECT_EQ(f.settings.showTooltips, 0);
    // A second Apply with the same boxes leaves the files alone.
    f.host.calls.clear();
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"repaint", "tooltips off"}));
}

TEST(OptionsStore, FoldersAndPluginExclusions) {
    Fixture f;
    f.values.globalOutputFolder.Assign(u"C:\\Gone");
    f.values.pluginFolder.Assign(u"C:\\Not there");
    f.values.uncheckedPlugins.clear();
    f.values.uncheckedPlugins.emplace_back(u"b.spi");
    f.values.uncheckedPlugins.emplace_back(u"a.sph");
    f.values.page = 2;
    f.values.largeDialogFont = true;
    f.values.useOwnBackground = true;
    StoreOptions(f.values, f.remembered, f.settings, f.host);
    EXPECT_TRUE(f.settings.globalOutputFolder.IsEmpty());  // a missing output folder is dropped
    EXPECT_EQ(Narrow(f.settings.pluginFolder.Text()), "C:\\Not there");  // the plug-in folder is not checked
    ASSERT_EQ(f.settings.excludedPlugins.size(), 2u);
    EXPECT_EQ(Narrow(f.settings.excludedPlugins[0].Text()), "b.spi");
    EXPECT_EQ(Narrow(f.settings.excludedPlugins[1].Text()), "a.sph");
    EXPECT_EQ(f.settings.optionsPage, 2u);
    EXPECT_EQ(f.settings.largeDialogFont, 1);
    EXPECT_EQ(f.settings.useOwnBackground, 1);
    EXPECT_TRUE(ContainsName(f.settings.excludedPlugins, u"B.SPI"));
    EXPECT_FALSE(ContainsName(f.settings.excludedPlugins, u"b.spi "));
}

TEST(OptionsApply, EnabledByExactlyTheListedChanges) {
    using namespace options_id;
    for (int id : {kDesktopShortcut, kSendToShortcut, kSmallFont, kMediumFont, kLargeFont, kNormalWeight, kBoldWeight,
                   kNormalDialogFont, kLargeDialogFont})
        EXPECT_TRUE(EnablesApply(id, BN_CLICKED)) << id;
    EXPECT_TRUE(EnablesApply(kOutputFolder, EN_CHANGE));
    EXPECT_TRUE(EnablesApply(kPluginFolder, EN_CHANGE));
    EXPECT_TRUE(EnablesApply(kLanguageList, CBN_SELCHANGE));
    EXPECT_TRUE(EnablesApply(kFontList, CBN_SELCHANGE));
    EXPECT_TRUE(EnablesApply(kPluginList, int(LVN_ITEMCHANGED)));
    // The background and tooltip boxes, the buttons themselves, focus changes
    // and opening a drop-down do not.
    for (int id : {kOwnBackground, kShowTooltips, kBrowseOutputFolder, kClearOutputFolder, kChooseColour,
                   kBrowsePluginFolder, kClearPluginFolder})
        EXPECT_FALSE(EnablesApply(id, BN_CLICKED)) << id;
    EXPECT_FALSE(EnablesApply(kPluginFolder, EN_KILLFOCUS));
    EXPECT_FALSE(EnablesApply(kLanguageList, CBN_DROPDOWN));
    EXPECT_FALSE(EnablesApply(kPluginList, int(NM_DBLCLK)));
}

}  // namespace
}  // namespace qdx::app
