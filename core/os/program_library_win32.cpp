// Loading libraries from the program's own folder on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "core/os/os.h"
#include "core/os/program_library.h"
#include "core/os/path_edit.h"
#include "core/os/wide_string.h"

namespace qdx::os {

ProgramLibrary& ProgramLibrary::operator=(ProgramLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        module_ = other.module_;
        other.module_ = nullptr;
    }
    return *this;
}

void ProgramLibrary::Unload() {
    if (module_) ::FreeLibrary(static_cast<HMODULE>(module_));
    module_ = nullptr;
}

void* ProgramLibrary::Symbol(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module_), name));
}

namespace {

bool PathBesideProgram(const char16_t* fileName, WideString& path) {
    if (!ExecutablePath(path)) return false;
    KeepFolder(path);  // the program's folder
    return !path.IsEmpty() && AppendPathComponent(path, fileName);
}

}  // namespace

bool FileBesideProgram(const char16_t* fileName) {
    WideString path;
    return PathBesideProgram(fileName, path) && FileExists(path.Text());
}

bool LoadBesideProgram(const char16_t* fileName, ProgramLibrary& library) {
    library.Unload();
    WideString path;
    if (!PathBesideProgram(fileName, path) || !FileExists(path.Text())) return false;
    // The full path, and only the library's own folder and the system folder
    // for what it imports: never the current folder or PATH.
    HMODULE module = ::LoadLibraryExW(reinterpret_cast<const wchar_t*>(path.Text()), nullptr,
                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    library.module_ = module;
    return module != nullptr;
}

}  // namespace qdx::os
