#include "batch/batch.h"
#include "core/os/os.h"

namespace qdx {

InputKind IdentifyInput(const WideString& path) {
    os::File file;
    uint8_t bytes[8];
    if (!os::OpenForReadShared(path.Text(), file) || !os::ReadExact(file, bytes, sizeof bytes))
        return kInputUnreadable;
    return ClassifyLeadingBytes(bytes);
}

}  // namespace qdx
