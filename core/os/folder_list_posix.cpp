#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "core/os/folder_list.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace qdx::os {

namespace {

// The owned directory stream.
struct OpenFolder {
    DIR* stream;
    explicit OpenFolder(const std::string& path) : stream(::opendir(path.c_str())) {}
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder() {
        if (stream) ::closedir(stream);
    }
};

EntryKind KindOf(const std::string& path, const char* name) {
    if (name[0] == '.') return EntryKind::Skipped;  // hidden by convention
    struct stat info;
    // lstat: a link is seen as a link and never followed.
    if (::lstat(path.c_str(), &info) != 0) return EntryKind::Skipped;
    if (S_ISREG(info.st_mode)) return EntryKind::File;
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    return EntryKind::Skipped;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
char16_t Folded(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c; }

}  // namespace

bool ListFolder(const char16_t* folder, FolderVisitor visit, void* context) {
    const std::string base = ToUtf8(folder ? folder : u"");
    if (base.empty()) return false;
    OpenFolder open(base);
    if (!open.stream) return false;
    const std::string prefix = base.back() == '/' ? base : base + '/';
    while (const dirent* entry = ::readdir(open.stream)) {
        const char* name = entry->d_name;
        if (std::string(name) == "." || std::string(name) == "..") continue;
        WideString wide;
        if (!AppendUtf8(wide, name)) return false;
        if (!visit(context, wide.Text(), KindOf(prefix + name, name))) return false;
    }
    return true;
}

int CompareNamesLogically(const char16_t* a, const char16_t* b) {
    while (*a && *b) {
        if (IsDigit(*a) && IsDigit(*b)) {
            // Runs of digits by value: leading zeros skipped, then the longer
            // run is the larger number, else the first differing digit.
            while (*a == u'0') ++a;
            while (*b == u'0') ++b;
            const char16_t* endA = a;
            const char16_t* endB = b;
            while (IsDigit(*endA)) ++endA;
            while (IsDigit(*endB)) ++endB;
            if (endA - a != endB - b) return endA - a < endB - b ? -1 : 1;
            for (; a < endA; ++a, ++b)
                if (*a != *b) return *a < *b ? -1 : 1;
            continue;
        }
        const char16_t ca = Folded(*a), cb = Folded(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        ++a, ++b;
    }
    return *a ? 1 : *b ? -1 : 0;
}

}  // namespace qdx::os
