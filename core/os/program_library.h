#pragma once
// Libraries the program loads at run time from its own folder, by full path:
// never through the search path, so a file of the same name elsewhere (the
// current folder, PATH) is never picked up. The libraries such a library
// needs are looked for beside it and in the system folder only.
//
// Only Windows loads libraries this way; elsewhere Load always fails.
#include <cstdint>

namespace qdx::os {

// A library loaded beside the program. Owned: unloaded when the owner goes.
class ProgramLibrary {
public:
    ProgramLibrary() = default;
    ProgramLibrary(const ProgramLibrary&) = delete;
    ProgramLibrary& operator=(const ProgramLibrary&) = delete;
    ProgramLibrary(ProgramLibrary&& other) noexcept : module_(other.module_) { other.module_ = nullptr; }
    ProgramLibrary& operator=(ProgramLibrary&& other) noexcept;
    ~ProgramLibrary() { Unload(); }

    bool IsLoaded() const { return module_ != nullptr; }
    void Unload();
    // The address of an export, or null.
    void* Symbol(const char* name) const;

    // Loads `fileName` (a bare file name) from the folder of the running
    // executable, closing what `library` held. False when the file is not
    // there or does not load (a library it needs is missing, or it is not a
    // library for this machine).
    friend bool LoadBesideProgram(const char16_t* fileName, ProgramLibrary& library);

private:
    void* module_ = nullptr;
};

bool LoadBesideProgram(const char16_t* fileName, ProgramLibrary& library);

// Whether a file of that name lies in the folder of the running executable.
bool FileBesideProgram(const char16_t* fileName);

}  // namespace qdx::os
