#pragma once
// The operating-system layer: everything the engine needs from the system.
// One header, two implementations (os_win32.cpp, os_posix.cpp). Nothing else
// in core/, codecs/ or scale/ talks to the system directly.
//
// Paths are NUL-terminated UTF-16 texts on both platforms; on POSIX they are
// converted to UTF-8 at this boundary.
#include <cstddef>
#include <cstdint>

namespace qdx {

class WideString;

namespace os {

#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// A native file handle (a HANDLE on Windows, a descriptor on POSIX), owned.
class File {
public:
    static constexpr intptr_t kInvalid = -1;

    File() = default;
    explicit File(intptr_t native) : native_(native) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : native_(other.native_) { other.native_ = kInvalid; }
    File& operator=(File&& other) noexcept;
    ~File() { Close(); }

    bool IsOpen() const { return native_ != kInvalid; }
    intptr_t Native() const { return native_; }
    void Close();

private:
    intptr_t native_ = kInvalid;
};

// Opening. Every function closes whatever `file` held before.
bool OpenForReadShared(const char16_t* path, File& file);      // must exist; others may read too
bool OpenReadWriteExclusive(const char16_t* path, File& file);  // no sharing; created when absent
bool CreateForWrite(const char16_t* path, File& file);          // created, or truncated when present (never
                                                                // through a symbolic link, natively)
bool CreateNewForWrite(const char16_t* path, File& file);       // fails when the file exists
// A lock file, created when absent: waits until no other process holds it,
// then holds it until `file` is closed.
bool OpenLockFile(const char16_t* path, File& file);

// Reading and writing. Read/Write return the byte count moved (0 on failure).
uint32_t Read(File& file, void* buffer, uint32_t size);
bool ReadExact(File& file, void* buffer, uint32_t size);
bool WriteAll(File& file, const void* data, uint32_t size);
bool SeekTo(File& file, uint64_t offset);
bool SeekToEnd(File& file, uint64_t* newOffset);
bool TruncateHere(File& file);  // end of file at the current position
bool FileSize(File& file, uint64_t& size);
bool FlushToDisk(File& file);
// Last-write time as a FILETIME value: 100-ns intervals since 1601-01-01 UTC.
bool LastWriteTime(File& file, uint64_t& fileTime);

// A read-only view of a whole file, owned (view unmapped, mapping closed).
class MappedView {
public:
    MappedView() = default;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    MappedView(MappedView&& other) noexcept;
    MappedView& operator=(MappedView&& other) noexcept;
    ~MappedView() { Unmap(); }

    const uint8_t* Data() const { return data_; }
    uint64_t Size() const { return size_; }
    void Unmap();

