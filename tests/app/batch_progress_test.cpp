// A batch through the real main window (under Wine and Xvfb in CI): the title
// counts the files and is answered to other threads while the batch runs,
// Escape stops it after the current file with its message, and a long file
// lets the window answer between its steps.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window/main_window.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/preset_codes.h"
#include "core/settings.h"
#include "core/text_ids.h"
#include "tests/app/gui_support.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/bomb_images.h"
#include "tests/support/sample_images.h"
#include "tests/support/temp_folder.h"

namespace qdx::app {
namespace {

// What the main window's own thread sees, through a subclass of its window
// procedure: every title set, the title at each moment another thread's
// request for it was answered, and an action run right after a title is set.
struct WindowThreadLog {
    WNDPROC original = nullptr;
    std::vector<std::wstring> titlesSet;
    std::vector<std::wstring> titlesAnswered;
    std::function<void(const std::wstring&)> afterTitle;
};
WindowThreadLog g_log;

std::wstring TitleOf(HWND window) {
    wchar_t title[128] = {};
    ::InternalGetWindowText(window, title, 128);
    return title;
}

LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETTEXT && ::InSendMessage()) g_log.titlesAnswered.push_back(TitleOf(window));
    const LRESULT result = ::CallWindowProcW(g_log.original, window, message, wParam, lParam);
    if (message == WM_SETTEXT) {
        const std::wstring title = reinterpret_cast<const wchar_t*>(lParam);
        g_log.titlesSet.push_back(title);
        if (g_log.afterTitle) g_log.afterTitle(title);
    }
    return result;
}

// A key press and release as the keyboard makes them.
void PressEscape() {
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

std::wstring LibraryString(HINSTANCE library, UINT id) {
    wchar_t text[128] = {};
    ::LoadStringW(library, id, text, 128);
    return text;
}

int EntriesIn(const WideString& folder) {
    WideString pattern(folder);
    AppendPathComponent(pattern, u"*");
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.Text()), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        const std::wstring name = found.cFileName;
        count += name != L"." && name != L"..";
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return count;
}

// Another thread reading the title with GetWindowText (a message to the busy
// thread) over and over while the batch runs; each read waits until the
// window answers, which the window's own log records with the title of that
// moment. Stop() pumps this thread until the last request is answered.
class TitleReader {
public:
    explicit TitleReader(HWND window) : window_(window) {
        reader_ = std::thread([this] {
            while (!stop_) {
                wchar_t title[128] = {};
                ::GetWindowTextW(window_, title, 128);
                titles_.push_back(title);
            }
            readerDone_ = true;
        });
    }
    ~TitleReader() { Stop(); }
    void Stop() {
        stop_ = true;
        test::PumpUntil([this] { return readerDone_.load(); }, 5000);
        if (reader_.joinable()) reader_.join();
    }
    const std::vector<std::wstring>& Titles() const { return titles_; }

private:
    HWND window_;
    std::atomic<bool> stop_{false}, readerDone_{false};
    std::vector<std::wstring> titles_;
    std::thread reader_;
};

bool Contains(const std::vector<std::wstring>& titles, const std::wstring& wanted) {
    for (const std::wstring& title : titles)
        if (title == wanted) return true;
    return false;
}

