// The OS layer on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "core/os/os.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

const wchar_t* W(const char16_t* path) { return reinterpret_cast<const wchar_t*>(path ? path : u""); }
HANDLE H(const File& file) { return reinterpret_cast<HANDLE>(file.Native()); }

HANDLE g_privateHeap = nullptr;

bool OpenWith(const char16_t* path, DWORD access, DWORD share, DWORD disposition, File& file) {
    file.Close();
    HANDLE handle = ::CreateFileW(W(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    file = File(reinterpret_cast<intptr_t>(handle));
    return true;
}

DWORD Attributes(const char16_t* path) { return ::GetFileAttributesW(W(path)); }

}  // namespace

void File::Close() {
    if (native_ != kInvalid) ::CloseHandle(reinterpret_cast<HANDLE>(native_));
    native_ = kInvalid;
}

bool OpenForReadShared(const char16_t* path, File& file) {
    return OpenWith(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, file);
}
bool OpenReadWriteExclusive(const char16_t* path, File& file) {
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, file);
}
bool CreateForWrite(const char16_t* path, File& file) {
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, file);
}
bool CreateNewForWrite(const char16_t* path, File& file) {
    return OpenWith(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, file);
}
bool OpenLockFile(const char16_t* path, File& file) {
    if (!OpenWith(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, file))
        return false;
    OVERLAPPED whole{};
    if (::LockFileEx(H(file), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) return true;
    file.Close();
    return false;
}

uint32_t Read(File& file, void* buffer, uint32_t size) {
    if (!file.IsOpen()) return 0;
    uint32_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < size) {
        DWORD n = 0;
        if (!::ReadFile(H(file), out + done, size - done, &n, nullptr) || n == 0) break;
        done += n;
    }
    return done;
}

