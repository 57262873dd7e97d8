// Reader plug-ins on Windows: libraries, guarded calls, local-memory blocks
// and ANSI texts.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <utility>

#include "core/os/fault_guard_win32.h"
#include "core/os/path_edit.h"
#include "core/os/plugin_host.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

// The exports, as 64-bit plug-ins declare them.
using GetPluginInfoFunction = int(WINAPI*)(int number, LPSTR text, int size);
using IsSupportedFunction = int(WINAPI*)(LPCSTR path, void* header);
using GetPictureInfoFunction = int(WINAPI*)(LPCSTR path, LONG_PTR offset, unsigned flag, PluginPictureInfo* info);
using ProgressFunction = int(WINAPI*)(int step, int total, LONG_PTR userData);
using GetPictureFunction = int(WINAPI*)(LPCSTR path, LONG_PTR offset, unsigned flag, HANDLE* information,
                                        HANDLE* pixels, ProgressFunction progress, LONG_PTR userData);
using ConfigurationFunction = int(WINAPI*)(HWND parent, int function);


int WINAPI KeepGoing(int, int, LONG_PTR) { return 0; }

HMODULE M(void* module) { return static_cast<HMODULE>(module); }

}  // namespace

// ---- memory blocks ------------------------------------------------------------

PluginMemoryBlock::PluginMemoryBlock(PluginMemoryBlock&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), locked_(std::exchange(other.locked_, nullptr)) {}

PluginMemoryBlock& PluginMemoryBlock::operator=(PluginMemoryBlock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, nullptr);
        locked_ = std::exchange(other.locked_, nullptr);
    }
    return *this;
}

void PluginMemoryBlock::Adopt(void* handle) {
    Release();
    handle_ = handle;
}

const uint8_t* PluginMemoryBlock::Lock(size_t& size) {
    size = 0;
    if (!handle_) return nullptr;
    if (!locked_) locked_ = static_cast<const uint8_t*>(::LocalLock(static_cast<HLOCAL>(handle_)));
    if (locked_) size = ::LocalSize(static_cast<HLOCAL>(handle_));
    return locked_;
}

void PluginMemoryBlock::Release() {
    if (!handle_) return;
    if (locked_) ::LocalUnlock(static_cast<HLOCAL>(handle_));
    ::LocalFree(static_cast<HLOCAL>(handle_));
    handle_ = nullptr;
    locked_ = nullptr;
}

// ---- libraries ----------------------------------------------------------------

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : module_(std::exchange(other.module_, nullptr)), faulted_(std::exchange(other.faulted_, false)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        module_ = std::exchange(other.module_, nullptr);
        faulted_ = std::exchange(other.faulted_, false);
    }
    return *this;
}

void PluginLibrary::Unload() {
    // A library that faulted keeps its mapping: its detach code is not to be
    // trusted with the loader lock held.
    if (module_ && !faulted_) ::FreeLibrary(M(module_));
    module_ = nullptr;
    faulted_ = false;
}

bool LoadPluginLibrary(const char16_t* path, PluginLibrary& library) {
    library.Unload();
    // No "missing DLL" boxes from the system for a plug-in's own dependencies.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Its dependencies come from its own folder and the system's, never from
    // the current folder; systems that lack those flags refuse them and take
    // the plug-in's folder first instead. The plug-in's start-up code runs
    // here, under the fault guard like every other call into it.
    const auto* file = reinterpret_cast<const wchar_t*>(path);
    HMODULE module = nullptr;
    auto load = [&] {
        module = ::LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER)
            module = ::LoadLibraryExW(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    };
    const bool ran = RunGuarded(load);
    ::SetErrorMode(previous);
    // A start-up that faulted leaves whatever was mapped where it is.
    if (!ran) return false;
    library.module_ = module;
    return module != nullptr;
}

void* PluginLibrary::Export(const char* name) const {
    if (!module_ || faulted_) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(M(module_), name));
}

bool PluginLibrary::HasExport(const char* name) const { return Export(name) != nullptr; }

