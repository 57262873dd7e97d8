#pragma once
// Files no one else can reach or mistake for finished work: the batch's own
// temporary folder, and outputs that appear whole under their name or not at
// all. Whatever the process leaves behind when it is ended from outside
// (SIGINT, SIGTERM, SIGHUP natively; closing the console or ending the
// session on Windows) is removed on the way out.
#include <cstdint>
#include <string>

#include "core/os/os.h"

namespace qdx::os {

// A new folder inside the system's temporary folder that only this user may
// enter (mode 0700 from mkdtemp natively; a uniquely named folder in the
// user's own temporary folder on Windows). It goes, with every file in it,
// when its owner goes.
class PrivateFolder {
public:
    PrivateFolder() = default;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() { Remove(); }

    // False when the system's temporary folder is missing or unusable.
    bool Create();
    void Remove();
    const char16_t* Path() const { return path_.c_str(); }
    bool IsCreated() const { return !path_.empty(); }

private:
    std::u16string path_;
    int slot_ = -1;  // where the path is kept for removal on the way out
};

// Removes every private folder and staged output of the process at once; for
// an ending session, which gives no time for owners to go one by one.
void RemovePrivateFilesNow();

// Empties an existing file without creating one (and, natively, without
// following a symbolic link); false when there is no such file.
bool EmptyFile(const char16_t* path);

enum class NameResult { Given, Taken, Failed };

// An output being written inside its destination folder under no name a user
// would take for a finished file: unnamed where the system allows it, else a
// hidden name. Only Name makes it visible, once, and never over another file.
class StagedFile {
public:
    StagedFile() = default;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile() { Discard(); }

    // False when no file can be made in `folder`.
    bool Create(const char16_t* folder);
    File& Handle() { return file_; }
    // Flushes the bytes to disk and gives them the name `target`, which must
    // not exist: Taken when it does (nothing changes; try another name).
    NameResult Name(const char16_t* target);
    // Drops whatever was written, leaving nothing behind.
    void Discard();

private:
    File file_;
    std::u16string hidden_;  // empty while the file has no name at all
    int slot_ = -1;
};

// Copies the whole file `from` into the open `to` from its current position.
bool CopyFileInto(const char16_t* from, File& to);

}  // namespace qdx::os
