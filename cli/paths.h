#pragma once
// Paths as a user types them in a shell.
#include "core/os/wide_string.h"

namespace qdx::cli {

// A path typed relative to `currentFolder` becomes a full one; a full path
// ("/...") is kept as typed.
WideString FullPath(const WideString& currentFolder, const WideString& typed);

}  // namespace qdx::cli
