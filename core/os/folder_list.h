#pragma once
// The entries of one folder, for walking a dropped folder, and the order in
// which the program lists names.
#include <cstdint>

namespace qdx::os {

enum class EntryKind {
    File,     // a plain file
    Folder,   // a folder to walk into
    Skipped,  // a symbolic link or junction (never followed), a hidden or
              // system entry (names starting with "." on POSIX), or anything
              // that is neither file nor folder
};

// Called once per entry with its bare name; returning false stops the listing.
using FolderVisitor = bool (*)(void* context, const char16_t* name, EntryKind kind);

// Visits every entry of `folder` except "." and "..", in the system's order.
// False when the folder cannot be read or a visit returned false.
bool ListFolder(const char16_t* folder, FolderVisitor visit, void* context);

// Negative, 0 or positive as `a` sorts before, with or after `b` the way the
// program's lists sort names: letters regardless of case, runs of digits by
// their value ("img2" before "img10").
int CompareNamesLogically(const char16_t* a, const char16_t* b);

}  // namespace qdx::os
