#include <windows.h>
#include <shlwapi.h>

#include "core/os/folder_list.h"
#include "core/os/path_edit.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

// The owned search handle.
struct FolderSearch {
    HANDLE handle;
    FolderSearch(const wchar_t* pattern, WIN32_FIND_DATAW& data)
        : handle(::FindFirstFileExW(pattern, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0)) {}
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;
    ~FolderSearch() {
        if (handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
    }
};

EntryKind KindOf(const WIN32_FIND_DATAW& data) {
    const DWORD a = data.dwFileAttributes;
    // Symbolic links and junctions are reparse points: never followed.
    if (a & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE))
        return EntryKind::Skipped;
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

}  // namespace

bool ListFolder(const char16_t* folder, FolderVisitor visit, void* context) {
    WideString pattern;
    if (!folder || !*folder || !pattern.Assign(folder)) return false;
    if (!EndsWithSeparator(pattern) && !pattern.Append(u'\\')) return false;
    if (!pattern.Append(u"*")) return false;
    WIN32_FIND_DATAW data{};
    FolderSearch search(reinterpret_cast<const wchar_t*>(pattern.Text()), data);
    if (search.handle == INVALID_HANDLE_VALUE) return false;
    do {
        const wchar_t* name = data.cFileName;
        if ((name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0)) continue;
        if (!visit(context, reinterpret_cast<const char16_t*>(name), KindOf(data))) return false;
    } while (::FindNextFileW(search.handle, &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

int CompareNamesLogically(const char16_t* a, const char16_t* b) {
    return ::StrCmpLogicalW(reinterpret_cast<const wchar_t*>(a), reinterpret_cast<const wchar_t*>(b));
}

}  // namespace qdx::os
