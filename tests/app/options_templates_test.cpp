// The options dialog's templates in both language libraries: every control
// the program drives is there, the texts are the strings of the same
// identifiers, and at both dialog font sizes no text is wider than its
// control and no page reaches into the buttons below it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/language_library.h"
#include "app/options_controls.h"
#include "core/os/os.h"

namespace qdx::app {
namespace {

std::wstring BinFile(const wchar_t* name) {
    std::wstring path;
    for (const char* p = QDX_BIN_DIR; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
    return path + L"\\" + name;
}

// Reads a NUL-terminated text or an ordinal (0xFFFF, value) at `at`.
std::u16string TextOrOrdinal(const uint8_t* bytes, size_t& at) {
    std::u16string text;
    const auto unit = [&](size_t i) { return char16_t(bytes[i] | (bytes[i + 1] << 8)); };
    if (unit(at) == 0xFFFF) {
        at += 4;
        return text;
    }
    for (; unit(at) != 0; at += 2) text.push_back(unit(at));
    at += 2;
    return text;
}

// Caption and item texts by control identifier of an extended template.
struct TemplateTexts {
    std::u16string caption;
    std::map<int, std::u16string> items;
};

TemplateTexts ReadTemplate(HMODULE library, WORD id) {
    TemplateTexts texts;
    HRSRC resource = ::FindResourceW(library, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    if (!resource) return texts;
    const auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(library, resource)));
    const int count = bytes[16] | (bytes[17] << 8);
    size_t at = 26;
    TextOrOrdinal(bytes, at);  // menu
    TextOrOrdinal(bytes, at);  // class
    texts.caption = TextOrOrdinal(bytes, at);
    at += 6;  // point size, weight, italic, character set
    TextOrOrdinal(bytes, at);
    for (int i = 0; i < count; ++i) {
        at = (at + 3) & ~size_t(3);
        const int control = int(bytes[at + 20] | (bytes[at + 21] << 8));
        at += 24;
        TextOrOrdinal(bytes, at);  // class
        texts.items[control] = TextOrOrdinal(bytes, at);
        at += 2 + (bytes[at] | (bytes[at + 1] << 8));
    }
    return texts;
}

std::u16string StringOf(HMODULE library, int id) {
    wchar_t text[128] = {};
    ::LoadStringW(library, UINT(id), text, 128);
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

class OptionsTemplates : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        library_ = ::LoadLibraryExW(BinFile(GetParam()).c_str(), nullptr, 0);
        ASSERT_NE(library_, nullptr);
    }
    void TearDown() override {
        if (library_) ::FreeLibrary(library_);
    }
    HMODULE library_ = nullptr;
};

TEST_P(OptionsTemplates, HoldEveryControlWithTheTextOfItsString) {
    using namespace options_id;
    const std::vector<std::vector<int>> expected = {
        {kPageButtons[0], kPageButtons[1], kPageButtons[2], kApply, IDOK, IDCANCEL},
        {kOutputHeading, kBrowseOutputFolder, kClearOutputFolder, kOutputFolder, kBackgroundHeading, kOwnBackground,
         kColourSwatch, kChooseColour, kShortcutHeading, kDesktopShortcut, kSendToShortcut},
        {kPluginFolder, kBrowsePluginFolder, kClearPluginFolder, kPluginList},
        {kLanguageHeading, kLanguageList, kFontHeading, kFontList, kSmallFont, kMediumFont, kLargeFont, kNormalWeight,
         kBoldWeight, kDialogFontHeading, kNormalDialogFont, kLargeDialogFont, kTooltipHeading, kShowTooltips}};
    const WORD ids[] = {kOptionsFrameTemplate, kOptionsPageTemplates[0], kOptionsPageTemplates[1],
                        kOptionsPageTemplates[2]};
    for (int t = 0; t < 4; ++t) {
        SCOPED_TRACE(ids[t]);
        const TemplateTexts texts = ReadTemplate(library_, ids[t]);
        for (int control : expected[size_t(t)]) EXPECT_EQ(texts.items.count(control), 1u) << control;
        for (const auto& [control, text] : texts.items) {
            // Edits and lists show no text of their own; everything else
            // repeats its string.
            if (control == kOutputFolder || control == kPluginFolder || control == kColourSwatch ||
                control == kPluginList || control == kLanguageList || control == kFontList)
                EXPECT_TRUE(text.empty()) << control;
            else
                EXPECT_TRUE(text == StringOf(library_, control)) << control;
        }
    }
    EXPECT_TRUE(ReadTemplate(library_, kOptionsFrameTemplate).caption == StringOf(library_, kOptionsFrameTemplate));
}

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HWND CreateFromTemplate(HMODULE library, WORD id, bool large, HWND parent) {
    DLGTEMPLATE* copy = LoadDialogTemplate(library, id, large);
    if (!copy) return nullptr;
    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), copy, parent, QuietProc, 0);
    os::PrivateFree(copy);
    return dialog;
}

