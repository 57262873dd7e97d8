// Page 0 of the options dialog: the global output folder and folder walking,
// the reader background, colour profiles and photo details, and the
// program's shortcuts.
#include <windows.h>
#include <commdlg.h>

#include <iterator>

#include "app/common/controls.h"
#include "app/common/win32_owners.h"
#include "app/options/options_dialog_state.h"
#include "app/shell/shell_utilities.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_fields.h"

namespace qdx::app {

namespace {

constexpr int kHeadings[] = {IDC_OPTIONS_OUTPUT_HEADING, IDC_OPTIONS_BACKGROUND_HEADING, IDC_OPTIONS_COLOUR_HEADING,
                             IDC_OPTIONS_SHORTCUT_HEADING};

// The lists' texts in the order of the codes they stand for.
constexpr uint32_t kProfileTexts[] = {kTextProfilesAsStored, kTextProfilesToSrgb};
constexpr uint32_t kMetadataTexts[] = {kTextKeepNoMetadata, kTextKeepDateAndCamera, kTextKeepAllButLocation};
static_assert(std::size(kProfileTexts) == kColourProfilesCount && std::size(kMetadataTexts) == kKeepMetadataCount);

void FillChoiceList(HWND page, int id, const uint32_t* texts, uint32_t count, uint32_t selected) {
    HWND list = ::GetDlgItem(page, id);
    for (uint32_t i = 0; i < count; ++i)
        ::SendMessageW(list, CB_ADDSTRING, 0, LPARAM(W(LanguageText(texts[i]).Text())));
    ::SendMessageW(list, CB_SETCURSEL, selected < count ? selected : 0, 0);
}

bool ShortcutIsThere(int folderId) {
    ShortcutPaths paths;
    return ShortcutExists(folderId, paths);
}

INT_PTR OnInitDialog(HWND page, LPARAM initParam) {
    OptionsDialog* dialog = AttachDialog(page, initParam);
    const Settings& settings = dialog->settings;
    for (int id : kHeadings) InstallSectionHeading(::GetDlgItem(page, id));
    HWND folder = ::GetDlgItem(page, IDC_OPTIONS_OUTPUT_FOLDER);
    ::SendMessageW(folder, EM_LIMITTEXT, WPARAM(FieldOf(&Settings::globalOutputFolder)->max), 0);
    InstallHintText(folder, kTextSourceFolderHint);
    ::SetWindowTextW(folder, W(settings.globalOutputFolder.Text()));
    dialog->remembered.desktop = ShortcutIsThere(kDesktopFolder);
    dialog->remembered.sendTo = ShortcutIsThere(kSendToFolder);
    SetChecked(page, IDC_OPTIONS_DESKTOP_SHORTCUT, dialog->remembered.desktop);
    SetChecked(page, IDC_OPTIONS_SEND_TO_SHORTCUT, dialog->remembered.sendTo);
    SetChecked(page, IDC_OPTIONS_OWN_BACKGROUND, settings.useOwnBackground != 0);
    SetChecked(page, IDC_OPTIONS_CONVERT_FOLDERS, settings.convertFolders != 0);
    FillChoiceList(page, IDC_OPTIONS_PROFILES_LIST, kProfileTexts, kColourProfilesCount, settings.colourProfiles);
    FillChoiceList(page, IDC_OPTIONS_METADATA_LIST, kMetadataTexts, kKeepMetadataCount, settings.keepMetadata);
    return FALSE;  // the frame gives the focus
}

// The browser starts at the folder typed in the edit when that exists; its
// title names the folder stored so far.
void BrowseOutputFolder(HWND page, const Settings& settings) {
    WideString title = LanguageText(kTextFolderBrowserTitle);
    title.Append(settings.globalOutputFolder);
    WideString folder = ControlText(page, IDC_OPTIONS_OUTPUT_FOLDER);
    if (!os::FolderExists(folder.Text())) folder.Clear();
    if (BrowseForFolder(page, title.Text(), folder))
        ::SetDlgItemTextW(page, IDC_OPTIONS_OUTPUT_FOLDER, W(folder.Text()));
}

// The chosen colour takes effect at once, even when the dialog is then
// cancelled; the chooser keeps its custom colours in the settings.
void ChooseBackgroundColour(HWND page, OptionsDialog& dialog) {
    Settings& settings = dialog.settings;
    HWND swatch = ::GetDlgItem(page, IDC_OPTIONS_COLOUR_SWATCH);
    CHOOSECOLORW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = swatch;
    chooser.rgbResult = settings.backgroundColour;
    chooser.lpCustColors = reinterpret_cast<COLORREF*>(settings.customColours);
    chooser.Flags = CC_FULLOPEN | CC_RGBINIT;
    if (!::ChooseColorW(&chooser)) return;
    settings.backgroundColour = chooser.rgbResult;
    ::InvalidateRect(swatch, nullptr, TRUE);
    EnableApply(dialog);
}

INT_PTR OnCommand(HWND page, int id, int code) {
    OptionsDialog* dialog = DialogOf(page);
    if (dialog && code == BN_CLICKED) {
        switch (id) {
            case IDC_OPTIONS_BROWSE_OUTPUT_FOLDER: BrowseOutputFolder(page, dialog->settings); break;
            case IDC_OPTIONS_CLEAR_OUTPUT_FOLDER: ::SetDlgItemTextW(page, IDC_OPTIONS_OUTPUT_FOLDER, L""); break;
            case IDC_OPTIONS_CHOOSE_COLOUR: ChooseBackgroundColour(page, *dialog); break;
            default: break;
        }
    }
    NoteChange(page, id, code);
    return TRUE;
}

// The swatch shows the background colour; the headings draw their own way.
INT_PTR OnColourStatic(HWND page, HDC dc, HWND control) {
    const OptionsDialog* dialog = DialogOf(page);
    if (dialog && control == ::GetDlgItem(page, IDC_OPTIONS_COLOUR_SWATCH)) {
        ::SetDCBrushColor(dc, dialog->settings.backgroundColour);
        return reinterpret_cast<INT_PTR>(::GetStockObject(DC_BRUSH));
    }
    return HeadingColours(page, dc, control, kHeadings, int(std::size(kHeadings)));
}

}  // namespace

INT_PTR CALLBACK OutputPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog(page, lParam);
        case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        case WM_CTLCOLORSTATIC: return OnColourStatic(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        default: return FALSE;
    }
}

}  // namespace qdx::app
