// Private temporary folders and staged outputs on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "core/os/private_file_slots.h"
#include "core/os/private_files.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

const wchar_t* W(const std::u16string& path) { return reinterpret_cast<const wchar_t*>(path.c_str()); }

// What to remove when the console closes or the session ends.
constexpr size_t kSlotPathUnits = MAX_PATH + 64;
PathSlots<wchar_t, kSlotPathUnits> g_slots;

void EmptyFolder(const wchar_t* folder) {
    std::wstring pattern = std::wstring(folder) + L"\\*";
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ::DeleteFileW((std::wstring(folder) + L"\\" + found.cFileName).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// Closing the console, logging off or shutting down gives the process a few
// seconds: the files go first, then the system's own handling goes on.
BOOL WINAPI OnConsoleEnds(DWORD event) {
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT ||
        event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        RemovePrivateFilesNow();
    return FALSE;
}

int Register(const std::u16string& path, SlotKind kind) {
    static std::once_flag once;
    std::call_once(once, [] { ::SetConsoleCtrlHandler(OnConsoleEnds, TRUE); });
    return g_slots.Register(W(path), path.size(), kind);
}

// A name no other process or earlier run of this one picks: the process id
// and a count; a name that exists anyway is skipped.
std::u16string UniqueName(const char16_t* prefix, const char16_t* ending) {
    static std::atomic<uint32_t> counter{0};
    const uint32_t n = counter.fetch_add(1) ^ (uint32_t(::GetTickCount64()) << 8);
    wchar_t digits[40];
    ::wsprintfW(digits, L"%lu-%08lx", static_cast<unsigned long>(::GetCurrentProcessId()),
                static_cast<unsigned long>(n));
    return std::u16string(prefix) + reinterpret_cast<const char16_t*>(digits) + ending;
}

std::u16string Joined(const char16_t* folder, const std::u16string& name) {
    std::u16string path(folder);
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    return path + name;
}

constexpr int kNameTries = 100;

}  // namespace

bool PrivateFolder::Create() {
    Remove();
    WideString system;
    if (!TemporaryFolder(system) || system.IsEmpty()) return false;
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::u16string path = Joined(system.Text(), UniqueName(u"Quillodex-", u""));
        if (::CreateDirectoryW(W(path), nullptr)) {
            path_ = path;
            slot_ = Register(path_, SlotKind::Folder);
            return true;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

void PrivateFolder::Remove() {
    if (path_.empty()) return;
    EmptyFolder(W(path_));
    ::RemoveDirectoryW(W(path_));
    g_slots.Unregister(slot_);
    path_.clear();
}

void RemovePrivateFilesNow() {
    g_slots.RemoveAll(
        [](const wchar_t* folder) {
            EmptyFolder(folder);
            ::RemoveDirectoryW(folder);
        },
        [](const wchar_t* file) { ::DeleteFileW(file); });
}

bool EmptyFile(const char16_t* path) {
    HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t*>(path ? path : u""), GENERIC_WRITE, 0, nullptr,
                                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(handle);
    return true;
}

// A hidden file with a unique name beside the output, created only when no
// file of that name exists. Others may not read or write it, but it may be
// deleted while open, so that the end of the session removes it at once.
bool StagedFile::Create(const char16_t* folder) {
    Discard();
    if (!folder || !*folder) return false;
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::u16string path = Joined(folder, UniqueName(u".quillodex-", u".tmp"));
        HANDLE handle = ::CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file_ = File(reinterpret_cast<intptr_t>(handle));
            hidden_ = path;
            slot_ = Register(hidden_, SlotKind::File);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

NameResult StagedFile::Name(const char16_t* target) {
    if (!target || !*target || hidden_.empty()) return NameResult::Failed;
    if (file_.IsOpen() && !FlushToDisk(file_)) return NameResult::Failed;
    file_.Close();
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists.
    const wchar_t* to = reinterpret_cast<const wchar_t*>(target);
    if (!::MoveFileExW(W(hidden_), to, MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? NameResult::Taken : NameResult::Failed;
    }
    ::SetFileAttributesW(to, FILE_ATTRIBUTE_NORMAL);
    hidden_.clear();
    g_slots.Unregister(slot_);
    return NameResult::Given;
}

void StagedFile::Discard() {
    file_.Close();
    if (!hidden_.empty()) ::DeleteFileW(W(hidden_));
    hidden_.clear();
    g_slots.Unregister(slot_);
}

}  // namespace qdx::os