class BatchFixture : public ::testing::Test {
protected:
    // The main window in `language`, active, with preset 1 writing a PNG
    // (the slowest writer) beside each input, shrunk to at most `width`
    // pixels wide.
    void Open(const char16_t* language, int32_t width) {
        app_ = std::make_unique<test::GuiApp>(language);
        ASSERT_TRUE(app_->Ready());
        Preset& preset = app_->SettingsInUse().presets[1];
        preset.outputFormat = kOutputPng;
        preset.resizeMode = ResizeToWidth;
        preset.targetWidth = width;
        preset.resampleFilter = FilterBicubic;
        preset.subfolder.Assign(u"");
        preset.suffix.Assign(u"_out");
        window_ = CreateMainWindow(app_->State());
        ASSERT_NE(window_, nullptr);
        ::ShowWindow(window_, SW_SHOWNORMAL);
        ::UpdateWindow(window_);
        ::SetForegroundWindow(window_);
        test::PumpMessages(100);
        ASSERT_EQ(::GetForegroundWindow(), window_);
        g_log = WindowThreadLog();
        g_log.original = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LoggingProc)));
    }
    void TearDown() override {
        if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
        test::PumpMessages(20);
        g_log = WindowThreadLog();
        app_.reset();
    }

    // `count` more pictures of width x height in the input folder, named
    // in100.bmp, in101.bmp, ... in the order made.
    std::vector<WideString> Inputs(int count, int width, int height) {
        const std::string picture = test::MakeBmp24(width, height, 5);
        std::vector<WideString> paths;
        for (int i = 0; i < count; ++i) {
            const std::string name = "in" + std::to_string(100 + made_++) + ".bmp";
            paths.push_back(inputs_.File(name.c_str()));
            EXPECT_TRUE(test::WriteBytes(paths.back(), picture));
        }
        return paths;
    }
    bool Converted(int index) const {
        const std::string name = "in" + std::to_string(100 + index) + "_out.png";
        return os::FileExists(inputs_.File(name.c_str()).Text());
    }
    // Waits until another thread's request (the reader's) waits for this
    // thread, so the first moment it answers is seen.
    static void WaitForRequest() {
        for (int i = 0; i < 2000 && !(HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE); ++i) ::Sleep(1);
    }
    // Drops `paths` on target 1 with a request for the title waiting.
    void Drop(const std::vector<WideString>& paths) {
        WaitForRequest();
        ::SendMessageW(::GetDlgItem(window_, IDC_MAIN_FIRST_DROP_TARGET + 1), WM_DROPFILES,
                       WPARAM(test::MakeDrop(paths)), 0);
    }

    test::TempFolder inputs_, temporary_;
    int made_ = 0;  // inputs made so far
    std::unique_ptr<test::GuiApp> app_;
    HWND window_ = nullptr;
};

class BatchStopTest : public BatchFixture, public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(BatchStopTest, TitleCountsAndEscapeStopsAfterTheThirdFile) {
    const std::string language = test::Narrow(WideString(GetParam()));
    Open(GetParam(), 1000);
    test::ScopedTemporaryFolder batchTemporary(temporary_.Path());
    const std::vector<WideString> paths = Inputs(30, 1600, 1200);
    const std::wstring busy = LibraryString(app_->State().languageLibrary.Get(), kTextBusyTitle);
    auto progress = [&](int done) { return busy + L" " + std::to_wstring(done) + L" / 30"; };

    // Escape goes down right after the third file's count reaches the title;
    // the batch looks at the key before the fourth file.
    const std::string shot = "Batch_Progress_" + language;
    int convertedAtPress = -1;
    g_log.afterTitle = [&](const std::wstring& title) {
        if (title == progress(2)) {
            EXPECT_TRUE(test::SaveWindowScreenshot(window_, shot.c_str(), {false, true}));
            // The reader's next request is waiting: the window answers it
            // before the third file, unless the batch holds it till the end.
            WaitForRequest();
        }
        if (title != progress(3)) return;
        convertedAtPress = 0;
        for (int i = 0; i < 30; ++i) convertedAtPress += Converted(i);
        PressEscape();
    };
    std::wstring boxText, boxCaption;
    const std::string boxShot = "Batch_Stopped_" + language;
    test::WindowActor stopBox(
        ::GetCurrentThreadId(),
        [](HWND w) { return test::FindMessageBox(::GetWindowThreadProcessId(w, nullptr)) == w; },
        [&](HWND w) {
            EXPECT_TRUE(test::SaveWindowScreenshot(w, boxShot.c_str(), {true, true}));
            boxText = test::MessageBoxText(w);
            wchar_t caption[128] = {};
            ::GetWindowTextW(w, caption, 128);
            boxCaption = caption;
            ::PostMessageW(w, WM_COMMAND, IDOK, 0);
        });
    TitleReader reader(window_);
    Drop(paths);
    reader.Stop();

