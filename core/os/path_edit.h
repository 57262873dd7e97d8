#pragma once
// Path composition and edits on a WideString with the platform separator.
// An edit whose separator or dot is absent leaves the path unchanged.
#include <cstdint>

#include "core/os/wide_string.h"

namespace qdx {

// Copies `folder`, adds a separator unless it ends with one, then appends
// `name`. Nothing at all happens when the folder is empty.
bool SetFolderPlusName(WideString& path, const char16_t* folder, const char16_t* name);
// Copies `folder` and adds a separator unless it ends with one.
bool SetFolderWithSeparator(WideString& path, const char16_t* folder);
// Adds a separator unless the path is empty or ends with one, then appends
// the component (nothing when the component is empty).
bool AppendPathComponent(WideString& path, const char16_t* component);
// Cuts at the last "." after the last separator (if any), then appends.
bool ReplaceExtension(WideString& path, const char16_t* extension);
// Cuts after the last separator and appends "*.dll" (nothing when the path
// has no separator).
bool ReplaceFileNameWithDllPattern(WideString& path);

// Keeps what follows the last separator: the file name.
void KeepFileName(WideString& path);
// Keeps what precedes the last separator: the folder, without its separator.
void KeepFolder(WideString& path);
// Cuts at the last "." after the last separator.
void RemoveExtension(WideString& path);

bool EndsWithSeparator(const WideString& path);

}  // namespace qdx
