// The shell utilities and the shared controls, run in this process against
// the real system (Wine in CI).
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>

#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/main_window/version_window.h"
#include "app/shell/shell_utilities.h"
#include "core/text_ids.h"
#include "core/os/os.h"
#include "tests/app/gui_support.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using namespace qdx::app;
using test::Capture;

uint64_t LastWriteTime(const WideString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(W(path.Text()), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// A visible top-level window that holds the controls under test and answers
// their requests the way the dialogs do.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC: return LRESULT(SectionHeadingColours(reinterpret_cast<HDC>(wParam)));
        case WM_DRAWITEM: return DrawListItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_PAINT: PaintPlainBackground(window); return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

constexpr wchar_t kHostClass[] = L"qdx_test_host";

class HostWindow {
public:
    HostWindow(int width, int height, HFONT font) : font_(font) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kHostClass;
        ::RegisterClassExW(&windowClass);  // fails harmlessly when registered already
        window_ = ::CreateWindowExW(0, kHostClass, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, width, height,
                                    nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindow() { ::DestroyWindow(window_); }
    HWND Get() const { return window_; }
    HWND Add(const wchar_t* className, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h) {
        HWND child = ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        ::SendMessageW(child, WM_SETFONT, WPARAM(font_), FALSE);
        return child;
    }

private:
    HFONT font_;
    HWND window_ = nullptr;
};

class SharedControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.Ready());
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    test::GuiApp app_{u"English"};
};

TEST_F(SharedControlsTest, ShortcutsComeAndGoInDesktopAndSendTo) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (int folderId : {kDesktopFolder, kSendToFolder}) {
        wchar_t folder[MAX_PATH] = {};
        ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, folder)));
        ShortcutPaths paths;
        SyncShortcut(folderId, false);
        ASSERT_FALSE(ShortcutExists(folderId, paths));
        // <folder>\app_tests.lnk, made for this very executable.
        EXPECT_EQ(std::wstring(W(paths.shortcut.Text())), std::wstring(folder) + L"\\app_tests.lnk");

        SyncShortcut(folderId, true);
        EXPECT_TRUE(ShortcutExists(folderId, paths));
        const uint64_t written = LastWriteTime(paths.shortcut);
        ::Sleep(20);
        SyncShortcut(folderId, true);  // already there: left alone
        EXPECT_EQ(LastWriteTime(paths.shortcut), written);

        SyncShortcut(folderId, false);
        EXPECT_FALSE(os::PathExists(paths.shortcut.Text()));
    }
    // A place that cannot hold a file: failure, and nothing left behind.
    WideString nowhere(u"Z:\\no such folder\\x.lnk"), exe;
    os::ExecutablePath(exe);
    EXPECT_FALSE(CreateProgramShortcut(nowhere, exe));
    EXPECT_FALSE(os::PathExists(nowhere.Text()));
    ::CoUninitialize();
}

// Every metric comes from its own input: the font's for the text, the
// system's (which change with the display's resolution) for the allowances.
TEST(InterfaceMetrics, AreMadeFromTheFontAndTheSystemMeasures) {
    const InterfaceMetrics metrics = MakeInterfaceMetrics({.height = 15, .internalLeading = 3, .digitWidth = 7},
                                                          {.verticalScrollWidth = 17, .menuCheckWidth = 13});
    EXPECT_EQ(metrics.textHeight, 15);
    EXPECT_EQ(metrics.controlHeight, 21);
    EXPECT_EQ(metrics.internalLeading, 3);
    EXPECT_EQ(metrics.digitWidth, 7);
    EXPECT_EQ(metrics.spinAllowance, 27);
    EXPECT_EQ(metrics.checkBoxAllowance, 20);
}

