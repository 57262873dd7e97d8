// Page 2 of the options dialog: language, main window font, dialog font size
// and tooltips.
#include <iterator>

#include "app/common/controls.h"
#include "app/options/options_dialog_state.h"
#include "app/shell/shell_utilities.h"
#include "app/startup/language_library.h"
#include "core/settings.h"

namespace qdx::app {

namespace {

constexpr int kHeadings[] = {IDC_OPTIONS_LANGUAGE_HEADING, IDC_OPTIONS_FONT_HEADING, IDC_OPTIONS_DIALOG_FONT_HEADING,
                             IDC_OPTIONS_TOOLTIP_HEADING};

int HeightButton(int32_t height) {
    if (height == kSmallFontHeight) return IDC_OPTIONS_SMALL_FONT;
    if (height == kMediumFontHeight) return IDC_OPTIONS_MEDIUM_FONT;
    return IDC_OPTIONS_LARGE_FONT;
}

INT_PTR OnInitDialog(HWND page, LPARAM initParam) {
    const Settings& settings = AttachDialog(page, initParam)->settings;
    for (int id : kHeadings) InstallSectionHeading(::GetDlgItem(page, id));
    HWND languages = ::GetDlgItem(page, IDC_OPTIONS_LANGUAGE_LIST);
    const int current = ListLanguageLibraries(languages, settings.languageName.Text());
    ::SendMessageW(languages, CB_SETCURSEL, WPARAM(current), 0);
    FillFontList(::GetDlgItem(page, IDC_OPTIONS_FONT_LIST), settings.fontFace.Text());
    ::CheckRadioButton(page, IDC_OPTIONS_SMALL_FONT, IDC_OPTIONS_LARGE_FONT, HeightButton(settings.fontHeight));
    ::CheckRadioButton(page, IDC_OPTIONS_NORMAL_WEIGHT, IDC_OPTIONS_BOLD_WEIGHT,
                       settings.fontWeight == kFontWeightNormal ? IDC_OPTIONS_NORMAL_WEIGHT : IDC_OPTIONS_BOLD_WEIGHT);
    ::CheckRadioButton(page, IDC_OPTIONS_NORMAL_DIALOG_FONT, IDC_OPTIONS_LARGE_DIALOG_FONT,
                       settings.largeDialogFont ? IDC_OPTIONS_LARGE_DIALOG_FONT : IDC_OPTIONS_NORMAL_DIALOG_FONT);
    SetChecked(page, IDC_OPTIONS_SHOW_TOOLTIPS, settings.showTooltips != 0);
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK AppearancePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog(page, lParam);
        case WM_COMMAND: NoteChange(page, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_CTLCOLORSTATIC:
            return HeadingColours(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), kHeadings,
                                  int(std::size(kHeadings)));
        default: return FALSE;
    }
}

}  // namespace qdx::app
