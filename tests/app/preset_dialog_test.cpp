// The preset dialog run for real in this process (Wine and Xvfb in CI): a
// helper thread sets its controls the way a person would, by messages, and
// presses OK or Cancel; the test then looks at the preset and the drop
// target. Screenshots of every size-row layout go into the build folder.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/common/control_ids.h"
#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/main_window/main_window.h"
#include "app/preset_dialog/preset_dialog.h"
#include "app/preset_dialog/preset_dialog_rules.h"
#include "core/settings.h"
#include "tests/app/gui_support.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using app::W;

// Driving the dialog from the helper thread.
void SetText(HWND dialog, int id, const wchar_t* text) {
    ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, LPARAM(text));
}
std::wstring GetText(HWND dialog, int id) {
    wchar_t text[300] = {};
    ::SendMessageW(::GetDlgItem(dialog, id), WM_GETTEXT, 300, LPARAM(text));
    return text;
}
void Select(HWND dialog, int list, int item) {
    ::SendDlgItemMessageW(dialog, list, CB_SETCURSEL, WPARAM(item), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), LPARAM(::GetDlgItem(dialog, list)));
}
void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool Checked(HWND dialog, int id) {
    return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void Focus(HWND dialog, int id) { ::SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(::GetDlgItem(dialog, id)), TRUE); }
void Press(HWND dialog, int button) { ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }
bool Visible(HWND dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE; }
bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Every visible control fits inside the dialog, shows its whole text and
// overlaps no other visible control (a spin control sits on its edit's edge).
void ExpectNothingClippedOrOverlapping(HWND dialog) {
    RECT client{};
    ::GetClientRect(dialog, &client);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    HDC dc = ::GetDC(dialog);
    HGDIOBJ previous = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    const int checkAllowance = ::GetSystemMetrics(SM_CXMENUCHECK) + 4;
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        const int id = ::GetDlgCtrlID(child);
        const RECT rect = ClientRectOf(dialog, child);
        EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= client.right && rect.bottom <= client.bottom)
            << "control " << id << " leaves the dialog";
        const std::wstring className = test::ClassOf(child);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        const bool isButton = _wcsicmp(className.c_str(), L"Button") == 0;
        const bool isStatic = _wcsicmp(className.c_str(), L"Static") == 0;
        if (isButton || isStatic) {
            wchar_t text[128] = {};
            ::GetWindowTextW(child, text, 128);
            SIZE size{};
            ::GetTextExtentPoint32W(dc, text, int(wcslen(text)), &size);
            const LONG kind = style & BS_TYPEMASK;
            const bool box = isButton && kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON;
            const int room = rect.right - rect.left - (box ? checkAllowance : isButton ? 8 : 0);
            EXPECT_LE(size.cx, room) << "control " << id << " clips its text";
            EXPECT_LE(metrics.tmHeight, rect.bottom - rect.top) << "control " << id << " is too low for its text";
        }
        shown.emplace_back(child, rect);
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(dialog, dc);
    const std::pair<int, int> spins[] = {{IDC_PRESET_QUALITY_EDIT, IDC_PRESET_QUALITY_SPIN},
                                         {IDC_PRESET_MAX_SIZE_EDIT, IDC_PRESET_MAX_SIZE_SPIN},
                                         {IDC_PRESET_WIDTH_EDIT, IDC_PRESET_WIDTH_SPIN},
                                         {IDC_PRESET_HEIGHT_EDIT, IDC_PRESET_HEIGHT_SPIN}};
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const int a = ::GetDlgCtrlID(shown[i].first), b = ::GetDlgCtrlID(shown[j].first);
            bool pair = false;
            for (auto [edit, spin] : spins) pair |= (a == edit && b == spin) || (a == spin && b == edit);
            RECT overlap{};
            if (!pair) {
                EXPECT_FALSE(::IntersectRect(&overlap, &shown[i].second, &shown[j].second)) << a << " and " << b;
            }
        }
    }
}

