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

using namespace options_id;

// Pixels between the page buttons and the page below them.
constexpr int kPageGap = 4;
// The result of a dialog whose pages could not be made.
constexpr INT_PTR kNotOpened = 0;

constexpr DLGPROC kPageProcs[kOptionsPageCount] = {OutputPageProc, PluginPageProc, AppearancePageProc};

// The subclassed controls of every page, removed before the dialog ends.
constexpr int kHeadings[] = {kOutputHeading,   kBackgroundHeading, kShortcutHeading, kLanguageHeading,
                             kFontHeading,     kDialogFontHeading, kTooltipHeading};
constexpr int kHintEdits[] = {kOutputFolder, kPluginFolder};

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
    values.globalOutputFolder = ControlText(output, kOutputFolder);
    values.useOwnBackground = IsChecked(output, kOwnBackground);
    values.desktopShortcut = IsChecked(output, kDesktopShortcut);
    values.sendToShortcut = IsChecked(output, kSendToShortcut);
    values.pluginFolder = ControlText(plugins, kPluginFolder);
    values.uncheckedPlugins = UncheckedPlugins(::GetDlgItem(plugins, kPluginList));
    values.page = dialog.page;
    values.largeDialogFont = IsChecked(appearance, kLargeDialogFont);
    values.languageText = ControlText(appearance, kLanguageList);
    values.fontText = ControlText(appearance, kFontList);
    values.fontHeight = IsChecked(appearance, kSmallFont)    ? kSmallFontHeight
                        : IsChecked(appearance, kMediumFont) ? kMediumFontHeight
                                                             : kLargeFontHeight;
    values.fontWeight = IsChecked(appearance, kNormalWeight) ? kFontWeightNormal : kFontWeightBold;
    values.showTooltips = IsChecked(appearance, kShowTooltips);
    return values;
}

void Store(OptionsDialog& dialog) {
    MainWindowOptionsHost host(dialog.main);
    StoreOptions(ReadValues(dialog), dialog.remembered, dialog.settings, host);
}

void Close(OptionsDialog& dialog, INT_PTR result) {
    for (int id : kHintEdits) RemoveHintText(Control(dialog, id));
    RemoveListViewRepaint(Control(dialog, kPluginList));
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
    ::EnableWindow(::GetDlgItem(frame, kApply), FALSE);
    return TRUE;
}

void OnApply(OptionsDialog& dialog) {
    Store(dialog);
    HWND apply = ::GetDlgItem(dialog.frame, kApply);
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
        case kApply: OnApply(*dialog); return TRUE;
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

void EnableApply(OptionsDialog& dialog) { ::EnableWindow(::GetDlgItem(dialog.frame, kApply), TRUE); }

bool OpenOptionsDialog(MainWindowState& state) {
    // Without a language library there is no template and no text to show.
    if (!state.languageLibrary) return false;
    const DialogTemplate frame =
        LoadDialogTemplate(state.languageLibrary.Get(), kOptionsFrameTemplate, state.settings.largeDialogFont != 0);
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
