// Private temporary folders and staged outputs on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/os/private_file_slots.h"
#include "core/os/private_files.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

// What to remove when the process is ended from outside.
constexpr size_t kSlotPathBytes = 4096;
PathSlots<char, kSlotPathBytes> g_slots;

// Removes the entries of a folder of plain files with calls that are safe in
// a signal handler (no opendir: it allocates).
void EmptyFolderRaw(const char* path) {
    const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (folder < 0) return;
    alignas(8) char buffer[4096];
    // Removing entries while reading the folder may hide some from this pass;
    // a pass that removes nothing ends it.
    for (int pass = 0; pass < 8; ++pass) {
        bool removed = false;
        ::lseek(folder, 0, SEEK_SET);
        for (;;) {
            const long n = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                unsigned short length;
                std::memcpy(&length, buffer + at + 16, sizeof length);
                const char* name = buffer + at + 19;
                const bool dots = name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
                if (!dots && ::unlinkat(folder, name, 0) == 0) removed = true;
                if (length == 0) break;
                at += length;
            }
        }
        if (!removed) break;
    }
    ::close(folder);
}

void RemoveAllNow() {
    g_slots.RemoveAll(
        [](const char* folder) {
            EmptyFolderRaw(folder);
            ::rmdir(folder);
        },
        [](const char* file) { ::unlink(file); });
}

void OnEndingSignal(int signal) {
    const int saved = errno;
    RemoveAllNow();
    errno = saved;
    // The handler was reset to the default on entry: end the way the signal
    // would have ended the process.
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
}

// Installed once, and only where the signal would end the process anyway: a
// signal ignored by whoever started us (nohup) stays ignored.
void InstallSignalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction handler {};
            handler.sa_handler = OnEndingSignal;
            handler.sa_flags = SA_RESETHAND;
            sigemptyset(&handler.sa_mask);
            ::sigaction(signal, &handler, nullptr);
        }
    });
}

int Register(const std::string& path, SlotKind kind) {
    InstallSignalHandlers();
    return g_slots.Register(path.c_str(), path.size(), kind);
}

std::string Narrow(const std::u16string& path) { return ToUtf8(path.c_str()); }

std::u16string Widen(const std::string& narrow) {
    WideString wide;
    if (!AppendUtf8(wide, narrow.c_str())) return {};
    return std::u16string(wide.Text(), wide.Length());
}

}  // namespace

bool PrivateFolder::Create() {
    Remove();
    WideString system;
    if (!TemporaryFolder(system) || system.IsEmpty()) return false;
    std::string pattern = ToUtf8(system.Text());
    if (pattern != "/") pattern += '/';
    pattern += "quillodex-XXXXXX";
    if (!::mkdtemp(pattern.data())) return false;  // mode 0700
    path_ = Widen(pattern);
    if (path_.empty()) {
        ::rmdir(pattern.c_str());
        return false;
    }
    slot_ = Register(pattern, SlotKind::Folder);
    return true;
}

void PrivateFolder::Remove() {
    if (path_.empty()) return;
    const std::string narrow = Narrow(path_);
    EmptyFolderRaw(narrow.c_str());
    ::rmdir(narrow.c_str());
    g_slots.Unregister(slot_);
    path_.clear();
}

void RemovePrivateFilesNow() { RemoveAllNow(); }

bool EmptyFile(const char16_t* path) {
    const std::string narrow = ToUtf8(path ? path : u"");
    if (narrow.empty()) return false;
    const int fd = ::open(narrow.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool StagedFile::Create(const char16_t* folder) {
    Discard();
    const std::string where = ToUtf8(folder ? folder : u"");
    if (where.empty()) return false;
    // Unnamed: a file that never had a name leaves nothing behind whatever
    // ends the process, even a kill that no handler sees.
    int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    if (fd < 0) {
        // Where the file system has no unnamed files: a hidden, unique name.
        std::string pattern = where;
        if (pattern.back() != '/') pattern += '/';
        pattern += ".quillodex-XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return false;
        ::fchmod(fd, 0644);
        hidden_ = Widen(pattern);
        slot_ = Register(pattern, SlotKind::File);
    }
    file_ = File(fd);
    return true;
}

NameResult StagedFile::Name(const char16_t* target) {
    const std::string to = ToUtf8(target ? target : u"");
    if (!file_.IsOpen() || to.empty() || !FlushToDisk(file_)) return NameResult::Failed;
    int result;
    if (hidden_.empty()) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", int(file_.Native()));
        result = ::linkat(AT_FDCWD, self, AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        // A link fails when the name exists: nothing is ever replaced.
        result = ::link(Narrow(hidden_).c_str(), to.c_str());
    }
    if (result != 0) return errno == EEXIST ? NameResult::Taken : NameResult::Failed;
    Discard();  // the hidden name goes; the named file stays
    return NameResult::Given;
}

void StagedFile::Discard() {
    file_.Close();
    if (!hidden_.empty()) ::unlink(Narrow(hidden_).c_str());
    hidden_.clear();
    g_slots.Unregister(slot_);
}

}  // namespace qdx::os
