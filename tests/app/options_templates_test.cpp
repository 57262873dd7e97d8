// The options dialog's templates in both language libraries, made into
// windows at both dialog font sizes: every control the program drives is
// there, every label is the string of its identifier and fits on one line
// in its control, and no page reaches into the buttons below it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/options/options_controls.h"
#include "app/startup/language_library.h"
#include "core/os/os.h"

namespace qdx::app {
namespace {

std::wstring BinFile(const wchar_t* name) {
    std::wstring path;
    for (const char* p = QDX_BIN_DIR; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
    return path + L"\\" + name;
}

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HWND CreateFromTemplate(HMODULE library, WORD id, bool large, HWND parent) {
    const DialogTemplate copy = LoadDialogTemplate(library, id, large);
    if (!copy) return nullptr;
    return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), copy.get(), parent, QuietProc, 0);
}

struct LabelCheck {
    HWND dialog;
    HMODULE library;
    std::string faults;
};

// Buttons, boxes and static texts show the string of their identifier; edits,
// lists and the colour swatch show nothing. A label must fit beside the box
// of a check or radio button and inside a push button.
BOOL CALLBACK CheckLabel(HWND control, LPARAM data) {
    auto* check = reinterpret_cast<LabelCheck*>(data);
    if (::GetParent(control) != check->dialog) return TRUE;
    const int id = ::GetDlgCtrlID(control);
    wchar_t className[32] = {}, text[128] = {}, expected[128] = {};
    ::GetClassNameW(control, className, 32);
    const int length = ::GetWindowTextW(control, text, 128);
    const bool button = lstrcmpiW(className, L"Button") == 0;
    if (button || (lstrcmpiW(className, L"Static") == 0 && id != IDC_OPTIONS_COLOUR_SWATCH))
        ::LoadStringW(check->library, UINT(id), expected, 128);
    if (lstrcmpW(text, expected) != 0) check->faults += " text of " + std::to_string(id) + ";";
    if (length == 0) return TRUE;
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const LONG kind = style & BS_TYPEMASK;
    const bool boxed = button && !(style & BS_PUSHLIKE) &&
                       (kind == BS_AUTOCHECKBOX || kind == BS_AUTORADIOBUTTON);
    RECT client{};
    ::GetClientRect(control, &client);
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text, length, &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    const int room = client.right - (boxed ? ::GetSystemMetrics(SM_CXMENUCHECK) + 6 : button ? 8 : 0);
    if (extent.cx > room || extent.cy > client.bottom) check->faults += " " + std::to_string(id) + " clipped;";
    return TRUE;
}

class OptionsTemplates : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(OptionsTemplates, EveryControlIsThereLabelledAndUnclippedAtBothSizes) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);
    HMODULE library = ::LoadLibraryExW(BinFile(GetParam()).c_str(), nullptr, 0);
    ASSERT_NE(library, nullptr);
    const int required[] = {IDC_OPTIONS_APPLY,
                            IDOK,
                            IDCANCEL,
                            IDC_OPTIONS_OUTPUT_FOLDER,
                            IDC_OPTIONS_CONVERT_FOLDERS,
                            IDC_OPTIONS_COLOUR_SWATCH,
                            IDC_OPTIONS_PROFILES_LIST,
                            IDC_OPTIONS_METADATA_LIST,
                            IDC_OPTIONS_SEND_TO_SHORTCUT,
                            IDC_OPTIONS_PLUGIN_FOLDER,
                            IDC_OPTIONS_PLUGIN_LIST,
                            IDC_OPTIONS_LANGUAGE_LIST,
                            IDC_OPTIONS_FONT_LIST,
                            IDC_OPTIONS_LARGE_FONT,
                            IDC_OPTIONS_BOLD_WEIGHT,
                            IDC_OPTIONS_LARGE_DIALOG_FONT,
                            IDC_OPTIONS_SHOW_TOOLTIPS,
                            IDC_OPTIONS_TOOLTIP_HEADING};
    for (bool large : {false, true}) {
        SCOPED_TRACE(large ? "11 points" : "9 points");
        HWND frame = CreateFromTemplate(library, IDD_OPTIONS, large, nullptr);
        ASSERT_NE(frame, nullptr);
        wchar_t caption[128] = {}, expected[128] = {};
        ::GetWindowTextW(frame, caption, 128);
        ::LoadStringW(library, kTextOptionsCaption, expected, 128);
        EXPECT_STREQ(caption, expected);
        RECT frameClient{}, okButton{}, pageButton{};
        ::GetClientRect(frame, &frameClient);
        ::GetWindowRect(::GetDlgItem(frame, IDOK), &okButton);
        ::GetWindowRect(::GetDlgItem(frame, kPageButtons[0]), &pageButton);
        LabelCheck check{frame, library, {}};
        ::EnumChildWindows(frame, CheckLabel, reinterpret_cast<LPARAM>(&check));
        for (WORD id : kOptionsPageTemplates) {
            HWND page = CreateFromTemplate(library, id, large, frame);
            ASSERT_NE(page, nullptr) << id;
            RECT size{};
            ::GetWindowRect(page, &size);
            // The dialog places each page 4 pixels below the page buttons.
            EXPECT_LE(pageButton.bottom - pageButton.top + 4 + size.bottom - size.top, okButton.top - pageButton.top)
                << id;
            EXPECT_LE(size.right - size.left, frameClient.right) << id;
            check.dialog = page;
            ::EnumChildWindows(page, CheckLabel, reinterpret_cast<LPARAM>(&check));
        }
        for (int id : required) {
            bool found = ::GetDlgItem(frame, id) != nullptr;
            for (HWND page = ::GetWindow(frame, GW_CHILD); page && !found; page = ::GetWindow(page, GW_HWNDNEXT))
                found = ::GetDlgItem(page, id) != nullptr;
            EXPECT_TRUE(found) << id;
        }
        EXPECT_EQ(check.faults, "");
        ::DestroyWindow(frame);
    }
    ::FreeLibrary(library);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, OptionsTemplates, ::testing::Values(L"English.dll", L"Japanese.dll"));

}  // namespace
}  // namespace qdx::app