int32_t PluginLibrary::GetPluginInfo(int32_t number, char* text, int32_t size) {
    if (size <= 0) return 0;
    text[0] = 0;
    const auto function = reinterpret_cast<GetPluginInfoFunction>(Export("GetPluginInfo"));
    if (!function) return 0;
    int result = 0;
    auto call = [&] { result = function(number, text, size); };
    if (!RunGuarded(call)) {
        faulted_ = true;
        text[0] = 0;
        return 0;
    }
    text[size - 1] = 0;
    const auto stored = static_cast<int32_t>(std::strlen(text));
    return result <= 0 ? 0 : (result < stored ? result : stored);
}

bool PluginLibrary::IsSupported(const char* path, const uint8_t* header) {
    const auto function = reinterpret_cast<IsSupportedFunction>(Export("IsSupported"));
    if (!function) return false;
    int result = 0;
    auto call = [&] { result = function(path, const_cast<uint8_t*>(header)); };
    if (!RunGuarded(call)) {
        faulted_ = true;
        return false;
    }
    return result != 0;
}

bool PluginLibrary::GetPictureInfo(const char* path, int32_t offset, PluginPictureInfo& info) {
    std::memset(&info, 0, sizeof info);
    const auto function = reinterpret_cast<GetPictureInfoFunction>(Export("GetPictureInfo"));
    if (!function) return false;
    int result = -1;
    auto call = [&] { result = function(path, offset, kPluginInputFile, &info); };
    if (!RunGuarded(call)) {
        faulted_ = true;
        return false;
    }
    if (result != kPluginSuccess) return false;
    if (info.textHandle) ::GlobalFree(static_cast<HGLOBAL>(info.textHandle));
    info.textHandle = nullptr;
    return true;
}

bool PluginLibrary::GetPicture(const char* path, int32_t offset, PluginMemoryBlock& information,
                               PluginMemoryBlock& pixels) {
    const auto function = reinterpret_cast<GetPictureFunction>(Export("GetPicture"));
    if (!function) return false;
    HANDLE informationHandle = nullptr;
    HANDLE pixelHandle = nullptr;
    int result = -1;
    auto call = [&] {
        result = function(path, offset, kPluginInputFile, &informationHandle, &pixelHandle, KeepGoing, 0);
    };
    if (!RunGuarded(call)) {
        // Whatever the plug-in handed out before it faulted is not trusted.
        faulted_ = true;
        return false;
    }
    information.Adopt(informationHandle);
    pixels.Adopt(pixelHandle);
    return result == kPluginSuccess;
}

bool PluginLibrary::OpenConfiguration(intptr_t parentWindow) {
    const auto function = reinterpret_cast<ConfigurationFunction>(Export("ConfigurationDlg"));
    if (!function) return false;
    int result = -1;
    auto call = [&] { result = function(reinterpret_cast<HWND>(parentWindow), kPluginConfigureSettings); };
    if (!RunGuarded(call)) {
        faulted_ = true;
        return false;
    }
    return result == kPluginSuccess;
}

// ---- folders and texts --------------------------------------------------------

std::vector<WideString> ListPluginFiles(const WideString& folder, const char16_t* pattern) {
    std::vector<WideString> names;
    if (folder.IsEmpty()) return names;
    WideString search;
    SetFolderPlusName(search, folder.Text(), pattern);
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(reinterpret_cast<const wchar_t*>(search.Text()), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        names.emplace_back(reinterpret_cast<const char16_t*>(found.cFileName));
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
}

bool PathToAnsi(const char16_t* path, char* out) {
    out[0] = 0;
    const auto* wide = reinterpret_cast<const wchar_t*>(path ? path : u"");
    const UINT codePage = ::GetACP();
    int written = 0;
    if (codePage == CP_UTF8) {
        // UTF-8 takes no default character; ill-formed UTF-16 fails instead.
        written = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, out, kPluginPathBytes, nullptr,
                                        nullptr);
    } else {
        BOOL usedDefault = FALSE;
        written = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, -1, out, kPluginPathBytes, nullptr,
                                        &usedDefault);
        if (usedDefault) written = 0;
    }
    if (written <= 0) out[0] = 0;
    return written > 0;
}

bool AppendAnsi(WideString& out, const char* text) {
    if (!text || !text[0]) return true;
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return false;
    WideString converted;
    char16_t* buffer = converted.ReserveForWriting(uint32_t(length));
    if (!buffer) return false;
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(buffer), length);
    converted.RecomputeLength();
    return out.Append(converted);
}

}  // namespace qdx::os
