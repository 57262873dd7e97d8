#include "app/options/options_dialog.h"

#include <commctrl.h>

#include "app/common/controls.h"
#include "app/options/options_dialog_state.h"
#include "app/options/options_host.h"
#include "app/startup/language_library.h"
#include "core/os/os.h"
#include "core/settings.h"

namespace qdx::app {

namespace {

// Pixels between the page buttons and the page below them.
constexpr int kPageGap = 4;
// The result of a dialog whose pages could not be made.
constexpr INT_PTR kNotOpened = 0;

constexpr DLGPROC kPageProcs[kOptionsPageCount] = {OutputPageProc, PluginPageProc, AppearancePageProc};

// The subclassed controls of every page, removed before the dialog ends.
constexpr int kHeadings[] = {IDC_OPTIONS_OUTPUT_HEADING,   IDC_OPTIONS_BACKGROUND_HEADING,
                             IDC_OPTIONS_COLOUR_HEADING,   IDC_OPTIONS_SHORTCUT_HEADING,
                             IDC_OPTIONS_LANGUAGE_HEADING,
                             IDC_OPTIONS_FONT_HEADING,     IDC_OPTIONS_DIALOG_FONT_HEADING,
                             IDC_OPTIONS_TOOLTIP_HEADING};
constexpr int kHintEdits[] = {IDC_OPTIONS_OUTPUT_FOLDER, IDC_OPTIONS_PLUGIN_FOLDER};

HWND Control(const OptionsDialog& dialog, int id) {
    for (HWND page : dialog.pages)
        if (HWND control = ::GetDlgItem(page, id)) return control;
    return nullptr;
}

void ShowPage(OptionsDialog& dialog, uint32_t index) {
    if (index >= uint32_t(kOptionsPageCount)) index = 0;
    if (dialog.page < uint32_t(kOptionsPageCount) && index != dialog.page)
        ::ShowWindow(dialog.pages[dialog.page], SW_HIDE);
    dialog.page = index;
    ::CheckRadioButton(dialog.frame, kPageButtons[0], kPageButtons[kOptionsPageCount - 1], kPageButtons[index]);
    ::ShowWindow(dialog.pages[index], SW_SHOW);
}

// Creates the pages as child dialogs below the page buttons, in the tab order
// right after them.
bool CreatePages(OptionsDialog& dialog) {
    const bool large = dialog.settings.largeDialogFont != 0;
    HWND lastButton = ::GetDlgItem(dialog.frame, kPageButtons[kOptionsPageCount - 1]);
    RECT button{};
    ::GetWindowRect(lastButton, &button);
    ::MapWindowPoints(nullptr, dialog.frame, reinterpret_cast<POINT*>(&button), 2);
    for (int i = 0; i < kOptionsPageCount; ++i) {
        const DialogTemplate page = LoadDialogTemplate(dialog.main.languageLibrary.Get(), kOptionsPageTemplates[i], large);
        if (!page) return false;
        dialog.pages[i] = ::CreateDialogIndirectParamW(dialog.main.instance, page.get(), dialog.frame, kPageProcs[i],
                                                       reinterpret_cast<LPARAM>(&dialog));
        if (!dialog.pages[i]) return false;
        ::SetWindowPos(dialog.pages[i], lastButton, 0, button.bottom + kPageGap, 0, 0,
                       SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        lastButton = dialog.pages[i];
    }
    return true;
}

OptionsValues ReadValues(const OptionsDialog& dialog) {
    const HWND output = dialog.pages[0], plugins = dialog.pages[1], appearance = dialog.pages[2];
    OptionsValues values;
    values.globalOutputFolder = ControlText(output, IDC_OPTIONS_OUTPUT_FOLDER);
    values.convertFolders = IsChecked(output, IDC_OPTIONS_CONVERT_FOLDERS);
    values.useOwnBackground = IsChecked(output, IDC_OPTIONS_OWN_BACKGROUND);
    values.colourProfiles = ListSelection(output, IDC_OPTIONS_PROFILES_LIST);
    values.keepMetadata = ListSelection(output, IDC_OPTIONS_METADATA_LIST);
    values.desktopShortcut = IsChecked(output, IDC_OPTIONS_DESKTOP_SHORTCUT);
    values.sendToShortcut = IsChecked(output, IDC_OPTIONS_SEND_TO_SHORTCUT);
    values.pluginFolder = ControlText(plugins, IDC_OPTIONS_PLUGIN_FOLDER);
    values.uncheckedPlugins = UncheckedPlugins(::GetDlgItem(plugins, IDC_OPTIONS_PLUGIN_LIST));
    values.page = dialog.page;
    values.largeDialogFont = IsChecked(appearance, IDC_OPTIONS_LARGE_DIALOG_FONT);
    values.languageText = ControlText(appearance, IDC_OPTIONS_LANGUAGE_LIST);
    values.fontText = ControlText(appearance, IDC_OPTIONS_FONT_LIST);
    values.fontHeight = IsChecked(appearance, IDC_OPTIONS_SMALL_FONT)    ? kSmallFontHeight
                        : IsChecked(appearance, IDC_OPTIONS_MEDIUM_FONT) ? kMediumFontHeight
                                                             : kLargeFontHeight;
    values.fontWeight = IsChecked(appearance, IDC_OPTIONS_NORMAL_WEIGHT) ? kFontWeightNormal : kFontWeightBold;
    values.showTooltips = IsChecked(appearance, IDC_OPTIONS_SHOW_TOOLTIPS);
    return values;
}

void Store(OptionsDialog& dialog) {
    MainWindowOptionsHost host(dialog.main);
    StoreOptions(ReadValues(dialog), dialog.remembered, dialog.settings, host);
}

void Close(OptionsDialog& dialog, INT_PTR result) {
    for (int id : kHintEdits) RemoveHintText(Control(dialog, id));
    RemoveListViewRepaint(Control(dialog, IDC_OPTIONS_PLUGIN_LIST));
    for (int id : kHeadings) RemoveSectionHeading(Control(dialog, id));
    ::EndDialog(dialog.frame, result);
}

INT_PTR OnInitDialog(HWND frame, LPARAM initParam) {
    auto* dialog = reinterpret_cast<OptionsDialog*>(initParam);
    ::SetWindowLongPtrW(frame, DWLP_USER, initParam);
    dialog->frame = frame;
    if (!CreatePages(*dialog)) {
        Close(*dialog, kNotOpened);
        return TRUE;
    }
    // The pages were made hidden; the last one shown opens.
    ShowPage(*dialog, dialog->settings.optionsPage);
    ::EnableWindow(::GetDlgItem(frame, IDC_OPTIONS_APPLY), FALSE);
    return TRUE;
}

void OnApply(OptionsDialog& dialog) {
    Store(dialog);
    HWND apply = ::GetDlgItem(dialog.frame, IDC_OPTIONS_APPLY);
    // A disabled button cannot keep the keyboard focus.
    if (::GetFocus() == apply) ::SendMessageW(dialog.frame, WM_NEXTDLGCTL, WPARAM(::GetDlgItem(dialog.frame, IDOK)), TRUE);
    ::EnableWindow(apply, FALSE);
}

INT_PTR OnCommand(HWND frame, int id, int code) {
    auto* dialog = reinterpret_cast<OptionsDialog*>(::GetWindowLongPtrW(frame, DWLP_USER));
    if (!dialog) return FALSE;
    for (int i = 0; i < kOptionsPageCount; ++i) {
        if (id == kPageButtons[i] && code == BN_CLICKED) {
            ShowPage(*dialog, uint32_t(i));
            return TRUE;
        }
    }
    switch (id) {
        case IDOK: Store(*dialog); Close(*dialog, IDOK); return TRUE;
        case IDCANCEL: Close(*dialog, IDCANCEL); return TRUE;
        case IDC_OPTIONS_APPLY: OnApply(*dialog); return TRUE;
        default: return FALSE;
    }
}

INT_PTR CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog(frame, lParam);
        case WM_COMMAND: return OnCommand(frame, LOWORD(wParam), HIWORD(wParam));
        default: return FALSE;
    }
}

}  // namespace

void EnableApply(OptionsDialog& dialog) { ::EnableWindow(::GetDlgItem(dialog.frame, IDC_OPTIONS_APPLY), TRUE); }

bool OpenOptionsDialog(MainWindowState& state) {
    // Without a language library there is no template and no text to show.
    if (!state.languageLibrary) return false;
    const DialogTemplate frame =
        LoadDialogTemplate(state.languageLibrary.Get(), IDD_OPTIONS, state.settings.largeDialogFont != 0);
    if (!frame) return false;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&classes);
    OptionsDialog dialog(state);
    dialog.bridge.folder = &dialog.pluginFolder;
    dialog.bridge.excluded = &state.settings.excludedPlugins;
    const INT_PTR result = ::DialogBoxIndirectParamW(state.instance, frame.get(), state.window, FrameProc,
                                                     reinterpret_cast<LPARAM>(&dialog));
    return result == IDOK || result == IDCANCEL;
}

}  // namespace qdx::app