// The controls the program drives are there with their roles, and each
// control whose identifier names a language text shows that text.
void ExpectControlsOfTheTemplate(HWND dialog) {
    for (int list : {IDC_PRESET_FORMAT_LIST, IDC_PRESET_SUBSAMPLING_LIST, IDC_PRESET_MODE_LIST, IDC_PRESET_FILTER_LIST,
                     IDC_PRESET_SHARPNESS_LIST}) {
        const LONG style = ::GetWindowLongW(::GetDlgItem(dialog, list), GWL_STYLE);
        EXPECT_TRUE(style & CBS_OWNERDRAWFIXED) << list;
        EXPECT_FALSE(style & CBS_HASSTRINGS) << list << ": items are string identifiers";
    }
    const std::pair<int, int> spins[] = {{IDC_PRESET_QUALITY_EDIT, IDC_PRESET_QUALITY_SPIN},
                                         {IDC_PRESET_MAX_SIZE_EDIT, IDC_PRESET_MAX_SIZE_SPIN},
                                         {IDC_PRESET_WIDTH_EDIT, IDC_PRESET_WIDTH_SPIN},
                                         {IDC_PRESET_HEIGHT_EDIT, IDC_PRESET_HEIGHT_SPIN}};
    for (auto [edit, spin] : spins)
        EXPECT_EQ(HWND(::SendDlgItemMessageW(dialog, spin, UDM_GETBUDDY, 0, 0)), ::GetDlgItem(dialog, edit)) << spin;
    for (int id : {IDC_PRESET_SUFFIX_EDIT, IDC_PRESET_FOLDER_EDIT, IDC_PRESET_SUBFOLDER_EDIT, IDC_PRESET_BROWSE,
                   IDC_PRESET_CLEAR_FOLDER, IDC_PRESET_WIDTH_UNIT, IDC_PRESET_HEIGHT_UNIT})
        EXPECT_NE(::GetDlgItem(dialog, id), nullptr) << id;
    int labelled = 0;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        const WideString text = app::LanguageText(uint32_t(id));
        if (text.IsEmpty() || id == IDC_PRESET_FOLDER_EDIT) continue;  // the folder's hint has that number
        wchar_t shown[128] = {};
        ::GetWindowTextW(child, shown, 128);
        EXPECT_STREQ(shown, W(text.Text())) << id;
        ++labelled;
    }
    // Headings, check boxes, radio buttons, labels and buttons.
    EXPECT_EQ(labelled, 22);
}

// The program's state with a hidden main window and one drop target per
// preset, as the main window leaves them.
class PresetDialogTest : public ::testing::Test {
protected:
    explicit PresetDialogTest(const char16_t* language = u"English") : app_(language) {}

    void SetUp() override {
        ASSERT_TRUE(app_.Ready());
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        main_ = app::CreateMainWindow(app_.State());
        ASSERT_NE(main_, nullptr);
        for (int i = 0; i < kPresetCount; ++i) {
            targets_[i] = ::GetDlgItem(main_, IDC_MAIN_FIRST_DROP_TARGET + i);
            ASSERT_TRUE(Accepts(i));
        }
    }
    void TearDown() override {
        if (main_) ::DestroyWindow(main_);
        // The main window's end posted the quit message; a dialog opened
        // later would take it as its own end.
        test::PumpMessages(20);
    }

