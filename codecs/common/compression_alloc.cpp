#include "codecs/common/compression_alloc.h"

#include <cstdint>

#include "core/os/os.h"

namespace qdx {

void* CompressionAlloc(void*, unsigned items, unsigned size) {
    const uint64_t bytes = uint64_t(items) * size;
    if (bytes == 0 || bytes > 0xFFFFFFFFu) return nullptr;
    return os::PrivateAlloc(size_t(bytes));
}

void CompressionFree(void*, void* address) { os::PrivateFree(address); }

}  // namespace qdx
