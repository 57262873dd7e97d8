// The real main window, created in this process (under Wine and Xvfb in CI):
// its layout at several sizes, drops through real WM_DROPFILES messages, the
// busy title, sizing, commands, saving at close, and screenshots.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/main_window/drop_target.h"
#include "app/main_window/main_window.h"
#include "app/main_window/version_window.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/text_ids.h"
#include "tests/app/gui_support.h"
#include "tests/support/dropped_tree.h"
#include "tests/support/sample_images.h"
#include "tests/support/temp_folder.h"

namespace qdx::app {
namespace {

RECT FrameFor(int clientWidth, int clientHeight) {
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return frame;
}

class MainWindowTest : public ::testing::Test {
protected:
    // Starts the program's state in `language` and creates the main window
    // after `prepare` has adjusted the settings.
    void Open(const char16_t* language = u"English", void (*prepare)(Settings&) = nullptr) {
        settingsPath_ = folder_.File(u"Quillodex.ini");
        app_ = std::make_unique<test::GuiApp>(language, settingsPath_);
        ASSERT_TRUE(app_->Ready());
        if (prepare) prepare(app_->SettingsInUse());
        window_ = CreateMainWindow(app_->State());
        ASSERT_NE(window_, nullptr);
        ::ShowWindow(window_, SW_SHOWNORMAL);
        ::UpdateWindow(window_);
        test::PumpMessages(100);
    }
    void TearDown() override {
        if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
        test::PumpMessages(20);  // also takes the quit message the window posted
        app_.reset();
    }

    HWND Target(int index) const { return ::GetDlgItem(window_, IDC_MAIN_FIRST_DROP_TARGET + index); }
    HWND Combined() const { return ::GetDlgItem(window_, IDC_MAIN_COMBINED_AREA); }

    void SetClientSize(int width, int height) {
        const RECT frame = FrameFor(width, height);
        ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER);
        test::PumpMessages(50);
    }

    // Input files and BMP presets that write "<name>_p<preset>.bmp" beside them.
    WideString Input(const char16_t* name, int width = 8, int height = 6) {
        WideString path = folder_.File(name);
        EXPECT_TRUE(test::WriteBytes(path, test::MakeBmp24(width, height, 3)));
        return path;
    }
    static void BmpPresets(Settings& settings) {
        const char16_t* suffixes[] = {u"_p0", u"_p1", u"_p2", u"_p3"};
        for (int i = 0; i < 4; ++i) {
            Preset& preset = settings.presets[i];
            preset.outputFormat = 0;
            preset.resizeMode = 0;
            preset.subfolder.Assign(u"");
            preset.suffix.Assign(suffixes[i]);
        }
    }
    std::vector<int> PresetsWritten(const char16_t* base) {
        std::vector<int> written;
        for (int i = 0; i < 4; ++i) {
            WideString name(base);
            name.Append(u"_p");
            name.Append(char16_t(u'0' + i));
            name.Append(u".bmp");
            if (os::FileExists(folder_.File(name.Text()).Text())) written.push_back(i);
        }
        return written;
    }

    test::TempFolder folder_;
    WideString settingsPath_;
    std::unique_ptr<test::GuiApp> app_;
    HWND window_ = nullptr;
};

TEST_F(MainWindowTest, ChildrenFollowTheLayoutAtEverySize) {
    Open();
    const struct {
        int width, height;
    } sizes[] = {{330, 220}, {440, 325}, {800, 560}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.width);
        SetClientSize(size.width, size.height);
        RECT client{};
        ::GetClientRect(window_, &client);
        ASSERT_EQ(client.right, size.width);
        ASSERT_EQ(client.bottom, size.height);
        const MainLayout layout = LayOutMainWindow(MeasureLayout(app_->State(), window_), size.width, size.height);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(test::ChildBox(Target(i)), layout.targets[i]) << "target " << i;
            EXPECT_EQ(test::ChildBox(::GetDlgItem(window_, IDC_MAIN_OPTIONS + i)), layout.buttons[i]) << "button " << i;
        }
        EXPECT_EQ(test::ChildBox(Combined()), layout.combinedArea);
        EXPECT_EQ(test::ChildBox(::GetDlgItem(window_, IDC_MAIN_KEEP_ON_TOP)), layout.keepOnTop);
        const CombinedLayout checks = LayOutCombinedArea(MeasureLayout(app_->State(), window_), layout.combinedArea.width);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(test::ChildBox(::GetDlgItem(Combined(), IDC_MAIN_FIRST_COMBINED_CHECK + i)), checks.checks[i])
                << "check " << i;
    }
    // Smaller than 330 x 220 is refused.
    SetClientSize(200, 100);
    RECT client{};
    ::GetClientRect(window_, &client);
    EXPECT_EQ(client.right, kMinClientWidth);
    EXPECT_EQ(client.bottom, kMinClientHeight);
}

