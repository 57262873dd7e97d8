#pragma once
// The system side of the reader plug-ins: loading a plug-in library, calling
// its exports, the memory blocks it hands back, and the ANSI texts it speaks.
//
// Every call into a plug-in runs under a fault guard: an access violation,
// a division by zero, a stack overflow or another processor fault raised
// inside the plug-in makes that call fail instead of ending the program. A
// library that faulted is never unloaded (its own clean-up code could fault
// again, or hold the loader lock when it does); it stays mapped until the
// program ends.
//
// Only Windows has such plug-ins. Elsewhere no library loads and a folder
// lists no plug-in, so the bridge finds none.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/os/plugin_interface.h"

namespace qdx {

class WideString;

namespace os {

#if defined(_WIN32)
inline constexpr bool kHasPluginHost = true;
#else
inline constexpr bool kHasPluginHost = false;
#endif

// The path handed to a plug-in: ANSI bytes with a NUL, at most this long.
inline constexpr uint32_t kPluginPathBytes = 260;

// A movable local-memory block a plug-in allocated and handed over. Owned:
// unlocked and freed when the owner goes.
class PluginMemoryBlock {
public:
    PluginMemoryBlock() = default;
    PluginMemoryBlock(const PluginMemoryBlock&) = delete;
    PluginMemoryBlock& operator=(const PluginMemoryBlock&) = delete;
    PluginMemoryBlock(PluginMemoryBlock&& other) noexcept;
    PluginMemoryBlock& operator=(PluginMemoryBlock&& other) noexcept;
    ~PluginMemoryBlock() { Release(); }

    // Takes ownership of a block handle (null is allowed: an empty owner).
    void Adopt(void* handle);
    // Locks the block and returns its first byte and its size; null when it
    // cannot be locked.
    const uint8_t* Lock(size_t& size);
    void Release();

private:
    void* handle_ = nullptr;
    const uint8_t* locked_ = nullptr;
};

// A loaded plug-in library. Owned: unloaded when the owner goes, unless a
// call into it faulted.
class PluginLibrary {
public:
    PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    PluginLibrary(PluginLibrary&& other) noexcept;
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    ~PluginLibrary() { Unload(); }

    bool Faulted() const { return faulted_; }
    void Unload();

    // Each call below fails (0, false) when the export is missing, when the
    // library is not loaded or has faulted before, and when the call faults.
    bool HasExport(const char* name) const;
    // Number of characters stored into `text` (size bytes, NUL-terminated).
    int32_t GetPluginInfo(int32_t number, char* text, int32_t size);
    // `header` points to kPluginHeaderBytes bytes of the file, from the header offset on.
    bool IsSupported(const char* path, const uint8_t* header);
    // Zero-fills `info`, calls with flag 0 and takes the result; a set text
    // handle is released before returning. True when the plug-in returned 0.
    bool GetPictureInfo(const char* path, int32_t offset, PluginPictureInfo& info);
    // Calls with flag 0 and a progress callback that always lets the plug-in
    // go on. True when it returned 0; the two blocks are adopted either way.
    bool GetPicture(const char* path, int32_t offset, PluginMemoryBlock& information, PluginMemoryBlock& pixels);
    // Calls ConfigurationDlg(parent, 1).
    bool OpenConfiguration(intptr_t parentWindow);

    friend bool LoadPluginLibrary(const char16_t* path, PluginLibrary& library);

private:
    void* Export(const char* name) const;

    void* module_ = nullptr;
    bool faulted_ = false;
};

// Loads the library at `path` (closing what `library` held). The library's
// own start-up code runs under the system loader's protection, not ours.
bool LoadPluginLibrary(const char16_t* path, PluginLibrary& library);

// Names (not paths) of the files in `folder` matching `pattern` ("*.spi"),
// in the order the file system lists them. Folders are left out. Empty when
// the folder does not exist, and always empty where there are no plug-ins.
std::vector<WideString> ListPluginFiles(const WideString& folder, const char16_t* pattern);

// `path` in the system's ANSI code page with a NUL, into `out` of
// kPluginPathBytes bytes. False when a character has no exact ANSI form or
// the result does not fit.
bool PathToAnsi(const char16_t* path, char* out);

// Appends an ANSI text (NUL-terminated) converted from the system's code page.
bool AppendAnsi(WideString& out, const char* text);

}  // namespace os
}  // namespace qdx
