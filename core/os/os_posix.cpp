// The OS layer on POSIX systems (the native build: tests, fuzzing, command line).
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

std::string Narrow(const char16_t* path) { return ToUtf8(path ? path : u""); }

int Fd(const File& file) { return static_cast<int>(file.Native()); }

// Seconds and nanoseconds since 1970 on the FILETIME scale (100 ns since 1601).
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

bool OpenWith(const char16_t* path, int flags, File& file) {
    file.Close();
    const std::string narrow = Narrow(path);
    if (narrow.empty()) return false;
    int fd;
    // Without blocking, so that a named pipe given for a picture cannot hold
    // the program waiting for a writer; only plain files are taken.
    do {
        fd = ::open(narrow.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat info;
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || status < 0 ||
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    file = File(fd);
    return true;
}

}  // namespace

void File::Close() {
    if (native_ != kInvalid) ::close(static_cast<int>(native_));
    native_ = kInvalid;
}

bool OpenForReadShared(const char16_t* path, File& file) { return OpenWith(path, O_RDONLY, file); }
bool OpenReadWriteExclusive(const char16_t* path, File& file) {
    if (!OpenWith(path, O_RDWR | O_CREAT, file)) return false;
    // Advisory only, but keeps two instances of the program from interleaving.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(Fd(file), F_SETLK, &lock) != 0) {
        file.Close();
        return false;
    }
    return true;
}
// A symbolic link found where an output is to go is never followed.
bool CreateForWrite(const char16_t* path, File& file) {
    return OpenWith(path, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW, file);
}
bool CreateNewForWrite(const char16_t* path, File& file) { return OpenWith(path, O_RDWR | O_CREAT | O_EXCL, file); }
bool OpenLockFile(const char16_t* path, File& file) {
    if (!OpenWith(path, O_RDWR | O_CREAT | O_NOFOLLOW, file)) return false;
    int status;
    do {
        status = ::flock(Fd(file), LOCK_EX);
    } while (status != 0 && errno == EINTR);
    if (status == 0) return true;
    file.Close();
    return false;
}

uint32_t Read(File& file, void* buffer, uint32_t size) {
    if (!file.IsOpen()) return 0;
    uint32_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < size) {
        const ssize_t n = ::read(Fd(file), out + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += uint32_t(n);
    }
    return done;
}

bool WriteAll(File& file, const void* data, uint32_t size) {
    if (!file.IsOpen()) return false;
    uint32_t done = 0;
    const auto* in = static_cast<const uint8_t*>(data);
    while (done < size) {
        const ssize_t n = ::write(Fd(file), in + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += uint32_t(n);
    }
    return true;
}

bool SeekTo(File& file, uint64_t offset) {
    return file.IsOpen() && ::lseek(Fd(file), off_t(offset), SEEK_SET) == off_t(offset);
}

bool SeekToEnd(File& file, uint64_t* newOffset) {
    if (!file.IsOpen()) return false;
    const off_t at = ::lseek(Fd(file), 0, SEEK_END);
    if (at < 0) return false;
    if (newOffset) *newOffset = uint64_t(at);
    return true;
}

bool TruncateHere(File& file) {
    if (!file.IsOpen()) return false;
    const off_t at = ::lseek(Fd(file), 0, SEEK_CUR);
    return at >= 0 && ::ftruncate(Fd(file), at) == 0;
}

bool FileSize(File& file, uint64_t& size) {
    struct stat info;
    if (!file.IsOpen() || ::fstat(Fd(file), &info) != 0) return false;
    size = uint64_t(info.st_size);
    return true;
}

bool FlushToDisk(File& file) { return file.IsOpen() && ::fsync(Fd(file)) == 0; }

bool LastWriteTime(File& file, uint64_t& fileTime) {
    struct stat info;
    if (!file.IsOpen() || ::fstat(Fd(file), &info) != 0) return false;
    const int64_t seconds = int64_t(info.st_mtim.tv_sec);
    const int64_t ticks = seconds * 10000000 + int64_t(info.st_mtim.tv_nsec / 100);
    fileTime = uint64_t(int64_t(kUnixEpochAsFileTime) + ticks);
    return true;
}

void MappedView::Unmap() {
    if (data_) ::munmap(const_cast<uint8_t*>(data_), size_t(size_));
    data_ = nullptr;
    size_ = 0;
    mapping_ = 0;
}

bool MapWholeFile(File& file, uint64_t size, MappedView& view) {
    view.Unmap();
    if (!file.IsOpen() || size == 0 || size > SIZE_MAX) return false;
    void* base = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, Fd(file), 0);
    if (base == MAP_FAILED) return false;
    view.data_ = static_cast<const uint8_t*>(base);
    view.size_ = size;
    return true;
}

// realloc does not know the old size, so blocks carry it for zero-filling.
namespace {
constexpr size_t kSizedHeader = 16;
void* SizedAlloc(size_t size) {
    if (size > SIZE_MAX - kSizedHeader) return nullptr;
    auto* base = static_cast<uint8_t*>(std::calloc(1, size + kSizedHeader));
    if (!base) return nullptr;
    std::memcpy(base, &size, sizeof size);
    return base + kSizedHeader;
}
void* SizedAllocForOverwrite(size_t size) {
    if (size > SIZE_MAX - kSizedHeader) return nullptr;
    auto* base = static_cast<uint8_t*>(std::malloc(size + kSizedHeader));
    if (!base) return nullptr;
    std::memcpy(base, &size, sizeof size);
    return base + kSizedHeader;
}
void* SizedRealloc(void* block, size_t size) {
    if (!block) return SizedAlloc(size);
    if (size > SIZE_MAX - kSizedHeader) return nullptr;
    uint8_t* base = static_cast<uint8_t*>(block) - kSizedHeader;
    size_t old;
    std::memcpy(&old, base, sizeof old);
    auto* grown = static_cast<uint8_t*>(std::realloc(base, size + kSizedHeader));
    if (!grown) return nullptr;
    if (size > old) std::memset(grown + kSizedHeader + old, 0, size - old);
    std::memcpy(grown, &size, sizeof size);
    return grown + kSizedHeader;
}
void SizedFree(void* block) {
    if (block) std::free(static_cast<uint8_t*>(block) - kSizedHeader);
}
}  // namespace