TEST_F(SharedControlsTest, FontListHoldsEachFamilyOnceWithoutVerticalVariants) {
    HostWindow host(300, 200, app_.State().mainFont.Get());
    HWND list = host.Add(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, 1, 0, 0, 200, 200);
    FillFontList(list, app_.SettingsInUse().fontFace.Text());
    const int count = int(::SendMessageW(list, CB_GETCOUNT, 0, 0));
    ASSERT_GT(count, 0);
    std::set<std::wstring> seen;
    for (int i = 0; i < count; ++i) {
        wchar_t face[LF_FACESIZE + 1] = {};
        ::SendMessageW(list, CB_GETLBTEXT, i, LPARAM(face));
        EXPECT_NE(face[0], L'@') << face;
        EXPECT_TRUE(seen.insert(face).second) << "listed twice: " << face;
    }
    // The current face is selected exactly; a face that is not there selects nothing.
    wchar_t face[LF_FACESIZE + 1] = {};
    ::SendMessageW(list, CB_GETLBTEXT, count / 2, LPARAM(face));
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    FillFontList(list, reinterpret_cast<const char16_t*>(face));
    EXPECT_EQ(::SendMessageW(list, CB_GETCURSEL, 0, 0), count / 2);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    FillFontList(list, u"No Such Face");
    EXPECT_EQ(::SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(SharedControlsTest, ListTextsSortByNumberValue) {
    HostWindow host(300, 200, app_.State().mainFont.Get());
    HWND list = host.Add(WC_LISTVIEWW, L"", LVS_REPORT, 1, 0, 0, 300, 200);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 200;
    ListView_InsertColumn(list, 0, &column);
    for (const wchar_t* text : {L"file10", L"file2", L"File1"}) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = 99;
        item.pszText = const_cast<wchar_t*>(text);
        ListView_InsertItem(list, &item);
    }
    ListView_SortItemsEx(list, CompareListTextsCallback, LPARAM(list));
    wchar_t text[32];
    const wchar_t* expected[] = {L"File1", L"file2", L"file10"};
    for (int i = 0; i < 3; ++i) {
        ListView_GetItemText(list, i, 0, text, 32);
        EXPECT_STREQ(text, expected[i]) << i;
    }
}

TEST_F(SharedControlsTest, HintShowsOnlyInAnEmptyEdit) {
    HostWindow host(300, 60, app_.State().mainFont.Get());
    HWND edit = host.Add(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, 1, 10, 10, 280, app_.State().metrics.controlHeight);
    ASSERT_TRUE(InstallHintText(edit, 3023));
    auto greyPixels = [&] {
        ::RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        test::PumpMessages(50);
        Capture capture;
        EXPECT_TRUE(test::CaptureWindow(edit, capture));
        return capture.Count(kHintTextColour, 0, 0, capture.width, capture.height);
    };
    EXPECT_GT(greyPixels(), 30);
    ::SetWindowTextW(edit, L"x");
    EXPECT_LT(greyPixels(), 5);
    RemoveHintText(edit);
}

TEST_F(SharedControlsTest, HeadingRuleRunsFromAfterTheTextToTheRightEdge) {
    HostWindow host(300, 60, app_.State().mainFont.Get());
    HWND heading = host.Add(L"STATIC", L"Output", SS_LEFT, 1, 10, 10, 250, 20);
    ASSERT_TRUE(InstallSectionHeading(heading));
    ::RedrawWindow(heading, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    test::PumpMessages(50);
    Capture capture;
    ASSERT_TRUE(test::CaptureWindow(heading, capture));
    const int textEnd = TextWidth(heading, app_.State().mainFont.Get(), u"Output");
    EXPECT_EQ(capture.Count(kHeadingRuleColour, textEnd + 5, 10, 250, 11), 250 - textEnd - 5);
    EXPECT_EQ(capture.Count(kHeadingRuleColour, 0, 0, textEnd + 5, 20), 0);
    EXPECT_EQ(capture.Count(kHeadingRuleColour, 0, 0, 250, 10) + capture.Count(kHeadingRuleColour, 0, 11, 250, 20),
              0);
    RemoveSectionHeading(heading);
}

// Draws one item into a white bitmap and reads it back.
Capture DrawItem(HWND combo, UINT state) {
    constexpr int kWidth = 120, kHeight = 20;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kWidth, kHeight);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECT all{0, 0, kWidth, kHeight};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.itemID = 0;
    item.itemState = state;
    item.hwndItem = combo;
    item.hDC = dc;
    item.rcItem = all;
    item.itemData = kTextOptionsButton;  // "Options"
    EXPECT_TRUE(DrawListItem(item));
    Capture capture;
    capture.width = kWidth;
    capture.height = kHeight;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = ::GetPixel(dc, x, y);
            capture.bgr.insert(capture.bgr.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
        }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return capture;
}

TEST_F(SharedControlsTest, ListItemsShowSelectionOnlyWhileEnabled) {
    HostWindow host(200, 60, app_.State().mainFont.Get());
    HWND combo = host.Add(L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 1, 0, 0, 150, 100);
    const Capture selected = DrawItem(combo, ODS_SELECTED);
    EXPECT_EQ(selected.At(0, 0), kSelectedItemBorder);
    EXPECT_EQ(selected.At(60, 1), kSelectedItemFill);
    const Capture disabled = DrawItem(combo, ODS_SELECTED | ODS_DISABLED);
    EXPECT_EQ(disabled.Count(kSelectedItemFill, 0, 0, 120, 20) + disabled.Count(kSelectedItemBorder, 0, 0, 120, 20), 0);
    EXPECT_GT(disabled.Count(::GetSysColor(COLOR_GRAYTEXT), 0, 0, 120, 20), 10);  // the text, in grey
    // Other kinds of controls are not ours to draw.
    DRAWITEMSTRUCT button{};
    button.CtlType = ODT_BUTTON;
    EXPECT_FALSE(DrawListItem(button));
}

TEST_F(SharedControlsTest, EscapeClosesTheVersionWindowAndEnablesItsOwner) {
    HostWindow owner(500, 300, app_.State().mainFont.Get());
    const VersionInfo info{u"Quillodex", u"1.4.0.0 (64-bit)", u"Ormsted", u"https://example.org/", 20210};
    std::wstring title, version, notice;
    bool ownerDisabled = false;
    std::atomic<bool> escapeFailed{false};
    const DWORD thread = ::GetCurrentThreadId();
    test::WindowActor actor(
        thread, [](HWND window) { return test::ClassOf(window) == kVersionInfoClass; },
        [&](HWND window) {
            wchar_t text[128] = {};
            ::GetWindowTextW(window, text, 128);
            title = text;
            ::GetDlgItemTextW(window, kVersionTextId, text, 128);
            version = text;
            ::GetDlgItemTextW(window, kNoticeTextId, text, 128);
            notice = text;
            ownerDisabled = !::IsWindowEnabled(owner.Get());
            test::SaveWindowScreenshot(window, "VersionWindow_English");
            ::SetForegroundWindow(window);
            INPUT keys[2] = {};
            keys[0].type = keys[1].type = INPUT_KEYBOARD;
            keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            ::SendInput(2, keys, sizeof(INPUT));
            // Never leave the test waiting: a window Escape did not close is
            // closed here and counted as a failure.
            for (int i = 0; i < 150 && ::IsWindow(window); ++i) ::Sleep(20);
            escapeFailed = ::IsWindow(window);
            if (escapeFailed) ::PostMessageW(window, WM_CLOSE, 0, 0);
        });
    ShowVersionWindow(app_.State(), owner.Get(), info);  // returns once the window is closed
    EXPECT_TRUE(actor.Acted());
    EXPECT_FALSE(escapeFailed);
    EXPECT_EQ(title, L"About Quillodex");
    EXPECT_EQ(version, L"Quillodex version 1.4.0.0 (64-bit)");
    EXPECT_NE(notice.find(L"Ormsted"), std::wstring::npos);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(::IsWindowEnabled(owner.Get()));
    EXPECT_EQ(::FindWindowW(kVersionInfoClass, nullptr), nullptr);
}

}  // namespace
}  // namespace qdx
