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

using namespace options_id;

constexpr int kHeadings[] = {kLanguageHeading, kFontHeading, kDialogFontHeading, kTooltipHeading};

int HeightButton(int32_t height) {
    if (height == kSmallFontHeight) return kSmallFont;
    if (height == kMediumFontHeight) return kMediumFont;
    return kLargeFont;
}

INT_PTR OnInitDialog(HWND page, LPARAM initParam) {
    const Settings& settings = AttachDialog(page, initParam)->settings;
    for (int id : kHeadings) InstallSectionHeading(::GetDlgItem(page, id));
    HWND languages = ::GetDlgItem(page, kLanguageList);
    const int current = ListLanguageLibraries(languages, settings.languageName.Text());
    ::SendMessageW(languages, CB_SETCURSEL, WPARAM(current), 0);
    FillFontList(::GetDlgItem(page, kFontList), settings.fontFace.Text());
    ::CheckRadioButton(page, kSmallFont, kLargeFont, HeightButton(settings.fontHeight));
    ::CheckRadioButton(page, kNormalWeight, kBoldWeight,
                       settings.fontWeight == kFontWeightNormal ? kNormalWeight : kBoldWeight);
    ::CheckRadioButton(page, kNormalDialogFont, kLargeDialogFont,
                       settings.largeDialogFont ? kLargeDialogFont : kNormalDialogFont);
    SetChecked(page, kShowTooltips, settings.showTooltips != 0);
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