// Both heaps are the C heap here; the private heap needs no creation.
// Working buffers of a few megabytes (the JPEG library's coefficient and
// row buffers, made again for every file and every quality tried) stay in
// the heap when freed instead of going back to the system, so the next file
// reuses pages that are already there rather than faulting in fresh ones.
constexpr int kKeptBlockBytes = 64 << 20;

bool CreatePrivateHeap() {
    ::mallopt(M_MMAP_THRESHOLD, kKeptBlockBytes);
    ::mallopt(M_TRIM_THRESHOLD, kKeptBlockBytes);
    return true;
}
void DestroyPrivateHeap() {}
void* PrivateAlloc(size_t size) { return SizedAlloc(size); }
void* PrivateAllocForOverwrite(size_t size) { return SizedAllocForOverwrite(size); }
void* PrivateRealloc(void* block, size_t size) { return SizedRealloc(block, size); }
void PrivateFree(void* block) { SizedFree(block); }

void* ProcessHeapAlloc(size_t size) { return SizedAlloc(size); }
void* ProcessHeapRealloc(void* block, size_t size) { return SizedRealloc(block, size); }
void ProcessHeapFree(void* block) { SizedFree(block); }

bool PathExists(const char16_t* path) {
    struct stat info;
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::stat(narrow.c_str(), &info) == 0;
}

bool FileExists(const char16_t* path) {
    struct stat info;
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::stat(narrow.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const char16_t* path) {
    struct stat info;
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::stat(narrow.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolder(const char16_t* path) {
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::mkdir(narrow.c_str(), 0755) == 0;
}

bool RemoveFolder(const char16_t* path) {
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::rmdir(narrow.c_str()) == 0;
}

bool RemoveFile(const char16_t* path) {
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::unlink(narrow.c_str()) == 0;
}

bool CopyFileNoReplace(const char16_t* from, const char16_t* to) {
    File source, target;
    if (!OpenForReadShared(from, source)) return false;
    // O_EXCL makes the no-replace check and the creation one step.
    if (!CreateNewForWrite(to, target)) return false;
    static constexpr uint32_t kChunk = 1 << 16;
    auto* buffer = static_cast<uint8_t*>(std::malloc(kChunk));
    bool ok = buffer != nullptr;
    while (ok) {
        const uint32_t n = Read(source, buffer, kChunk);
        if (n == 0) break;
        ok = WriteAll(target, buffer, n);
    }
    std::free(buffer);
    target.Close();
    if (!ok) RemoveFile(to);
    return ok;
}

bool ReplaceFileAtomically(const char16_t* replacement, const char16_t* target) {
    const std::string from = Narrow(replacement), to = Narrow(target);
    if (from.empty() || to.empty() || ::rename(from.c_str(), to.c_str()) != 0) return false;
    // Make the rename itself durable.
    std::string folder = to;
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : folder.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

bool TemporaryFolder(WideString& folder) {
    const char* value = std::getenv("TMPDIR");
    if (!value || !*value) value = "/tmp";
    folder.Clear();
    if (!AppendUtf8(folder, value)) return false;
    while (folder.Length() > 1 && EndsWithSeparator(folder)) folder.Truncate(folder.Length() - 1);
    return folder.Length() > 0 && folder.Length() <= 260;
}

uint64_t PhysicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return uint64_t(pages) * uint64_t(pageSize);
}

bool CreateTemporaryFile(const WideString& folder, WideString& path) {
    WideString pattern;
    if (!SetFolderPlusName(pattern, folder.Text(), u"tmpXXXXXX") || pattern.IsEmpty()) return false;
    std::string narrow = Narrow(pattern.Text());
    const int fd = ::mkostemp(narrow.data(), O_CLOEXEC);  // O_EXCL, mode 0600
    if (fd < 0) return false;
    ::close(fd);
    path.Clear();
    return AppendUtf8(path, narrow.c_str());
}

bool ExecutablePath(WideString& path) {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return false;
    path.Clear();
    return AppendUtf8(path, buffer, size_t(n));
}

bool CurrentDirectory(WideString& path) {
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer)) return false;
    path.Clear();
    return AppendUtf8(path, buffer);
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool ChangeCurrentDirectory(const char16_t* path) {
    const std::string narrow = Narrow(path);
    return !narrow.empty() && ::chdir(narrow.c_str()) == 0;
}

bool MenuFontFace(WideString& face) { return face.Assign(u"Segoe UI"); }

void NotifyShell(ShellChange, const char16_t*) {}

// There is no halftone stretch without GDI: the device never opens.
HalftoneDevice& HalftoneDevice::operator=(HalftoneDevice&& other) noexcept {
    if (this != &other) {
        native_ = other.native_;
        other.native_ = 0;
    }
    return *this;
}
bool HalftoneDevice::Create() { return false; }
void HalftoneDevice::Close() { native_ = 0; }
bool HalftoneDevice::Stretch(const void*, const uint8_t*, int32_t, int32_t, uint8_t*, int32_t, int32_t, uint32_t) {
    return false;
}

}  // namespace qdx::os
