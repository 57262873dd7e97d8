#include "cli/paths.h"

#include "core/os/path_edit.h"

namespace qdx::cli {

WideString FullPath(const WideString& currentFolder, const WideString& typed) {
    WideString full;
    if (!typed.IsEmpty() && typed[0] == u'/')
        full.Assign(typed);
    else
        SetFolderPlusName(full, currentFolder.Text(), typed.Text());
    return full;
}

}  // namespace qdx::cli