TEST_F(MainWindowTest, StoredGeometryIsClampedAndPulledOntoTheWorkArea) {
    Settings stored;
    stored.clientWidth = 100;
    WindowGeometry geometry{5000, 100, 100, 300};
    settingsPath_ = folder_.File(u"Quillodex.ini");
    ASSERT_TRUE(SaveSettings(settingsPath_.Text(), stored, &geometry));
    Open(u"English", nullptr);
    DestroyWindow(window_);
    LoadSettings(settingsPath_.Text(), app_->SettingsInUse());
    window_ = CreateMainWindow(app_->State());
    RECT client{}, frame{};
    ::GetClientRect(window_, &client);
    ::GetWindowRect(window_, &frame);
    EXPECT_EQ(client.right, kMinClientWidth);
    EXPECT_EQ(client.bottom, 300);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_EQ(frame.right, monitor.rcWork.right);
    EXPECT_EQ(frame.top, 100);
}

TEST_F(MainWindowTest, DropsConvertWithTheTargetsPresets) {
    Open(u"English", [](Settings& s) {
        BmpPresets(s);
        s.multiDropSelection[0] = 1;
        s.multiDropSelection[1] = 0;
        s.multiDropSelection[2] = 1;
        s.multiDropSelection[3] = 0;
    });
    test::MessageBoxDismisser boxes;
    const WideString one = Input(u"one.bmp");
    ::SendMessageW(Target(1), WM_DROPFILES, WPARAM(test::MakeDrop({one})), 0);
    EXPECT_EQ(PresetsWritten(u"one"), (std::vector<int>{1}));

    const WideString two = Input(u"two.bmp");
    const WideString subfolder = folder_.File(u"a folder");
    ASSERT_TRUE(os::CreateFolder(subfolder.Text()));
    ::SendMessageW(Combined(), WM_DROPFILES, WPARAM(test::MakeDrop({subfolder, two})), 0);
    EXPECT_EQ(PresetsWritten(u"two"), (std::vector<int>{0, 2}));

    // Folders only: nothing runs, nothing is said.
    const WideString inside = folder_.File(u"a folder/three.bmp");
    ASSERT_TRUE(test::WriteBytes(inside, test::MakeBmp24(8, 6, 3)));
    ::SendMessageW(Target(0), WM_DROPFILES, WPARAM(test::MakeDrop({subfolder})), 0);
    EXPECT_FALSE(os::PathExists(folder_.File(u"a folder_p0.bmp").Text()));
    EXPECT_FALSE(os::PathExists(folder_.File(u"a folder/three_p0.bmp").Text()));
    EXPECT_TRUE(boxes.Texts().empty());

    // With convertFolders the dropped folder is walked, its outputs beside
    // its files.
    app_->SettingsInUse().convertFolders = 1;
    ::SendMessageW(Target(0), WM_DROPFILES, WPARAM(test::MakeDrop({subfolder})), 0);
    EXPECT_TRUE(os::FileExists(folder_.File(u"a folder/three_p0.bmp").Text()));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(MainWindowTest, DropsWaitForNoModalWindowAndNoDisabledTarget) {
    Open(u"English", [](Settings& s) {
        BmpPresets(s);
        s.presets[2].targetDisabled = 1;
    });
    test::MessageBoxDismisser boxes;
    const WideString one = Input(u"one.bmp");
    // A disabled target takes no files from the shell, nor from a message.
    EXPECT_FALSE(::GetWindowLongW(Target(2), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(::GetWindowLongW(Target(1), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    ::SendMessageW(Target(2), WM_DROPFILES, WPARAM(test::MakeDrop({one})), 0);
    EXPECT_TRUE(PresetsWritten(u"one").empty());

    // While the version window is open the main window is disabled and a drop
    // on a target or on the combined area changes nothing.
    bool disabledMeanwhile = false;
    test::WindowActor actor(
        ::GetCurrentThreadId(), [](HWND w) { return test::ClassOf(w) == kVersionInfoClass; },
        [&](HWND version) {
            disabledMeanwhile = !::IsWindowEnabled(window_);
            ::SendMessageW(Target(1), WM_DROPFILES, WPARAM(test::MakeDrop({one})), 0);
            ::SendMessageW(Combined(), WM_DROPFILES, WPARAM(test::MakeDrop({one})), 0);
            ::PostMessageW(version, WM_CLOSE, 0, 0);
        });
    ::SendMessageW(window_, WM_COMMAND, IDC_MAIN_VERSION, 0);
    EXPECT_TRUE(actor.Acted());
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(::IsWindowEnabled(window_));
    EXPECT_TRUE(PresetsWritten(u"one").empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(MainWindowTest, DisabledTargetDrawsItsSummaryGrey) {
    Open(u"English", [](Settings& s) { s.presets[2].targetDisabled = 1; });
    test::Capture enabled, disabled;
    ASSERT_TRUE(test::CaptureWindow(Target(0), enabled));
    ASSERT_TRUE(test::CaptureWindow(Target(2), disabled));
    const int top = app_->State().metrics.textHeight + 8;  // below the title
    EXPECT_GT(enabled.Count(kSummaryColour, 0, top, enabled.width, enabled.height), 100);
    EXPECT_EQ(enabled.Count(kDisabledSummaryColour, 0, top, enabled.width, enabled.height), 0);
    EXPECT_EQ(disabled.Count(kSummaryColour, 0, top, disabled.width, disabled.height), 0);
    EXPECT_GT(disabled.Count(kDisabledSummaryColour, 0, top, disabled.width, disabled.height), 100);
    // The title keeps its colour; the fill is the target's own.
    EXPECT_GT(disabled.Count(kTargetColours[2].title, 0, 0, disabled.width, top), 20);
    EXPECT_EQ(disabled.At(disabled.width / 2, disabled.height - 3), kTargetColours[2].fill);
}

TEST_F(MainWindowTest, TitleShowsTheBatchWhileItRuns) {
    Open(u"English", [](Settings& s) {
        BmpPresets(s);
        s.presets[1].resizeMode = 1;  // a resample makes the batch last a while
        s.presets[1].targetWidth = 1000;
        s.presets[1].resampleFilter = 1;
    });
    std::vector<WideString> inputs;
    for (const char16_t* name : {u"a.bmp", u"b.bmp", u"c.bmp"}) inputs.push_back(Input(name, 1600, 1200));
    // The window's thread is busy with the batch: read the title without
    // asking it.
    std::atomic<bool> stop{false}, sawBusy{false};
    std::thread watcher([&] {
        wchar_t title[128];
        while (!stop) {
            if (::InternalGetWindowText(window_, title, 128) && std::wstring(title) == L"Quillodex - converting...")
                sawBusy = true;
        }
    });
    ::SendMessageW(Target(1), WM_DROPFILES, WPARAM(test::MakeDrop(inputs)), 0);
    stop = true;
    watcher.join();
    EXPECT_TRUE(sawBusy);
    wchar_t title[128] = {};
    ::GetWindowTextW(window_, title, 128);
    EXPECT_STREQ(title, L"Quillodex");
    EXPECT_EQ(PresetsWritten(u"c"), (std::vector<int>{1}));
}

// Every title the window is given while it lives.
class TitleRecorder {
public:
    explicit TitleRecorder(HWND window) : window_(window) { ::SetWindowSubclass(window, Record, kId, DWORD_PTR(this)); }
    ~TitleRecorder() { ::RemoveWindowSubclass(window_, Record, kId); }
    TitleRecorder(const TitleRecorder&) = delete;
    TitleRecorder& operator=(const TitleRecorder&) = delete;
    std::vector<std::wstring> titles;

private:
    static constexpr UINT_PTR kId = 1;
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        if (message == WM_SETTEXT && lParam)
            reinterpret_cast<TitleRecorder*>(self)->titles.emplace_back(reinterpret_cast<const wchar_t*>(lParam));
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    HWND window_;
};

// A dropped tree is skipped with convertFolders 0; with 1 it converts into
// the same tree below the output folder, links and hidden files left out,
// while the title counts through every file the walk found.
TEST_F(MainWindowTest, ADroppedTreeConvertsIntoTheSameTreeCountedInTheTitle) {
    Open(u"English", BmpPresets);
    test::MessageBoxDismisser boxes;
    test::DroppedTree tree;
    test::MakeDroppedTree(folder_.Path(), tree);
    ASSERT_EQ(tree.error, "");
    const WideString out = folder_.File(u"out");
    ASSERT_TRUE(os::CreateFolder(out.Text()));
    app_->SettingsInUse().presets[0].outputFolder = out;
    TitleRecorder recorder(window_);
    ::SendMessageW(Target(0), WM_DROPFILES, WPARAM(test::MakeDrop({tree.folder})), 0);
    EXPECT_TRUE(test::FilesBelow(out).empty());
    EXPECT_TRUE(recorder.titles.empty());

    app_->SettingsInUse().convertFolders = 1;
    ::SendMessageW(Target(0), WM_DROPFILES, WPARAM(test::MakeDrop({tree.folder})), 0);
    std::vector<std::wstring> titles{L"Quillodex - converting..."};
    for (size_t done = 1; done <= test::kTreeWalkedFiles; ++done)
        titles.push_back(titles[0] + L" " + std::to_wstring(done) + L" / " + std::to_wstring(test::kTreeWalkedFiles));
    titles.push_back(L"Quillodex");
    EXPECT_EQ(recorder.titles, titles);
    EXPECT_EQ(test::FilesBelow(out), test::TreeOutputs(tree, "", "_p0.bmp"));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(MainWindowTest, SizingShowsOnlyTitlesAndHidesTheChecks) {
    Open();
    const int top = app_->State().metrics.textHeight + 8;
    ::SendMessageW(window_, WM_ENTERSIZEMOVE, 0, 0);
    ::RedrawWindow(Target(0), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    test::Capture sizing;
    ASSERT_TRUE(test::CaptureWindow(Target(0), sizing));
    EXPECT_EQ(sizing.Count(kSummaryColour, 0, top, sizing.width, sizing.height), 0);
    EXPECT_GT(sizing.Count(kTargetColours[0].title, 0, 0, sizing.width, top), 20);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(Combined(), IDC_MAIN_FIRST_COMBINED_CHECK + i)));

    ::SendMessageW(window_, WM_EXITSIZEMOVE, 0, 0);
    test::Capture after;
    ASSERT_TRUE(test::CaptureWindow(Target(0), after));
    EXPECT_GT(after.Count(kSummaryColour, 0, top, after.width, after.height), 100);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(Combined(), IDC_MAIN_FIRST_COMBINED_CHECK + i)));
}

TEST_F(MainWindowTest, CheckBoxesChangeTheirSettings) {
    Open(u"English", [](Settings& s) { s.alwaysOnTop = 1; });
    EXPECT_TRUE(::GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND keepOnTop = ::GetDlgItem(window_, IDC_MAIN_KEEP_ON_TOP);
    EXPECT_EQ(::SendMessageW(keepOnTop, BM_GETCHECK, 0, 0), BST_CHECKED);
    // Wine leaves the topmost style of a window that owns a topmost tooltip
    // as it is, so only the setting is checked after a click.
    ::SendMessageW(keepOnTop, BM_CLICK, 0, 0);
    EXPECT_EQ(app_->SettingsInUse().alwaysOnTop, 0);
    ::SendMessageW(keepOnTop, BM_CLICK, 0, 0);
    EXPECT_EQ(app_->SettingsInUse().alwaysOnTop, 1);

    ::SendMessageW(::GetDlgItem(Combined(), IDC_MAIN_FIRST_COMBINED_CHECK + 1), BM_CLICK, 0, 0);
    EXPECT_EQ(app_->SettingsInUse().multiDropSelection[1], 0);
    EXPECT_EQ(app_->SettingsInUse().multiDropSelection[0], 1);
}

TEST_F(MainWindowTest, FontAndLanguageChangesRebuildTheWindow) {
    Open();
    HWND tooltip = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM out) {
        if (test::ClassOf(w) != L"tooltips_class32") return TRUE;
        *reinterpret_cast<HWND*>(out) = w;
        return FALSE;
    }, LPARAM(&tooltip));
    ASSERT_NE(tooltip, nullptr);
    EXPECT_EQ(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 4);

    app_->SettingsInUse().fontHeight = -16;
    ApplyMainFont(app_->State());
    HWND options = ::GetDlgItem(window_, IDC_MAIN_OPTIONS);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(options, WM_GETFONT, 0, 0)), app_->State().mainFont.Get());
    RECT client{};
    ::GetClientRect(window_, &client);
    EXPECT_EQ(test::ChildBox(Combined()), LayOutMainWindow(MeasureLayout(app_->State(), window_), client.right, client.bottom).combinedArea);

    HINSTANCE japanese = ::LoadLibraryExW(W(test::BinFile(u"Japanese.dll").Text()), nullptr, 0);
    ASSERT_NE(japanese, nullptr);
    LibraryTextSource japaneseTexts(japanese);
    const TextSource* english = CurrentTextSource();
    SetCurrentTextSource(&japaneseTexts);
    ResetMainWindowTexts(app_->State());
    wchar_t expected[128] = {}, shown[128] = {}, tip[256] = {};
    ::LoadStringW(japanese, IDC_MAIN_OPTIONS, expected, 128);
    ::GetWindowTextW(options, shown, 128);
    EXPECT_STREQ(shown, expected);
    ::GetWindowTextW(::GetDlgItem(Combined(), IDC_MAIN_FIRST_COMBINED_CHECK), shown, 128);
    ::LoadStringW(japanese, IDC_MAIN_FIRST_COMBINED_CHECK, expected, 128);
    EXPECT_STREQ(shown, expected);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(Target(0));
    tool.lpszText = tip;
    ::SendMessageW(tooltip, TTM_GETTEXTW, 256, LPARAM(&tool));
    ::LoadStringW(japanese, kTextDropTargetTip, expected, 128);
    EXPECT_STREQ(tip, expected);
    SetCurrentTextSource(english);
    ::FreeLibrary(japanese);
}

TEST_F(MainWindowTest, ClosingSavesTheGeometry) {
    Open();
    const RECT frame = FrameFor(500, 400);
    ::SetWindowPos(window_, nullptr, 150, 120, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER);
    app_->SettingsInUse().presets[3].suffix.Assign(u"_kept");
    // The end of the session saves too, and the window stays.
    ::SendMessageW(window_, WM_ENDSESSION, TRUE, 0);
    Settings atLogoff;
    LoadSettings(settingsPath_.Text(), atLogoff);
    EXPECT_EQ(atLogoff.windowLeft, 150);
    EXPECT_TRUE(::IsWindow(window_));

    ::SetWindowPos(window_, nullptr, 160, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(window_));
    Settings saved;
    LoadSettings(settingsPath_.Text(), saved);
    EXPECT_EQ(saved.windowLeft, 160);
    EXPECT_EQ(saved.windowTop, 120);
    EXPECT_EQ(saved.clientWidth, 500);
    EXPECT_EQ(saved.clientHeight, 400);
    EXPECT_TRUE(SameText(saved.presets[3].suffix, WideString(u"_kept")));
}

TEST_F(MainWindowTest, ScreenshotsInEveryLanguageAndFontSize) {
    // The large font at the size a user would give the window for it.
    static const struct {
        const char16_t* language;
        int fontHeight, clientWidth, clientHeight;
        const char* name;
    } shots[] = {
        {u"English", -12, 440, 325, "MainWindow_English"},
        {u"English", -16, 580, 420, "MainWindow_English_LargeFont"},
        {u"Japanese", -12, 440, 325, "MainWindow_Japanese"},
        {u"Japanese", -16, 580, 420, "MainWindow_Japanese_LargeFont"},
    };
    static int current;
    for (current = 0; current < 4; ++current) {
        SCOPED_TRACE(shots[current].name);
        Open(shots[current].language, [](Settings& s) {
            s.fontHeight = shots[current].fontHeight;
            s.clientWidth = shots[current].clientWidth;
            s.clientHeight = shots[current].clientHeight;
            s.presets[3].targetDisabled = 1;
            s.presets[1].outputFolder.Assign(u"C:\\Pictures\\Converted");
            s.multiDropSelection[2] = 0;
        });
        EXPECT_TRUE(test::SaveWindowScreenshot(window_, shots[current].name));
        TearDown();
        window_ = nullptr;
    }
}

}  // namespace
}  // namespace qdx::app
