// The options dialog over the real main window in this process: the test's
// thread runs the dialog as the Options button does, a second thread works
// its controls the way a user would and reads what they show.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/main_window/main_window.h"
#include "app/options/options_controls.h"
#include "app/options/options_dialog.h"
#include "app/shell/shell_utilities.h"
#include "app/startup/startup.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings.h"
#include "tests/app/gui_support.h"
#include "tests/support/temp_folder.h"

namespace qdx::app {
namespace {

// Works the open dialog from the helper thread.
class DialogDriver {
public:
    explicit DialogDriver(HWND frame) : frame_(frame) {}
    HWND Frame() const { return frame_; }

    HWND Control(int id) const {
        for (HWND child = ::GetWindow(frame_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            if (HWND control = ::GetDlgItem(child, id)) return control;
        return ::GetDlgItem(frame_, id);
    }
    void Click(int id) const { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
    bool Checked(int id) const { return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool ApplyEnabled() const { return ::IsWindowEnabled(Control(IDC_OPTIONS_APPLY)) != FALSE; }
    void Choose(int id, const wchar_t* text) const {
        HWND list = Control(id);
        const LRESULT index = ::SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text));
        ::SendMessageW(list, CB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(list));
    }
    void Type(int id, const wchar_t* text) const { ::SendMessageW(Control(id), WM_SETTEXT, 0, LPARAM(text)); }
    void Leave(int id) const {
        HWND edit = Control(id);
        ::SendMessageW(::GetParent(edit), WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), LPARAM(edit));
    }
    // Column 0 of every plug-in row and whether it is checked, top to bottom.
    std::vector<std::pair<std::wstring, bool>> PluginRows() const {
        HWND list = Control(IDC_OPTIONS_PLUGIN_LIST);
        std::vector<std::pair<std::wstring, bool>> rows;
        const int count = ListView_GetItemCount(list);
        for (int row = 0; row < count; ++row) {
            wchar_t text[260] = {};
            ListView_GetItemText(list, row, 0, text, 260);
            rows.emplace_back(text, ListView_GetCheckState(list, row) != 0);
        }
        return rows;
    }
    void SetRowCheck(int row, bool checked) const {
        ListView_SetCheckState(Control(IDC_OPTIONS_PLUGIN_LIST), row, checked);
    }
    // Selects the row and tells the page it was double-clicked, as the list does.
    void DoubleClickRow(int row) const {
        HWND list = Control(IDC_OPTIONS_PLUGIN_LIST);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        NMITEMACTIVATE activate{};
        activate.hdr = {list, UINT_PTR(IDC_OPTIONS_PLUGIN_LIST), UINT(NM_DBLCLK)};
        activate.iItem = row;
        ::SendMessageW(::GetParent(list), WM_NOTIFY, WPARAM(IDC_OPTIONS_PLUGIN_LIST), LPARAM(&activate));
    }
    void End(int id) const { ::PostMessageW(frame_, WM_COMMAND, WPARAM(id), 0); }
    // The whole dialog, frame included, as it is now drawn.
    bool Screenshot(const std::string& name) const {
        ::RedrawWindow(frame_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::Sleep(200);
        return test::SaveWindowScreenshot(frame_, name.c_str());
    }

private:
    HWND frame_;
};

// A face the font list offers: one that draws Japanese too when there is one.
WideString ListedFace() {
    HWND list = ::CreateWindowExW(0, L"ComboBox", L"", CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    FillFontList(list, u"");
    LRESULT index = ::SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(L"MS UI Gothic"));
    if (index == CB_ERR) index = 0;
    wchar_t face[LF_FACESIZE + 1] = {};
    ::SendMessageW(list, CB_GETLBTEXT, WPARAM(index), LPARAM(face));
    ::DestroyWindow(list);
    return WideString(reinterpret_cast<const char16_t*>(face));
}

bool IsOptionsFrame(HWND window) {
    return test::ClassOf(window) == L"#32770" && test::ClassOf(::GetWindow(window, GW_OWNER)) == kMainClass;
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.Ready());
        Settings& settings = app_.SettingsInUse();
        settings.languageName.Assign(u"English");
        settings.fontFace = ListedFace();
        ASSERT_FALSE(settings.fontFace.IsEmpty());
        ASSERT_NE(CreateMainWindow(app_.State()), nullptr);
        ::ShowWindow(app_.State().window, SW_SHOWNORMAL);
        test::PumpMessages(100);
    }
    void TearDown() override {
        if (app_.State().window) ::DestroyWindow(app_.State().window);
    }

