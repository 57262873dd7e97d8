#include "core/os/path_edit.h"

#include <utility>

#include "core/os/os.h"

namespace qdx {

namespace {

// Index of the last occurrence of `unit`, or -1.
int64_t LastIndexOf(const WideString& text, char16_t unit) {
    for (uint32_t i = text.Length(); i > 0; --i)
        if (text[i - 1] == unit) return int64_t(i - 1);
    return -1;
}

// The last "." that follows the last separator, or -1.
int64_t ExtensionDot(const WideString& path) {
    const int64_t separator = LastIndexOf(path, os::kPathSeparator);
    const int64_t dot = LastIndexOf(path, u'.');
    return dot > separator ? dot : -1;
}

}  // namespace

bool EndsWithSeparator(const WideString& path) {
    return path.Length() > 0 && path[path.Length() - 1] == os::kPathSeparator;
}

bool SetFolderPlusName(WideString& path, const char16_t* folder, const char16_t* name) {
    const uint32_t folderLength = TextLength(folder);
    if (folderLength == 0) return true;
    WideString result;
    if (!result.Append(folder, folderLength)) return false;
    if (folder[folderLength - 1] != os::kPathSeparator && !result.Append(os::kPathSeparator)) return false;
    if (!result.Append(name)) return false;
    path = std::move(result);
    return true;
}

bool SetFolderWithSeparator(WideString& path, const char16_t* folder) {
    WideString result;
    const uint32_t folderLength = TextLength(folder);
    if (!result.Append(folder, folderLength)) return false;
    if ((folderLength == 0 || folder[folderLength - 1] != os::kPathSeparator) && !result.Append(os::kPathSeparator))
        return false;
    path = std::move(result);
    return true;
}

bool AppendPathComponent(WideString& path, const char16_t* component) {
    if (TextLength(component) == 0) return true;
    if (path.Length() > 0 && !EndsWithSeparator(path) && !path.Append(os::kPathSeparator)) return false;
    return path.Append(component);
}

bool ReplaceExtension(WideString& path, const char16_t* extension) {
    RemoveExtension(path);
    return path.Append(extension);
}

bool ReplaceFileNameWithDllPattern(WideString& path) {
    const int64_t separator = LastIndexOf(path, os::kPathSeparator);
    if (separator < 0) return true;
    path.Truncate(uint32_t(separator + 1));
    return path.Append(u"*.dll");
}

void KeepFileName(WideString& path) {
    const int64_t separator = LastIndexOf(path, os::kPathSeparator);
    // A tail of the path's own text moves to its start.
    if (separator >= 0) path.Assign(path.Text() + separator + 1);
}

void KeepFolder(WideString& path) {
    const int64_t separator = LastIndexOf(path, os::kPathSeparator);
    if (separator >= 0) path.Truncate(uint32_t(separator));
}

void RemoveExtension(WideString& path) {
    const int64_t dot = ExtensionDot(path);
    if (dot >= 0) path.Truncate(uint32_t(dot));
}

}  // namespace qdx