struct ClippedText {
    HWND dialog;
    std::vector<std::string> found;
};

// Texts of buttons, check boxes, radio buttons and static texts must fit on
// one line inside their control, beside the box of a check or radio button.
BOOL CALLBACK FindClippedText(HWND control, LPARAM data) {
    auto* clipped = reinterpret_cast<ClippedText*>(data);
    if (::GetParent(control) != clipped->dialog) return TRUE;
    wchar_t className[32] = {}, text[128] = {};
    ::GetClassNameW(control, className, 32);
    const int length = ::GetWindowTextW(control, text, 128);
    if (length == 0 || (lstrcmpiW(className, L"Button") != 0 && lstrcmpiW(className, L"Static") != 0)) return TRUE;
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const LONG kind = style & BS_TYPEMASK;
    const bool boxed = lstrcmpiW(className, L"Button") == 0 &&
                       (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON ||
                        kind == BS_RADIOBUTTON) && !(style & BS_PUSHLIKE);
    const bool pushed = lstrcmpiW(className, L"Button") == 0 && !boxed;
    RECT client{};
    ::GetClientRect(control, &client);
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text, length, &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    const int room = client.right - (boxed ? ::GetSystemMetrics(SM_CXMENUCHECK) + 6 : pushed ? 8 : 0);
    if (extent.cx > room || extent.cy > client.bottom) {
        std::string name(text, text + length);
        clipped->found.push_back(std::to_string(::GetDlgCtrlID(control)) + " needs " + std::to_string(extent.cx) +
                                 "x" + std::to_string(extent.cy) + ", has " + std::to_string(room) + "x" +
                                 std::to_string(client.bottom));
    }
    return TRUE;
}

TEST_P(OptionsTemplates, TextsFitAndPagesStayAboveTheButtonsAtBothSizes) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);
    for (bool large : {false, true}) {
        SCOPED_TRACE(large ? "11 points" : "9 points");
        HWND frame = CreateFromTemplate(library_, kOptionsFrameTemplate, large, nullptr);
        ASSERT_NE(frame, nullptr);
        RECT frameClient{}, okButton{}, pageButton{};
        ::GetClientRect(frame, &frameClient);
        ::GetWindowRect(::GetDlgItem(frame, IDOK), &okButton);
        ::GetWindowRect(::GetDlgItem(frame, options_id::kPageButtons[0]), &pageButton);
        ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&okButton), 2);
        ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&pageButton), 2);
        ClippedText clipped{frame, {}};
        ::EnumChildWindows(frame, FindClippedText, reinterpret_cast<LPARAM>(&clipped));
        for (WORD id : kOptionsPageTemplates) {
            SCOPED_TRACE(id);
            HWND page = CreateFromTemplate(library_, id, large, frame);
            ASSERT_NE(page, nullptr);
            RECT size{};
            ::GetWindowRect(page, &size);
            // The dialog places each page 4 pixels below the page buttons.
            EXPECT_LE(pageButton.bottom + 4 + (size.bottom - size.top), okButton.top);
            EXPECT_LE(size.right - size.left, frameClient.right);
            clipped.dialog = page;
            ::EnumChildWindows(page, FindClippedText, reinterpret_cast<LPARAM>(&clipped));
        }
        for (const std::string& text : clipped.found) ADD_FAILURE() << "clipped: " << text;
        ::DestroyWindow(frame);
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, OptionsTemplates, ::testing::Values(L"English.dll", L"Japanese.dll"));

}  // namespace
}  // namespace qdx::app
