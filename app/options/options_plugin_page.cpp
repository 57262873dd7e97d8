// Page 1 of the options dialog: the plug-in folder and the list of its
// plug-ins, checked when they are used.
#include <windows.h>
#include <commctrl.h>

#include "app/common/controls.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "app/options/options_dialog_state.h"
#include "app/shell/shell_utilities.h"
#include "codecs/read/plugin_bridge.h"
#include "core/os/os.h"
#include "core/settings.h"

namespace qdx::app {

namespace {

// Column widths in pixels at 96 DPI; the last column takes the rest of the list.
constexpr int kFileColumnWidth = 100;
constexpr int kTypesColumnWidth = 135;
constexpr uint32_t kMaxItemText = 260;


WideString ItemText(HWND list, int row, int column) {
    WideString text;
    char16_t* out = text.ReserveForWriting(kMaxItemText);
    if (!out) return text;
    ListView_GetItemText(list, row, column, reinterpret_cast<wchar_t*>(out), int(kMaxItemText));
    text.RecomputeLength();
    return text;
}

void Refill(HWND page, const OptionsDialog& dialog) {
    HWND list = ::GetDlgItem(page, IDC_OPTIONS_PLUGIN_LIST);
    ListView_DeleteAllItems(list);
    FillPluginList(list, dialog.bridge, {});
}

INT_PTR OnInitDialog(HWND page, LPARAM initParam) {
    OptionsDialog* dialog = AttachDialog(page, initParam);
    const Settings& settings = dialog->settings;
    dialog->pluginFolder = settings.pluginFolder;
    HWND folder = ::GetDlgItem(page, IDC_OPTIONS_PLUGIN_FOLDER);
    ::SetWindowTextW(folder, W(dialog->pluginFolder.Text()));
    InstallHintText(folder, kTextNoPluginFolderHint);
    HWND list = ::GetDlgItem(page, IDC_OPTIONS_PLUGIN_LIST);
    SetUpPluginList(list);
    if (os::FolderExists(dialog->pluginFolder.Text()))
        FillPluginList(list, dialog->bridge, settings.excludedPlugins);
    InstallListViewRepaint(list);
    return FALSE;
}

// A folder typed into the edit takes effect when the edit is left.
void OnFolderLeft(HWND page, OptionsDialog& dialog) {
    WideString typed = ControlText(page, IDC_OPTIONS_PLUGIN_FOLDER);
    if (EqualsIgnoringAsciiCase(typed.Text(), dialog.pluginFolder.Text())) return;
    dialog.pluginFolder = typed;
    Refill(page, dialog);
}

void BrowsePluginFolder(HWND page, OptionsDialog& dialog) {
    WideString title = LanguageText(kTextFolderBrowserTitle);
    title.Append(dialog.pluginFolder);
    WideString folder = dialog.pluginFolder;
    if (!BrowseForFolder(page, title.Text(), folder)) return;
    dialog.pluginFolder = folder;
    ::SetDlgItemTextW(page, IDC_OPTIONS_PLUGIN_FOLDER, W(folder.Text()));
    Refill(page, dialog);
}

void ClearPluginFolder(HWND page, OptionsDialog& dialog) {
    dialog.pluginFolder.Clear();
    ::SetDlgItemTextW(page, IDC_OPTIONS_PLUGIN_FOLDER, L"");
    ListView_DeleteAllItems(::GetDlgItem(page, IDC_OPTIONS_PLUGIN_LIST));
}

INT_PTR OnCommand(HWND page, int id, int code) {
    OptionsDialog* dialog = DialogOf(page);
    if (!dialog) return FALSE;
    if (id == IDC_OPTIONS_PLUGIN_FOLDER && code == EN_KILLFOCUS) OnFolderLeft(page, *dialog);
    if (id == IDC_OPTIONS_BROWSE_PLUGIN_FOLDER && code == BN_CLICKED) BrowsePluginFolder(page, *dialog);
    if (id == IDC_OPTIONS_CLEAR_PLUGIN_FOLDER && code == BN_CLICKED) ClearPluginFolder(page, *dialog);
    NoteChange(page, id, code);
    return TRUE;
}

void OpenSelectedConfiguration(HWND page, const OptionsDialog& dialog) {
    HWND list = ::GetDlgItem(page, IDC_OPTIONS_PLUGIN_LIST);
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0) return;
    OpenPluginConfiguration(dialog.bridge, reinterpret_cast<intptr_t>(dialog.frame), ItemText(list, row, 0));
}

INT_PTR OnNotify(HWND page, const NMHDR& header) {
    if (int(header.idFrom) != IDC_OPTIONS_PLUGIN_LIST) return FALSE;
    if (header.code == NM_DBLCLK) {
        if (const OptionsDialog* dialog = DialogOf(page)) OpenSelectedConfiguration(page, *dialog);
    }
    NoteChange(page, IDC_OPTIONS_PLUGIN_LIST, int(header.code));
    return FALSE;
}

}  // namespace

void SetUpPluginList(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    RECT client{};
    ::GetClientRect(list, &client);
    const int dpi = WindowDpi(list);
    const int fileWidth = ScaleForDpi(kFileColumnWidth, dpi), typesWidth = ScaleForDpi(kTypesColumnWidth, dpi);
    const int widths[3] = {fileWidth, typesWidth, client.right - fileWidth - typesWidth};
    for (int i = 0; i < 3; ++i) {
        const WideString heading = LanguageText(kPluginColumnTexts[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = widths[i];
        column.pszText = const_cast<wchar_t*>(W(heading.Text()));
        column.iSubItem = i;
        ListView_InsertColumn(list, i, &column);
    }
}

void FillPluginList(HWND list, const PluginBridge& bridge, const std::vector<WideString>& unchecked) {
    const std::vector<WideString> names = EnumeratePlugins(bridge);
    for (const WideString& name : names) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = ListView_GetItemCount(list);
        item.pszText = const_cast<wchar_t*>(W(name.Text()));
        const int row = ListView_InsertItem(list, &item);
        if (row >= 0) ListView_SetCheckState(list, row, !ContainsName(unchecked, name.Text()));
    }
    const int rows = ListView_GetItemCount(list);
    for (int row = 0; row < rows; ++row) {
        WideString patterns, types;
        if (!DescribePlugin(bridge, ItemText(list, row, 0), patterns, types)) continue;
        ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(W(patterns.Text())));
        ListView_SetItemText(list, row, 2, const_cast<wchar_t*>(W(types.Text())));
    }
    ListView_SortItemsEx(list, CompareListTextsCallback, reinterpret_cast<LPARAM>(list));
}

std::vector<WideString> UncheckedPlugins(HWND list) {
    std::vector<WideString> names;
    const int rows = ListView_GetItemCount(list);
    for (int row = 0; row < rows; ++row)
        if (!ListView_GetCheckState(list, row)) names.push_back(ItemText(list, row, 0));
    return names;
}

INT_PTR CALLBACK PluginPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog(page, lParam);
        case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        case WM_NOTIFY: return OnNotify(page, *reinterpret_cast<const NMHDR*>(lParam));
        default: return FALSE;
    }
}

}  // namespace qdx::app