bool WriteAll(File& file, const void* data, uint32_t size) {
    if (!file.IsOpen()) return false;
    uint32_t done = 0;
    const auto* in = static_cast<const uint8_t*>(data);
    while (done < size) {
        DWORD n = 0;
        if (!::WriteFile(H(file), in + done, size - done, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

bool SeekTo(File& file, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    return file.IsOpen() && ::SetFilePointerEx(H(file), to, nullptr, FILE_BEGIN);
}

bool SeekToEnd(File& file, uint64_t* newOffset) {
    LARGE_INTEGER zero{}, at{};
    if (!file.IsOpen() || !::SetFilePointerEx(H(file), zero, &at, FILE_END)) return false;
    if (newOffset) *newOffset = uint64_t(at.QuadPart);
    return true;
}

bool TruncateHere(File& file) { return file.IsOpen() && ::SetEndOfFile(H(file)); }

bool FileSize(File& file, uint64_t& size) {
    LARGE_INTEGER value;
    if (!file.IsOpen() || !::GetFileSizeEx(H(file), &value)) return false;
    size = uint64_t(value.QuadPart);
    return true;
}

bool FlushToDisk(File& file) { return file.IsOpen() && ::FlushFileBuffers(H(file)); }

bool LastWriteTime(File& file, uint64_t& fileTime) {
    FILETIME written;
    if (!file.IsOpen() || !::GetFileTime(H(file), nullptr, nullptr, &written)) return false;
    fileTime = (uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return true;
}

void MappedView::Unmap() {
    if (data_) ::UnmapViewOfFile(data_);
    if (mapping_) ::CloseHandle(reinterpret_cast<HANDLE>(mapping_));
    data_ = nullptr;
    size_ = 0;
    mapping_ = 0;
}

bool MapWholeFile(File& file, uint64_t size, MappedView& view) {
    view.Unmap();
    if (!file.IsOpen() || size == 0) return false;
    HANDLE mapping = ::CreateFileMappingW(H(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) return false;
    void* base = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!base) {
        ::CloseHandle(mapping);
        return false;
    }
    view.data_ = static_cast<const uint8_t*>(base);
    view.size_ = size;
    view.mapping_ = reinterpret_cast<intptr_t>(mapping);
    return true;
}

bool CreatePrivateHeap() {
    if (!g_privateHeap) g_privateHeap = ::HeapCreate(0, 16 * 1024, 0);
    return g_privateHeap != nullptr;
}

void DestroyPrivateHeap() {
    if (g_privateHeap) ::HeapDestroy(g_privateHeap);
    g_privateHeap = nullptr;
}

void* PrivateAlloc(size_t size) {
    if (!CreatePrivateHeap()) return nullptr;
    return ::HeapAlloc(g_privateHeap, HEAP_ZERO_MEMORY, size ? size : 1);
}

void* PrivateAllocForOverwrite(size_t size) {
    if (!CreatePrivateHeap()) return nullptr;
    return ::HeapAlloc(g_privateHeap, 0, size ? size : 1);
}

void* PrivateRealloc(void* block, size_t size) {
    if (!block) return PrivateAlloc(size);
    return ::HeapReAlloc(g_privateHeap, HEAP_ZERO_MEMORY, block, size ? size : 1);
}

void PrivateFree(void* block) {
    if (block && g_privateHeap) ::HeapFree(g_privateHeap, 0, block);
}

void* ProcessHeapAlloc(size_t size) { return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1); }
void* ProcessHeapRealloc(void* block, size_t size) {
    if (!block) return ProcessHeapAlloc(size);
    return ::HeapReAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, block, size ? size : 1);
}
void ProcessHeapFree(void* block) {
    if (block) ::HeapFree(::GetProcessHeap(), 0, block);
}

bool PathExists(const char16_t* path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
bool FileExists(const char16_t* path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
bool FolderExists(const char16_t* path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool CreateFolder(const char16_t* path) { return ::CreateDirectoryW(W(path), nullptr); }
bool RemoveFolder(const char16_t* path) { return ::RemoveDirectoryW(W(path)); }
bool RemoveFile(const char16_t* path) { return ::DeleteFileW(W(path)); }
bool CopyFileNoReplace(const char16_t* from, const char16_t* to) { return ::CopyFileW(W(from), W(to), TRUE); }

bool ReplaceFileAtomically(const char16_t* replacement, const char16_t* target) {
    return ::MoveFileExW(W(replacement), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool TemporaryFolder(WideString& folder) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return false;
    return folder.Assign(reinterpret_cast<const char16_t*>(buffer));
}

uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
}

bool CreateTemporaryFile(const WideString& folder, WideString& path) {
    wchar_t buffer[MAX_PATH];
    if (!::GetTempFileNameW(W(folder.Text()), L"tmp", 0, buffer)) return false;
    return path.Assign(reinterpret_cast<const char16_t*>(buffer));
}

bool ExecutablePath(WideString& path) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return false;
    return path.Assign(reinterpret_cast<const char16_t*>(buffer));
}

bool CurrentDirectory(WideString& path) {
    const DWORD need = ::GetCurrentDirectoryW(0, nullptr);
    if (need == 0) return false;
    char16_t* out = path.ReserveForWriting(need);
    if (!out || ::GetCurrentDirectoryW(need, reinterpret_cast<wchar_t*>(out)) == 0) return false;
    path.RecomputeLength();
    return true;
}

bool StandardErrorIsTerminal() {
    const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    return handle && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_CHAR;
}

bool ChangeCurrentDirectory(const char16_t* path) { return ::SetCurrentDirectoryW(W(path)); }

bool MenuFontFace(WideString& face) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
    // The face name array need not be terminated when it is full.
    const wchar_t* name = metrics.lfMenuFont.lfFaceName;
    uint32_t n = 0;
    while (n < LF_FACESIZE && name[n]) ++n;
    face.Clear();
    return face.Append(reinterpret_cast<const char16_t*>(name), n);
}

void NotifyShell(ShellChange change, const char16_t* path) {
    LONG event = SHCNE_UPDATEDIR;
    if (change == ShellChange::FolderCreated) event = SHCNE_MKDIR;
    if (change == ShellChange::FolderRemoved) event = SHCNE_RMDIR;
    ::SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSHNOWAIT, W(path), nullptr);
}

HalftoneDevice& HalftoneDevice::operator=(HalftoneDevice&& other) noexcept {
    if (this != &other) {
        Close();
        native_ = other.native_;
        other.native_ = 0;
    }
    return *this;
}

bool HalftoneDevice::Create() {
    Close();
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (!dc) return false;
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);  // the halftone mode requires the origin to be set after it
    native_ = reinterpret_cast<intptr_t>(dc);
    return true;
}

void HalftoneDevice::Close() {
    if (native_) ::DeleteDC(reinterpret_cast<HDC>(native_));
    native_ = 0;
}

bool HalftoneDevice::Stretch(const void* sourceInfo, const uint8_t* sourcePixels, int32_t sourceWidth,
                             int32_t sourceHeight, uint8_t* target, int32_t targetWidth, int32_t targetHeight,
                             uint32_t targetBytes) {
    if (!native_ || !sourceInfo || !sourcePixels || !target) return false;
    HDC dc = reinterpret_cast<HDC>(native_);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = targetWidth;
    info.bmiHeader.biHeight = targetHeight;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        if (section) ::DeleteObject(section);
        return false;
    }
    HGDIOBJ previous = ::SelectObject(dc, section);
    const int lines = ::StretchDIBits(dc, 0, 0, targetWidth, targetHeight, 0, 0, sourceWidth, sourceHeight,
                                      sourcePixels, static_cast<const BITMAPINFO*>(sourceInfo), DIB_RGB_COLORS,
                                      SRCCOPY);
    ::GdiFlush();
    // A stretch that drew nothing would leave a black picture behind: report it.
    const bool drawn = lines != 0 && lines != int(GDI_ERROR);
    if (drawn) std::memcpy(target, bits, targetBytes);
    ::SelectObject(dc, previous);
    ::DeleteObject(section);
    return drawn;
}

}  // namespace qdx::os