    Preset& PresetAt(int index) { return app_.SettingsInUse().presets[index]; }
    bool Accepts(int index) const { return (::GetWindowLongW(targets_[index], GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }

    // Clicks drop target `index`; `act` runs on a helper thread with the
    // dialog that opens and must end it. False when no dialog showed up.
    bool Run(int index, const std::function<void(HWND)>& act) {
        const HWND owner = main_;
        test::WindowActor actor(
            ::GetCurrentThreadId(),
            [owner](HWND window) {
                return test::ClassOf(window) == L"#32770" && ::GetWindow(window, GW_OWNER) == owner;
            },
            act);
        ::SendMessageW(targets_[index], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        return actor.Acted();
    }

    test::GuiApp app_;
    HWND main_ = nullptr;
    HWND targets_[kPresetCount] = {};
};

TEST_F(PresetDialogTest, OpensWithThePresetAndCancelChangesNothing) {
    Preset& preset = PresetAt(1);
    preset.outputFormat = kOutputGif;
    preset.keepTransparency = 1;
    preset.jpegSubsampling = 2;
    preset.resampleFilter = 3;
    preset.sharpness = 2;
    preset.suffix.Assign(u"_small");
    const Preset before = preset;
    std::wstring caption, width, suffix;
    int format = -1, subsampling = -1, mode = -1, filter = -1, sharpness = -1;
    bool keepTransparency = false, heightShown = true, aspectEnabled = true;
    ASSERT_TRUE(Run(1, [&](HWND dialog) {
        wchar_t text[64] = {};
        ::GetWindowTextW(dialog, text, 64);
        caption = text;
        format = int(::SendDlgItemMessageW(dialog, IDC_PRESET_FORMAT_LIST, CB_GETCURSEL, 0, 0));
        subsampling = int(::SendDlgItemMessageW(dialog, IDC_PRESET_SUBSAMPLING_LIST, CB_GETCURSEL, 0, 0));
        mode = int(::SendDlgItemMessageW(dialog, IDC_PRESET_MODE_LIST, CB_GETCURSEL, 0, 0));
        filter = int(::SendDlgItemMessageW(dialog, IDC_PRESET_FILTER_LIST, CB_GETCURSEL, 0, 0));
        sharpness = int(::SendDlgItemMessageW(dialog, IDC_PRESET_SHARPNESS_LIST, CB_GETCURSEL, 0, 0));
        keepTransparency = Checked(dialog, IDC_PRESET_KEEP_TRANSPARENCY);
        width = GetText(dialog, IDC_PRESET_WIDTH_EDIT);
        suffix = GetText(dialog, IDC_PRESET_SUFFIX_EDIT);
        heightShown = Visible(dialog, IDC_PRESET_HEIGHT_EDIT);
        aspectEnabled = Enabled(dialog, IDC_PRESET_KEEP_ASPECT);
        // A person changes everything, then thinks better of it.
        Select(dialog, IDC_PRESET_FORMAT_LIST, 0);
        Select(dialog, IDC_PRESET_MODE_LIST, 5);
        SetText(dialog, IDC_PRESET_WIDTH_EDIT, L"123");
        SetText(dialog, IDC_PRESET_SUFFIX_EDIT, L"_other");
        Click(dialog, IDC_PRESET_DISABLE_TARGET);
        Press(dialog, IDCANCEL);
    }));
    EXPECT_EQ(caption, L"Preset 2");
    EXPECT_EQ(format, 3);
    EXPECT_EQ(subsampling, 1);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(filter, 3);
    EXPECT_EQ(sharpness, 2);
    EXPECT_TRUE(keepTransparency);
    EXPECT_EQ(width, L"400");
    EXPECT_EQ(suffix, L"_small");
    EXPECT_FALSE(heightShown) << "mode 1 shows one number";
    EXPECT_FALSE(aspectEnabled);
    EXPECT_TRUE(preset == before);
    EXPECT_TRUE(Accepts(1));
}

TEST_F(PresetDialogTest, BoxModeWithoutAHeightIsStoredAsNoResizing) {
    ASSERT_EQ(PresetAt(1).targetHeight, 0);
    bool heightShown = false, aspectEnabled = false;
    ASSERT_TRUE(Run(1, [&](HWND dialog) {
        Select(dialog, IDC_PRESET_MODE_LIST, 5);
        heightShown = Visible(dialog, IDC_PRESET_HEIGHT_EDIT);
        aspectEnabled = Enabled(dialog, IDC_PRESET_KEEP_ASPECT);
        Press(dialog, IDOK);
    }));
    EXPECT_TRUE(heightShown);
    EXPECT_TRUE(aspectEnabled);
    EXPECT_EQ(PresetAt(1).resizeMode, 0u);
    EXPECT_EQ(PresetAt(1).targetWidth, 400);
}

TEST_F(PresetDialogTest, QualityIsStoredWithinOneToHundred) {
    for (auto [typed, stored] : {std::pair{L"250", 100u}, {L"0", 1u}, {L"57", 57u}}) {
        ASSERT_TRUE(Run(0, [&, typed = typed](HWND dialog) {
            SetText(dialog, IDC_PRESET_QUALITY_EDIT, typed);
            Press(dialog, IDOK);
        }));
        EXPECT_EQ(PresetAt(0).jpegQuality, stored) << typed;
    }
}

TEST_F(PresetDialogTest, ALimitOfZeroKiBIsStoredSwitchedOff) {
    ASSERT_EQ(PresetAt(0).limitFileSize, 1);
    bool checked = false;
    ASSERT_TRUE(Run(0, [&](HWND dialog) {
        SetText(dialog, IDC_PRESET_MAX_SIZE_EDIT, L"0");
        checked = Checked(dialog, IDC_PRESET_LIMIT_FILE_SIZE);
        Press(dialog, IDOK);
    }));
    EXPECT_TRUE(checked);
    EXPECT_EQ(PresetAt(0).limitFileSize, 0);
    EXPECT_EQ(PresetAt(0).maxFileSizeKiB, 0u);
}

TEST_F(PresetDialogTest, TheLosslessBoxIsForWebpOnlyAndStoredThroughOk) {
    ASSERT_EQ(PresetAt(2).outputFormat, kOutputPng);
    bool enabledForPng = true, enabledForWebp = false, shot = false;
    ASSERT_TRUE(Run(2, [&](HWND dialog) {
        enabledForPng = Enabled(dialog, IDC_PRESET_WEBP_LOSSLESS);
        Select(dialog, IDC_PRESET_FORMAT_LIST, int(kOutputWebp));
        enabledForWebp = Enabled(dialog, IDC_PRESET_WEBP_LOSSLESS);
        Click(dialog, IDC_PRESET_WEBP_LOSSLESS);
        shot = test::SaveWindowScreenshot(dialog, "PresetDialog_English_WebpLossless");
        Press(dialog, IDOK);
    }));
    EXPECT_FALSE(enabledForPng);
    EXPECT_TRUE(enabledForWebp);
    EXPECT_TRUE(shot);
    EXPECT_EQ(PresetAt(2).outputFormat, kOutputWebp);
    EXPECT_EQ(PresetAt(2).webpLossless, 1);
}

TEST_F(PresetDialogTest, AnEmptiedSizeFieldReadsZeroOnceLeft) {
    std::wstring whileThere, afterLeaving, height;
    ASSERT_TRUE(Run(0, [&](HWND dialog) {
        Focus(dialog, IDC_PRESET_WIDTH_EDIT);
        SetText(dialog, IDC_PRESET_WIDTH_EDIT, L"");
        whileThere = GetText(dialog, IDC_PRESET_WIDTH_EDIT);
        Focus(dialog, IDC_PRESET_SUFFIX_EDIT);
        afterLeaving = GetText(dialog, IDC_PRESET_WIDTH_EDIT);
        Focus(dialog, IDC_PRESET_HEIGHT_EDIT);
        SetText(dialog, IDC_PRESET_HEIGHT_EDIT, L"");
        Focus(dialog, IDC_PRESET_SUFFIX_EDIT);
        height = GetText(dialog, IDC_PRESET_HEIGHT_EDIT);
        Press(dialog, IDCANCEL);
    }));
    EXPECT_EQ(whileThere, L"");
    EXPECT_EQ(afterLeaving, L"0");
    EXPECT_EQ(height, L"0");
}

TEST_F(PresetDialogTest, ADisabledPresetWithItsOwnFolderKeepsBothThroughOk) {
    test::TempFolder folder;
    Preset& preset = PresetAt(2);
    preset.outputFolder = folder.Path();
    preset.targetDisabled = 1;
    ::DragAcceptFiles(targets_[2], FALSE);
    const Preset before = preset;
    bool disabledChecked = false;
    std::wstring shownFolder;
    ASSERT_TRUE(Run(2, [&](HWND dialog) {
        disabledChecked = Checked(dialog, IDC_PRESET_DISABLE_TARGET);
        shownFolder = GetText(dialog, IDC_PRESET_FOLDER_EDIT);
        Press(dialog, IDOK);
    }));
    EXPECT_TRUE(disabledChecked);
    EXPECT_EQ(shownFolder, W(folder.Path().Text()));
    EXPECT_TRUE(preset == before);
    EXPECT_FALSE(Accepts(2));
}

TEST_F(PresetDialogTest, AFolderThatIsGoneIsStoredEmpty) {
    test::TempFolder folder;
    WideString gone = folder.File(u"gone");
    ASSERT_TRUE(Run(3, [&](HWND dialog) {
        SetText(dialog, IDC_PRESET_FOLDER_EDIT, W(gone.Text()));
        Press(dialog, IDOK);
    }));
    EXPECT_TRUE(PresetAt(3).outputFolder.IsEmpty());
}

TEST_F(PresetDialogTest, ClearingTheDisableBoxLetsTheTargetAcceptDropsAtOnce) {
    PresetAt(3).targetDisabled = 1;
    ::DragAcceptFiles(targets_[3], FALSE);
    ASSERT_TRUE(Run(3, [&](HWND dialog) {
        Click(dialog, IDC_PRESET_DISABLE_TARGET);
        Press(dialog, IDOK);
    }));
    EXPECT_EQ(PresetAt(3).targetDisabled, 0);
    EXPECT_TRUE(Accepts(3));
    // And checking it again refuses them.
    ASSERT_TRUE(Run(3, [&](HWND dialog) {
        Click(dialog, IDC_PRESET_DISABLE_TARGET);
        Press(dialog, IDOK);
    }));
    EXPECT_EQ(PresetAt(3).targetDisabled, 1);
    EXPECT_FALSE(Accepts(3));
}

TEST_F(PresetDialogTest, ClearEmptiesTheFolder) {
    PresetAt(0).outputFolder.Assign(u"C:\\somewhere");
    std::wstring afterClear;
    ASSERT_TRUE(Run(0, [&](HWND dialog) {
        Press(dialog, IDC_PRESET_CLEAR_FOLDER);
        afterClear = GetText(dialog, IDC_PRESET_FOLDER_EDIT);
        Press(dialog, IDOK);
    }));
    EXPECT_EQ(afterClear, L"");
    EXPECT_TRUE(PresetAt(0).outputFolder.IsEmpty());
}

// Every arrangement of the size row (modes 0 to 5), in both languages at
// both font sizes: checked for clipped texts and overlaps, and saved.
class PresetDialogLayoutTest : public PresetDialogTest, public ::testing::WithParamInterface<const char16_t*> {
protected:
    PresetDialogLayoutTest() : PresetDialogTest(GetParam()) {}
};

// The labels of the size row per mode 0 to 5, as each language writes them:
// the side the mode sets beside its one number, both sides in the box mode
// (which mode 0, selected after it, keeps).
struct SizeRowLabels {
    const wchar_t* width;  // null: hidden
    const wchar_t* height;
};
constexpr SizeRowLabels kEnglishLabels[] = {{L"Width:", L"Height:"}, {nullptr, L"Width: "},
                                            {nullptr, L"Height: "},  {nullptr, L"Long side: "},
                                            {nullptr, L"Short side: "}, {L"Width:", L"Height:"}};
constexpr SizeRowLabels kJapaneseLabels[] = {{L"幅:", L"高さ:"}, {nullptr, L"幅: "},  {nullptr, L"高さ: "},
                                             {nullptr, L"長辺: "}, {nullptr, L"短辺: "}, {L"幅:", L"高さ:"}};

TEST_P(PresetDialogLayoutTest, EveryModeLayoutFitsAtBothFontSizes) {
    const std::string language = GetParam()[0] == u'E' ? "English" : "Japanese";
    const SizeRowLabels* labels = GetParam()[0] == u'E' ? kEnglishLabels : kJapaneseLabels;
    for (bool large : {false, true}) {
        app_.SettingsInUse().largeDialogFont = large ? 1 : 0;
        app_.SettingsInUse().globalOutputFolder.Assign(large ? u"C:\\" : u"");
        const Preset before = PresetAt(0);
        ASSERT_TRUE(Run(0, [&](HWND dialog) {
            ExpectControlsOfTheTemplate(dialog);
            for (int mode : {1, 2, 3, 4, 5, 0}) {
                SCOPED_TRACE(language + (large ? " 11pt mode " : " 9pt mode ") + std::to_string(mode));
                Select(dialog, IDC_PRESET_MODE_LIST, mode);
                EXPECT_EQ(Visible(dialog, IDC_PRESET_HEIGHT_EDIT), mode == 5 || mode == 0)
                    << "mode 0 keeps the box row";
                EXPECT_EQ(Enabled(dialog, IDC_PRESET_WIDTH_EDIT), mode != 0);
                EXPECT_EQ(GetText(dialog, IDC_PRESET_HEIGHT_LABEL), labels[mode].height);
                EXPECT_EQ(Visible(dialog, IDC_PRESET_WIDTH_LABEL), labels[mode].width != nullptr);
                if (labels[mode].width) {
                    EXPECT_EQ(GetText(dialog, IDC_PRESET_WIDTH_LABEL), labels[mode].width);
                }
                ExpectNothingClippedOrOverlapping(dialog);
                const std::string name = "PresetDialog_" + language + (large ? "_11pt" : "_9pt") + "_mode" +
                                         std::to_string(mode);
                EXPECT_TRUE(test::SaveWindowScreenshot(dialog, name.c_str()));
            }
            Press(dialog, IDCANCEL);
        }));
        EXPECT_TRUE(PresetAt(0) == before);
    }
}

// A suffix or subfolder that would place outputs elsewhere is refused with a
// message, and the dialog stays open with the preset unchanged.
TEST_P(PresetDialogLayoutTest, NamesLeadingOutOfTheOutputFolderAreRefused) {
    const std::string language = GetParam()[0] == u'E' ? "English" : "Japanese";
    const Preset before = PresetAt(0);
    const std::pair<int, const wchar_t*> kRefused[] = {
        {IDC_PRESET_SUBFOLDER_EDIT, L"..\\outside"}, {IDC_PRESET_SUBFOLDER_EDIT, L"C:\\elsewhere"}, {IDC_PRESET_SUFFIX_EDIT, L"\\..\\ESCAPED"}};
    std::vector<std::wstring> messages;
    ASSERT_TRUE(Run(0, [&](HWND dialog) {
        const DWORD thread = ::GetWindowThreadProcessId(dialog, nullptr);
        for (auto [edit, text] : kRefused) {
            SetText(dialog, edit, text);
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            HWND box = nullptr;
            for (int tries = 0; tries < 500 && !(box = test::FindMessageBox(thread)); ++tries) ::Sleep(10);
            if (!box) break;
            messages.push_back(test::MessageBoxText(box));
            if (messages.size() == 1) {
                ::Sleep(200);  // drawn by its own thread
                EXPECT_TRUE(test::SaveWindowScreenshot(box, ("PresetDialog_" + language + "_refusedName").c_str(),
                                                       {.repaint = true, .caption = true}));
            }
            ::SendMessageW(box, WM_COMMAND, IDOK, 0);
            for (int tries = 0; tries < 500 && test::FindMessageBox(thread); ++tries) ::Sleep(10);
            EXPECT_TRUE(::IsWindow(dialog)) << "the dialog stays open";
            SetText(dialog, edit, L"");
        }
        Press(dialog, IDCANCEL);
    }));
    ASSERT_EQ(messages.size(), std::size(kRefused));
    for (const std::wstring& message : messages) EXPECT_EQ(message, messages[0]);
    EXPECT_NE(messages[0], L"");
    EXPECT_TRUE(PresetAt(0) == before);
}

INSTANTIATE_TEST_SUITE_P(Languages, PresetDialogLayoutTest, ::testing::Values(u"English", u"Japanese"),
                         [](const auto& info) { return info.param[0] == u'E' ? "English" : "Japanese"; });

TEST(PresetDialogWithoutTemplate, DoesNotOpen) {
    // The library without a signature has no dialogs either.
    test::GuiApp app(u"English");
    ASSERT_TRUE(app.Ready());
    app::MainWindowState& state = app.State();
    app::ModuleHandle english = std::move(state.languageLibrary);
    state.languageLibrary.Reset(::LoadLibraryExW(W(test::BuildFile(u"NoSignature.dll").Text()), nullptr, 0));
    ASSERT_TRUE(state.languageLibrary);
    const Preset before = state.settings.presets[0];
    test::WindowActor actor(
        ::GetCurrentThreadId(), [](HWND window) { return test::ClassOf(window) == L"#32770"; },
        [](HWND window) { ::SendMessageW(window, WM_COMMAND, IDCANCEL, 0); }, 500);
    app::OpenPresetDialog(state, 0, nullptr);
    EXPECT_FALSE(actor.Acted());
    EXPECT_TRUE(state.settings.presets[0] == before);
    state.languageLibrary = std::move(english);
}

}  // namespace
}  // namespace qdx
