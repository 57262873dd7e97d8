#pragma once
// Small services of the desktop shell and the font system that the dialogs
// use: program shortcuts, the folder browser, launching addresses, the font
// list and the shell's natural ordering of list texts.
#include <windows.h>

#include "core/os/wide_string.h"

namespace qdx::app {

// Shell folders that can hold a shortcut to the program.
inline constexpr int kDesktopFolder = 16;  // the user's desktop directory
inline constexpr int kSendToFolder = 9;    // the user's Send To folder

// The places ShortcutExists finds for the next two operations.
struct ShortcutPaths {
    WideString shortcut;    // <shell folder>\<executable name>.lnk
    WideString executable;  // full path of the running executable
};

// Whether the program's shortcut exists in shell folder `folderId`. When the
// folder cannot be resolved the shortcut path is only the file name.
bool ShortcutExists(int folderId, ShortcutPaths& paths);

// Saves a shell link to `executablePath` (no arguments, its first icon, shown
// normally) at `shortcutPath`. Leaves no file on failure.
bool CreateProgramShortcut(const WideString& shortcutPath, const WideString& executablePath);

// Creates the shortcut when wanted and missing, deletes it when unwanted and
// present; otherwise leaves the folder alone.
void SyncShortcut(int folderId, bool wanted);

// The shell's folder browser (file-system folders, resizable), starting at
// `folder` when it is not empty. On a choice `folder` becomes its path.
bool BrowseForFolder(HWND owner, const char16_t* title, WideString& folder);

// Hands a program, document or web address to the shell's default handler,
// shown normally and without the shell's error dialogs.
bool LaunchAddress(const char16_t* file, const char16_t* parameters);

// Adds every TrueType or device font family of the screen once (no vertical
// "@" variants) and selects the entry equal to `currentFace`.
void FillFontList(HWND comboBox, const char16_t* currentFace);

// Orders two list-view items by their texts (column 0) the way the shell
// orders file names: runs of digits compare by value, so file2 < file10.
int CompareListTexts(HWND listView, int itemA, int itemB);
// The same as a sort callback for LVM_SORTITEMSEX (lParamSort = the list view).
int CALLBACK CompareListTextsCallback(LPARAM itemA, LPARAM itemB, LPARAM listView);

}  // namespace qdx::app
