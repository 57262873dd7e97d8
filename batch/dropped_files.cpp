#include "batch/dropped_files.h"

#include <algorithm>
#include <new>

#include "core/os/folder_list.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"

namespace qdx {

namespace {

struct Listing {
    std::vector<WideString> files;
    std::vector<WideString> folders;
    bool ok = true;
};

bool Keep(void* context, const char16_t* name, os::EntryKind kind) {
    auto* listing = static_cast<Listing*>(context);
    if (kind == os::EntryKind::Skipped) return true;
    WideString text;
    if (!text.Assign(name)) {
        listing->ok = false;
        return false;
    }
    (kind == os::EntryKind::File ? listing->files : listing->folders).push_back(static_cast<WideString&&>(text));
    return true;
}

void SortNames(std::vector<WideString>& names) {
    std::sort(names.begin(), names.end(), [](const WideString& a, const WideString& b) {
        return os::CompareNamesLogically(a.Text(), b.Text()) < 0;
    });
}

// The last component of a path (a trailing separator ignored); false when
// memory ran short.
bool LastComponent(const WideString& path, WideString& name) {
    uint32_t end = path.Length();
    while (end > 1 && path[end - 1] == os::kPathSeparator) --end;
    uint32_t start = end;
    while (start > 0 && path[start - 1] != os::kPathSeparator) --start;
    name.Clear();
    // A drive dropped whole is named by its letter; the POSIX root by nothing.
    for (uint32_t i = start; i < end; ++i)
        if (path[i] != u':' && path[i] != os::kPathSeparator && !name.Append(path[i])) return false;
    return true;
}

// Adds the files of `folder` and, depth first, of its subfolders; `subfolder`
// is the folder's place below the output folder.
bool Walk(const WideString& folder, const WideString& subfolder, uint32_t item, uint32_t depth,
          DroppedFiles& files) {
    Listing listing;
    // A folder that cannot be read gives nothing, like an empty one.
    os::ListFolder(folder.Text(), Keep, &listing);
    if (!listing.ok) return false;
    SortNames(listing.files);
    SortNames(listing.folders);
    for (const WideString& name : listing.files) {
        WideString path;
        if (!SetFolderPlusName(path, folder.Text(), name.Text()) || path.IsEmpty()) return false;
        files.paths.push_back(static_cast<WideString&&>(path));
        files.outputSubfolders.push_back(subfolder);
        files.items.push_back(item);
    }
    if (depth >= kMaxWalkDepth) return true;
    for (const WideString& name : listing.folders) {
        WideString path, below(subfolder);
        if (!SetFolderPlusName(path, folder.Text(), name.Text()) || path.IsEmpty()) return false;
        if ((!below.IsEmpty() && !below.Append(os::kPathSeparator)) || !below.Append(name)) return false;
        if (!Walk(path, below, item, depth + 1, files)) return false;
    }
    return true;
}

}  // namespace

bool CollectDroppedFiles(const WideString* items, uint32_t count, bool walkFolders, DroppedFiles& files) {
    files = DroppedFiles();
    try {
        for (uint32_t i = 0; i < count; ++i) {
            const WideString& item = items[i];
            const bool folder = os::FolderExists(item.Text());
            files.itemWasFolder.push_back(folder ? 1 : 0);
            if (!folder) {
                if (!os::FileExists(item.Text())) continue;
                files.paths.push_back(item);
                files.outputSubfolders.emplace_back();
                files.items.push_back(i);
                continue;
            }
            if (!walkFolders) continue;
            WideString name;
            if (!LastComponent(item, name)) return false;
            if (!Walk(item, name, i, 0, files)) return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace qdx