    // Map the whole open file (of the given non-zero size) read-only.
    friend bool MapWholeFile(File& file, uint64_t size, MappedView& view);

private:
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    intptr_t mapping_ = 0;  // mapping handle on Windows; unused on POSIX
};
bool MapWholeFile(File& file, uint64_t size, MappedView& view);

// Pixel buffers: whole pages from the virtual-memory allocator, zero-filled,
// reserved and committed in one call; returned by decommit-and-release.
void* AllocatePixels(size_t size);
// The same without the zero fill, for a caller that writes every byte before
// it is read: a buffer kept from an earlier picture still holds that
// picture. Freed with FreePixels.
void* AllocatePixelsForOverwrite(size_t size);
void FreePixels(void* pixels);
// Returns the freed buffers a batch kept for reuse (a few large ones are kept
// between pictures).
void ReleaseKeptPixels();

// The private heap for codec working buffers and small records. Blocks are
// zero-filled. The heap is created at start-up; allocating before that
// creates it on demand (tests and the command line).
bool CreatePrivateHeap();
void DestroyPrivateHeap();
void* PrivateAlloc(size_t size);
// A block whose every byte the caller writes before reading (a file read
// whole): not cleared first. Freed with PrivateFree.
void* PrivateAllocForOverwrite(size_t size);
void* PrivateRealloc(void* block, size_t size);  // new bytes are zero-filled
void PrivateFree(void* block);

// The process's default heap, for WideString buffers (zero-filled).
void* ProcessHeapAlloc(size_t size);
void* ProcessHeapRealloc(void* block, size_t size);  // new bytes zero-filled
void ProcessHeapFree(void* block);

// Files and folders.
bool PathExists(const char16_t* path);
bool FileExists(const char16_t* path);    // exists and is not a folder
bool FolderExists(const char16_t* path);  // exists and is a folder
bool CreateFolder(const char16_t* path);  // one level
bool RemoveFolder(const char16_t* path);  // empty folder only
bool RemoveFile(const char16_t* path);
// Copies `from` to `to`; fails, replacing nothing, when `to` already exists.
bool CopyFileNoReplace(const char16_t* from, const char16_t* to);
// Replaces `target` with `replacement` in one step; the old target stays
// whole until the new one is in place. `replacement` is consumed.
bool ReplaceFileAtomically(const char16_t* replacement, const char16_t* target);

// The system's temporary folder (without trailing separator on POSIX; as the
// system gives it on Windows). Fails when it is empty or longer than 260 units.
bool TemporaryFolder(WideString& folder);
// Creates a new, empty, uniquely named file with the prefix "tmp" in `folder`,
// exclusively (it fails rather than open a file or link that is there).
bool CreateTemporaryFile(const WideString& folder, WideString& path);

// Physical memory of the machine in bytes (0 when the system does not say).
uint64_t PhysicalMemoryBytes();

// Full path of the running executable.
bool ExecutablePath(WideString& path);
bool CurrentDirectory(WideString& path);
bool ChangeCurrentDirectory(const char16_t* path);
// True when standard error is a terminal (a console on Windows).
bool StandardErrorIsTerminal();

// Halftone stretching through the system's graphics layer. Only Windows has
// one; elsewhere kHasHalftoneStretch is false and Create always fails.
#if defined(_WIN32)
inline constexpr bool kHasHalftoneStretch = true;
#else
inline constexpr bool kHasHalftoneStretch = false;
#endif

// A memory device context compatible with the screen, set to the halftone
// stretch mode with the brush origin at 0, 0. Owned: deleted on Close.
class HalftoneDevice {
public:
    HalftoneDevice() = default;
    HalftoneDevice(const HalftoneDevice&) = delete;
    HalftoneDevice& operator=(const HalftoneDevice&) = delete;
    HalftoneDevice(HalftoneDevice&& other) noexcept : native_(other.native_) { other.native_ = 0; }
    HalftoneDevice& operator=(HalftoneDevice&& other) noexcept;
    ~HalftoneDevice() { Close(); }

    bool Create();  // false when the system has no such device
    bool IsOpen() const { return native_ != 0; }
    void Close();

    // Stretches a whole 24-bit bottom-up source picture (described by
    // `sourceInfo`, a BITMAPINFOHEADER followed by its colour table) onto a
    // fresh target of targetWidth x targetHeight and copies the target's rows
    // (stride x height bytes) into `target`. False when the device is closed,
    // the target bitmap cannot be made or the stretch fails.
    bool Stretch(const void* sourceInfo, const uint8_t* sourcePixels, int32_t sourceWidth, int32_t sourceHeight,
                 uint8_t* target, int32_t targetWidth, int32_t targetHeight, uint32_t targetBytes);

private:
    intptr_t native_ = 0;  // HDC on Windows
};

// Face name of the system's menu font (from the non-client metrics). There is
// no such setting on POSIX; there it is "Segoe UI", the face Windows uses for
// its menus, so a settings file written natively names a font Windows has.
bool MenuFontFace(WideString& face);

// Shell change notifications (nothing happens on POSIX).
enum class ShellChange { FolderCreated, FolderUpdated, FolderRemoved };
void NotifyShell(ShellChange change, const char16_t* path);

}  // namespace os
}  // namespace qdx
