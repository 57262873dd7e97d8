// Page 0 of the options dialog: the global output folder, the reader
// background and the program's shortcuts.
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

using namespace options_id;

constexpr int kHeadings[] = {kOutputHeading, kBackgroundHeading, kShortcutHeading};

bool ShortcutIsThere(int folderId) {
    ShortcutPaths paths;
    return ShortcutExists(folderId, paths);
}

INT_PTR OnInitDialog(HWND page, LPARAM initParam) {
    OptionsDialog* dialog = AttachDialog(page, initParam);
    const Settings& settings = CurrentSettings();
    for (int id : kHeadings) InstallSectionHeading(::GetDlgItem(page, id));
    HWND folder = ::GetDlgItem(page, kOutputFolder);
    ::SendMessageW(folder, EM_LIMITTEXT, WPARAM(FieldOf(&Settings::globalOutputFolder)->max), 0);
    InstallHintText(folder, kOutputFolder);
    ::SetWindowTextW(folder, W(settings.globalOutputFolder.Text()));
    dialog->remembered.desktop = ShortcutIsThere(kDesktopFolder);
    dialog->remembered.sendTo = ShortcutIsThere(kSendToFolder);
    SetChecked(page, kDesktopShortcut, dialog->remembered.desktop);
    SetChecked(page, kSendToShortcut, dialog->remembered.sendTo);
    SetChecked(page, kOwnBackground, settings.useOwnBackground != 0);
    return FALSE;  // the frame gives the focus
}

// The browser starts at the folder typed in the edit when that exists; its
// title names the folder stored so far.
void BrowseOutputFolder(HWND page) {
    WideString title = LanguageText(kFolderBrowserTitle);
    title.Append(CurrentSettings().globalOutputFolder);
    WideString folder = ControlText(page, kOutputFolder);
    if (!os::FolderExists(folder.Text())) folder.Clear();
    if (BrowseForFolder(page, title.Text(), folder)) ::SetDlgItemTextW(page, kOutputFolder, W(folder.Text()));
}

// The chosen colour takes effect at once, even when the dialog is then
// cancelled; the chooser keeps its custom colours in the settings.
void ChooseBackgroundColour(HWND page) {
    Settings& settings = CurrentSettings();
    HWND swatch = ::GetDlgItem(page, kColourSwatch);
    CHOOSECOLORW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = swatch;
    chooser.rgbResult = settings.backgroundColour;
    chooser.lpCustColors = reinterpret_cast<COLORREF*>(settings.customColours);
    chooser.Flags = CC_FULLOPEN | CC_RGBINIT;
    if (!::ChooseColorW(&chooser)) return;
    settings.backgroundColour = chooser.rgbResult;
    ::InvalidateRect(swatch, nullptr, TRUE);
    if (OptionsDialog* dialog = DialogOf(page)) EnableApply(*dialog);
}

INT_PTR OnCommand(HWND page, int id, int code) {
    if (code == BN_CLICKED) {
        switch (id) {
            case kBrowseOutputFolder: BrowseOutputFolder(page); break;
            case kClearOutputFolder: ::SetDlgItemTextW(page, kOutputFolder, L""); break;
            case kChooseColour: ChooseBackgroundColour(page); break;
            default: break;
        }
    }
    NoteChange(page, id, code);
    return TRUE;
}

// The swatch shows the background colour; the headings draw their own way.
INT_PTR OnColourStatic(HWND page, HDC dc, HWND control) {
    if (control == ::GetDlgItem(page, kColourSwatch)) {
        ::SetDCBrushColor(dc, CurrentSettings().backgroundColour);
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