    // Runs the dialog as the Options button does while `script` works it
    // from another thread; the dialog is cancelled should the script leave it
    // open. Returns whether the dialog opened. Message boxes are closed and
    // their texts handed back; without `boxTexts` none may appear.
    bool Run(const std::function<void(const DialogDriver&)>& script, std::vector<std::wstring>* boxTexts = nullptr) {
        test::MessageBoxDismisser boxes;
        test::WindowActor actor(::GetCurrentThreadId(), IsOptionsFrame, [&](HWND frame) {
            DialogDriver driver(frame);
            script(driver);
            if (::IsWindow(frame)) driver.End(IDCANCEL);
        });
        OpenOptionsDialog(app_.State());
        const bool acted = actor.Acted();
        if (boxTexts) {
            *boxTexts = boxes.Texts();
        } else {
            EXPECT_TRUE(boxes.Texts().empty());
        }
        return acted;
    }

    std::wstring MainText(int id) {
        wchar_t text[128] = {};
        ::GetDlgItemTextW(app_.State().window, id, text, 128);
        return text;
    }

    test::GuiApp app_{u"English"};
    test::TempFolder folder_;
};

TEST_F(OptionsDialogTest, OkWithoutChangesKeepsEverySettingWithoutReloadingOrRebuilding) {
    Settings& settings = app_.SettingsInUse();
    settings.languageName.Assign(u"eNGLISH");  // only A-Z case differs from the library's name
    settings.globalOutputFolder = folder_.Path();
    settings.fontHeight = -14;
    settings.optionsPage = 2;
    const Settings before = settings;
    const HINSTANCE library = app_.State().languageLibrary.Get();
    const TextSource* texts = CurrentTextSource();
    const HFONT font = app_.State().mainFont.Get();
    bool applyAtOpening = true;
    std::wstring language, face;
    ASSERT_TRUE(Run([&](const DialogDriver& dialog) {
        applyAtOpening = dialog.ApplyEnabled();
        language.resize(64);
        language.resize(size_t(::GetWindowTextW(dialog.Control(IDC_OPTIONS_LANGUAGE_LIST), language.data(), 64)));
        face.resize(64);
        face.resize(size_t(::GetWindowTextW(dialog.Control(IDC_OPTIONS_FONT_LIST), face.data(), 64)));
        dialog.End(IDOK);
    }));
    EXPECT_FALSE(applyAtOpening);
    EXPECT_EQ(language, L"English");
    EXPECT_EQ(face, W(before.fontFace.Text()));
    EXPECT_TRUE(app_.SettingsInUse() == before);
    EXPECT_EQ(app_.State().languageLibrary.Get(), library);
    EXPECT_EQ(CurrentTextSource(), texts);
    EXPECT_EQ(app_.State().mainFont.Get(), font);
}

TEST_F(OptionsDialogTest, CancelAfterApplyKeepsWhatApplyStored) {
    bool enabledByHeight = false, enabledByBackground = true;
    ASSERT_TRUE(Run([&](const DialogDriver& dialog) {
        dialog.Click(kPageButtons[2]);
        dialog.Click(IDC_OPTIONS_SHOW_TOOLTIPS);  // waits for another change
        dialog.Click(kPageButtons[0]);
        dialog.Click(IDC_OPTIONS_OWN_BACKGROUND);
        enabledByBackground = dialog.ApplyEnabled();
        dialog.Click(kPageButtons[2]);
        dialog.Click(IDC_OPTIONS_LARGE_FONT);
        enabledByHeight = dialog.ApplyEnabled();
        dialog.Click(IDC_OPTIONS_APPLY);
        dialog.Click(IDC_OPTIONS_BOLD_WEIGHT);  // not applied
        dialog.End(IDCANCEL);
    }));
    EXPECT_FALSE(enabledByBackground);
    EXPECT_TRUE(enabledByHeight);
    const Settings& settings = app_.SettingsInUse();
    EXPECT_EQ(settings.fontHeight, -16);
    EXPECT_EQ(settings.fontWeight, 400);
    EXPECT_EQ(settings.useOwnBackground, 1);
    EXPECT_EQ(settings.showTooltips, 0);
    EXPECT_EQ(settings.optionsPage, 2u);
}

TEST_F(OptionsDialogTest, TheDesktopBoxDeletesAndCreatesTheShortcutOnApply) {
    ShortcutPaths paths;
    SyncShortcut(kDesktopFolder, true);
    ASSERT_TRUE(ShortcutExists(kDesktopFolder, paths));
    bool checkedAtOpening = false, afterUncheck = true, afterCheck = false;
    ASSERT_TRUE(Run([&](const DialogDriver& dialog) {
        ShortcutPaths found;
        checkedAtOpening = dialog.Checked(IDC_OPTIONS_DESKTOP_SHORTCUT);
        dialog.Click(IDC_OPTIONS_DESKTOP_SHORTCUT);
        dialog.Click(IDC_OPTIONS_APPLY);
        afterUncheck = ShortcutExists(kDesktopFolder, found);
        dialog.Click(IDC_OPTIONS_DESKTOP_SHORTCUT);
        dialog.Click(IDC_OPTIONS_APPLY);
        afterCheck = ShortcutExists(kDesktopFolder, found);
        dialog.End(IDOK);
    }));
    EXPECT_TRUE(checkedAtOpening);
    EXPECT_FALSE(afterUncheck);
    EXPECT_TRUE(afterCheck);
    SyncShortcut(kDesktopFolder, false);
}

TEST_F(OptionsDialogTest, JapaneseOnApplyChangesTheMainWindowTextsAtOnce) {
    ASSERT_EQ(MainText(IDC_MAIN_OPTIONS), L"Options");
    std::wstring afterApply;
    ASSERT_TRUE(Run([&](const DialogDriver& dialog) {
        dialog.Click(kPageButtons[2]);
        dialog.Choose(IDC_OPTIONS_LANGUAGE_LIST, L"Japanese");
        dialog.Click(IDC_OPTIONS_APPLY);
        afterApply = MainText(1200);
        test::SaveWindowScreenshot(app_.State().window, "OptionsDialog_MainWindowAfterJapanese");
        dialog.End(IDCANCEL);
    }));
    EXPECT_EQ(afterApply, L"\u30AA\u30D7\u30B7\u30E7\u30F3");  // "options" in Japanese
    EXPECT_STREQ(reinterpret_cast<const char*>(app_.SettingsInUse().languageName.Text()),
                 reinterpret_cast<const char*>(u"Japanese"));
    WideString english(u"English");
    ReplaceLanguageLibrary(app_.State(), english);
}

// Three copies of one plug-in in two folders, one of them excluded in
// another case of its letters.
TEST_F(OptionsDialogTest, PluginRowsAreOrderedCheckedAndAllCheckedAfterANewFolder) {
    const WideString plugin = test::BinFile(u"plugins\\netpbm.spi");
    const WideString other = folder_.File(u"other");
    ASSERT_TRUE(os::CreateFolder(other.Text()));
    for (const char16_t* name : {u"plugin10.spi", u"plugin2.spi", u"zeta.spi"}) {
        WideString copy;
        SetFolderPlusName(copy, other.Text(), name);
        ASSERT_TRUE(::CopyFileW(W(plugin.Text()), W(folder_.File(name).Text()), FALSE));
        ASSERT_TRUE(::CopyFileW(W(plugin.Text()), W(copy.Text()), FALSE));
    }
    Settings& settings = app_.SettingsInUse();
    settings.pluginFolder = folder_.Path();
    settings.excludedPlugins.emplace_back(u"PLUGIN10.SPI");
    using Rows = std::vector<std::pair<std::wstring, bool>>;
    Rows atOpening, afterTyping, afterBrowsing;
    std::wstring types;
    std::vector<std::wstring> boxes;
    bool browsed = false;
    ASSERT_TRUE(Run([&](const DialogDriver& dialog) {
        dialog.Click(kPageButtons[1]);
        atOpening = dialog.PluginRows();
        wchar_t text[260] = {};
        ListView_GetItemText(dialog.Control(IDC_OPTIONS_PLUGIN_LIST), 0, 1, text, 260);
        types = text;
        dialog.Screenshot("OptionsDialog_PluginList");
        dialog.Type(IDC_OPTIONS_PLUGIN_FOLDER, W(other.Text()));
        dialog.Leave(IDC_OPTIONS_PLUGIN_FOLDER);
        afterTyping = dialog.PluginRows();
        dialog.SetRowCheck(0, false);
        // In the browser the first folder is chosen again.
        test::WindowActor browser(
            ::GetWindowThreadProcessId(dialog.Frame(), nullptr),
            [&](HWND window) { return ::GetWindow(window, GW_OWNER) == dialog.Frame(); },
            [&](HWND window) {
                ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, LPARAM(folder_.Path().Text()));
                ::PostMessageW(window, WM_COMMAND, IDOK, 0);
            });
        ::PostMessageW(dialog.Control(IDC_OPTIONS_BROWSE_PLUGIN_FOLDER), BM_CLICK, 0, 0);
        browsed = browser.Acted();
        test::PumpUntil([&] { return dialog.PluginRows() == afterTyping; }, 3000);
        afterBrowsing = dialog.PluginRows();
        dialog.SetRowCheck(2, false);
        dialog.DoubleClickRow(1);  // the plug-in's own settings: a message box here
        dialog.End(IDOK);
    }, &boxes));
    EXPECT_EQ(boxes, std::vector<std::wstring>{L"This reader has no settings."});
    EXPECT_EQ(atOpening, (Rows{{L"plugin2.spi", true}, {L"plugin10.spi", false}, {L"zeta.spi", true}}));
    EXPECT_FALSE(types.empty());
    const Rows allChecked{{L"plugin2.spi", true}, {L"plugin10.spi", true}, {L"zeta.spi", true}};
    EXPECT_EQ(afterTyping, allChecked);
    EXPECT_TRUE(browsed);
    EXPECT_EQ(afterBrowsing, allChecked);
    ASSERT_EQ(app_.SettingsInUse().excludedPlugins.size(), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(app_.SettingsInUse().excludedPlugins[0].Text()),
                 reinterpret_cast<const char*>(u"zeta.spi"));
    EXPECT_TRUE(SameText(app_.SettingsInUse().pluginFolder, folder_.Path()));
}

TEST_F(OptionsDialogTest, ScreenshotsOfEveryPageInBothLanguagesAndSizes) {
    const char* pages[] = {"Output", "Plugins", "Appearance"};
    for (const char16_t* language : {u"English", u"Japanese"}) {
        WideString name(language);
        ASSERT_TRUE(ReplaceLanguageLibrary(app_.State(), name));
        app_.SettingsInUse().languageName = name;
        for (uint8_t large : {0, 1}) {
            app_.SettingsInUse().largeDialogFont = large;
            int saved = 0;
            ASSERT_TRUE(Run([&](const DialogDriver& dialog) {
                for (int page = 0; page < kOptionsPageCount; ++page) {
                    dialog.Click(kPageButtons[page]);
                    std::string file = std::string("OptionsDialog_") + (language[0] == u'E' ? "English" : "Japanese") +
                                       (large ? "_11pt_" : "_9pt_") + pages[page];
                    saved += dialog.Screenshot(file) ? 1 : 0;
                }
                dialog.End(IDCANCEL);
            }));
            EXPECT_EQ(saved, kOptionsPageCount);
        }
    }
    WideString english(u"English");
    ReplaceLanguageLibrary(app_.State(), english);
}

// A library that loads but lacks the signature is not replaced by a
// fallback: the program goes on with empty texts and the dialog stays shut.
TEST_F(OptionsDialogTest, WithoutAUsableLanguageLibraryTextsAreEmptyAndTheDialogDoesNotOpen) {
    WideString unsigned_(u"NoSignature");
    EXPECT_FALSE(ReplaceLanguageLibrary(app_.State(), unsigned_));
    EXPECT_FALSE(app_.State().languageLibrary);
    EXPECT_TRUE(LanguageText(1200).IsEmpty());
    EXPECT_FALSE(OpenOptionsDialog(app_.State()));
    WideString english(u"English");
    EXPECT_TRUE(ReplaceLanguageLibrary(app_.State(), english));
}

}  // namespace
}  // namespace qdx::app
