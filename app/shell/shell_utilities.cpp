#include "app/shell/shell_utilities.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "app/common/win32_owners.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"

namespace qdx::app {

namespace {


constexpr int kMaxListText = 260;

}  // namespace

bool ShortcutExists(int folderId, ShortcutPaths& paths) {
    paths.shortcut.Clear();
    paths.executable.Clear();
    os::ExecutablePath(paths.executable);
    WideString name(paths.executable);
    KeepFileName(name);
    RemoveExtension(name);
    name.Append(u".lnk");
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, folder)) && folder[0])
        SetFolderPlusName(paths.shortcut, U(folder), name.Text());
    else
        paths.shortcut.Assign(name);
    return os::FileExists(paths.shortcut.Text());
}

bool CreateProgramShortcut(const WideString& shortcutPath, const WideString& executablePath) {
    ComPointer<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out())))
        return false;
    link->SetPath(W(executablePath.Text()));
    link->SetArguments(L"");
    link->SetIconLocation(W(executablePath.Text()), 0);
    link->SetShowCmd(SW_SHOWNORMAL);
    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out()))) return false;
    if (SUCCEEDED(file->Save(W(shortcutPath.Text()), TRUE))) return true;
    ::DeleteFileW(W(shortcutPath.Text()));  // a half-written link is no shortcut
    return false;
}

void SyncShortcut(int folderId, bool wanted) {
    ShortcutPaths paths;
    const bool exists = ShortcutExists(folderId, paths);
    if (wanted && !exists) CreateProgramShortcut(paths.shortcut, paths.executable);
    if (!wanted && exists) ::DeleteFileW(W(paths.shortcut.Text()));
}

namespace {

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
    if (message == BFFM_INITIALIZED && startFolder) ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
    return 0;
}

}  // namespace

bool BrowseForFolder(HWND owner, const char16_t* title, WideString& folder) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = W(title);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = folder.IsEmpty() ? 0 : LPARAM(folder.Text());
    const CoTaskMemory<ITEMIDLIST_ABSOLUTE> chosen(::SHBrowseForFolderW(&info));
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(chosen.get(), path) || !path[0]) return false;
    return folder.Assign(U(path));
}

bool LaunchAddress(const char16_t* file, const char16_t* parameters) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpFile = W(file);
    execute.lpParameters = W(parameters);
    execute.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&execute) != FALSE;
}

namespace {

int CALLBACK AddFontFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD fontType, LPARAM comboBox) {
    const HWND list = reinterpret_cast<HWND>(comboBox);
    if (!(fontType & (TRUETYPE_FONTTYPE | DEVICE_FONTTYPE))) return 1;
    if (font->lfFaceName[0] == L'@') return 1;  // vertical variant
    if (::SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(font->lfFaceName)) != CB_ERR) return 1;
    ::SendMessageW(list, CB_ADDSTRING, 0, LPARAM(font->lfFaceName));
    return 1;
}

}  // namespace

void FillFontList(HWND comboBox, const char16_t* currentFace) {
    {
        const WindowDC screen(nullptr);
        LOGFONTW all{};
        all.lfCharSet = DEFAULT_CHARSET;  // every family once per character set
        ::EnumFontFamiliesExW(screen.Get(), &all, AddFontFamily, LPARAM(comboBox), 0);
    }
    // The search message folds case; the face is to match exactly.
    ::SendMessageW(comboBox, CB_SETCURSEL, WPARAM(-1), 0);
    const int count = int(::SendMessageW(comboBox, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t face[LF_FACESIZE + 1] = {};
        if (::SendMessageW(comboBox, CB_GETLBTEXTLEN, WPARAM(i), 0) > LF_FACESIZE) continue;
        ::SendMessageW(comboBox, CB_GETLBTEXT, WPARAM(i), LPARAM(face));
        if (::lstrcmpW(face, W(currentFace)) == 0) {
            ::SendMessageW(comboBox, CB_SETCURSEL, WPARAM(i), 0);
            break;
        }
    }
}

int CompareListTexts(HWND listView, int itemA, int itemB) {
    wchar_t textA[kMaxListText] = {}, textB[kMaxListText] = {};
    ListView_GetItemText(listView, itemA, 0, textA, kMaxListText);
    ListView_GetItemText(listView, itemB, 0, textB, kMaxListText);
    return ::StrCmpLogicalW(textA, textB);
}

int CALLBACK CompareListTextsCallback(LPARAM itemA, LPARAM itemB, LPARAM listView) {
    return CompareListTexts(reinterpret_cast<HWND>(listView), int(itemA), int(itemB));
}

}  // namespace qdx::app
