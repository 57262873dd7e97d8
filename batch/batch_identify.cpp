#include "batch/batch.h"
#include "core/os/os.h"

namespace qdx {

InputKind IdentifyInput(const WideString& path) {
    os::File file;
    uint8_t bytes[kLeadingBytes] = {};
    if (!os::OpenForReadShared(path.Text(), file)) return kInputUnreadable;
    const uint32_t count = os::Read(file, bytes, sizeof bytes);
    if (count < kMinimumLeadingBytes) return kInputUnreadable;
    return ClassifyLeadingBytes(bytes, count);
}

}  // namespace qdx
