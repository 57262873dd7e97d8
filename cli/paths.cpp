#include "cli/paths.h"

namespace qdx::cli {

WideString FullPath(const WideString& currentFolder, const WideString& typed) {
    WideString full;
    if (!typed.IsEmpty() && typed[0] == u'/')
        full.Assign(typed);
    else
        full.SetFolderPlusName(currentFolder.Text(), typed.Text());
    return full;
}

}  // namespace qdx::cli
