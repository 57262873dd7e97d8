// What the three pages of the options dialog share.
#include <windows.h>
#include <commctrl.h>

#include "app/common/controls.h"
#include "app/options/options_dialog_state.h"

namespace qdx::app {

OptionsDialog* DialogOf(HWND page) { return reinterpret_cast<OptionsDialog*>(::GetWindowLongPtrW(page, DWLP_USER)); }

OptionsDialog* AttachDialog(HWND page, LPARAM initParam) {
    ::SetWindowLongPtrW(page, DWLP_USER, initParam);
    return reinterpret_cast<OptionsDialog*>(initParam);
}

void NoteChange(HWND page, int id, int code) {
    OptionsDialog* dialog = DialogOf(page);
    if (dialog && EnablesApply(id, code)) EnableApply(*dialog);
}

INT_PTR HeadingColours(HWND page, HDC dc, HWND control, const int* headings, int count) {
    const int id = ::GetDlgCtrlID(control);
    for (int i = 0; i < count; ++i)
        if (headings[i] == id && ::GetDlgItem(page, id) == control)
            return reinterpret_cast<INT_PTR>(SectionHeadingColours(dc));
    return 0;
}

bool IsChecked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }

void SetChecked(HWND page, int id, bool checked) { ::CheckDlgButton(page, id, checked ? BST_CHECKED : BST_UNCHECKED); }

uint32_t ListSelection(HWND page, int id) {
    const LRESULT item = ::SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
    return item == CB_ERR ? UINT32_MAX : uint32_t(item);
}

WideString ControlText(HWND page, int id) {
    WideString text;
    HWND control = ::GetDlgItem(page, id);
    const int length = control ? ::GetWindowTextLengthW(control) : 0;
    if (length <= 0) return text;
    char16_t* out = text.ReserveForWriting(uint32_t(length));
    if (!out) return text;
    ::GetWindowTextW(control, reinterpret_cast<wchar_t*>(out), length + 1);
    text.RecomputeLength();
    return text;
}

bool EnablesApply(int id, int code) {
    switch (id) {
        case IDC_OPTIONS_CONVERT_FOLDERS:
        case IDC_OPTIONS_DESKTOP_SHORTCUT:
        case IDC_OPTIONS_SEND_TO_SHORTCUT:
        case IDC_OPTIONS_SMALL_FONT:
        case IDC_OPTIONS_MEDIUM_FONT:
        case IDC_OPTIONS_LARGE_FONT:
        case IDC_OPTIONS_NORMAL_WEIGHT:
        case IDC_OPTIONS_BOLD_WEIGHT:
        case IDC_OPTIONS_NORMAL_DIALOG_FONT:
        case IDC_OPTIONS_LARGE_DIALOG_FONT: return code == BN_CLICKED;
        case IDC_OPTIONS_OUTPUT_FOLDER:
        case IDC_OPTIONS_PLUGIN_FOLDER: return code == EN_CHANGE;
        case IDC_OPTIONS_PROFILES_LIST:
        case IDC_OPTIONS_METADATA_LIST:
        case IDC_OPTIONS_LANGUAGE_LIST:
        case IDC_OPTIONS_FONT_LIST: return code == CBN_SELCHANGE;
        case IDC_OPTIONS_PLUGIN_LIST: return code == int(LVN_ITEMCHANGED);
        default: return false;  // the background and tooltip boxes wait for another change
    }
}

}  // namespace qdx::app