    EXPECT_TRUE(stopBox.Acted());
    EXPECT_EQ(boxText, LibraryString(app_->State().languageLibrary.Get(), kTextBatchStopped) + L" 3");
    EXPECT_EQ(boxCaption, L"Quillodex");
    EXPECT_EQ(convertedAtPress, 3);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(Converted(i), i < 3) << i;
    }
    EXPECT_EQ(EntriesIn(temporary_.Path()), 0);
    EXPECT_EQ(g_log.titlesSet,
              (std::vector<std::wstring>{busy, progress(1), progress(2), progress(3), L"Quillodex"}));
    // The window answered the other thread while each count was its title,
    // so between the files and not only at the end (the stop message keeps
    // the last count in the title); the other thread read them too.
    for (int done = 1; done <= 3; ++done) {
        EXPECT_TRUE(Contains(g_log.titlesAnswered, progress(done))) << done;
        EXPECT_TRUE(Contains(reader.Titles(), progress(done))) << done;
    }
}

// A long file lets the window answer between its steps: on the batch thread
// (one file) and while the batch waits for the files converted side by side
// (two). The title has no count before the first file is done.
TEST_F(BatchFixture, LongFileAnswersBetweenItsSteps) {
    Open(u"English", 4000);
    const std::vector<WideString> large = Inputs(1, 4000, 3000);
    const std::vector<WideString> small = Inputs(1, 400, 300);
    const std::wstring busy = LibraryString(app_->State().languageLibrary.Get(), kTextBusyTitle);
    for (const auto& paths : {large, std::vector<WideString>{large[0], small[0]}}) {
        SCOPED_TRACE(paths.size());
        g_log.titlesSet.clear();
        g_log.titlesAnswered.clear();
        TitleReader reader(window_);
        Drop(paths);
        reader.Stop();
        const std::wstring count = L" / " + std::to_wstring(paths.size());
        EXPECT_EQ(g_log.titlesSet.front(), busy);
        EXPECT_EQ(g_log.titlesSet[1], busy + L" 1" + count);
        int insideFirstFile = 0;
        for (const std::wstring& title : g_log.titlesAnswered) insideFirstFile += title == busy;
        EXPECT_GT(insideFirstFile, 0);
    }
    EXPECT_TRUE(Converted(0));
}

class PictureTooLargeTest : public BatchFixture, public ::testing::WithParamInterface<const char16_t*> {};

// A file declaring more pixels than the program converts: one message naming
// its size, in the window's language, and the next file is converted.
TEST_P(PictureTooLargeTest, ARefusedPictureIsNamedWithItsSize) {
    const std::string language = test::Narrow(WideString(GetParam()));
    Open(GetParam(), 100);
    test::ScopedTemporaryFolder batchTemporary(temporary_.Path());
    const WideString bomb = inputs_.File("bomb.gif");
    ASSERT_TRUE(test::WriteBytes(bomb, test::MakeBombFiles()[1].bytes));  // GIF 30000 x 30000
    std::vector<WideString> paths{bomb};
    for (const WideString& path : Inputs(1, 200, 100)) paths.push_back(path);
    std::wstring boxText;
    test::WindowActor box(
        ::GetCurrentThreadId(),
        [](HWND w) { return test::FindMessageBox(::GetWindowThreadProcessId(w, nullptr)) == w; },
        [&](HWND w) {
            EXPECT_TRUE(test::SaveWindowScreenshot(w, ("Picture_Too_Large_" + language).c_str(), {true, true}));
            boxText = test::MessageBoxText(w);
            ::PostMessageW(w, WM_COMMAND, IDOK, 0);
        });
    ::SendMessageW(::GetDlgItem(window_, IDC_MAIN_FIRST_DROP_TARGET + 1), WM_DROPFILES, WPARAM(test::MakeDrop(paths)),
                   0);
    EXPECT_TRUE(box.Acted());
    EXPECT_EQ(boxText, L"30000 \u00D7 30000" + LibraryString(app_->State().languageLibrary.Get(), kTextPictureTooLarge));
    EXPECT_TRUE(Converted(0));
}

INSTANTIATE_TEST_SUITE_P(Languages, PictureTooLargeTest, ::testing::Values(u"English", u"Japanese"),
                         [](const auto& info) { return test::Narrow(WideString(info.param)); });

INSTANTIATE_TEST_SUITE_P(Languages, BatchStopTest, ::testing::Values(u"English", u"Japanese"),
                         [](const auto& info) { return test::Narrow(WideString(info.param)); });

}  // namespace
}  // namespace qdx::app
