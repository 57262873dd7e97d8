#include "core/file_helpers.h"

namespace qdx {

uint32_t WriteBigEndian32(os::File& file, uint32_t value) {
    uint8_t bytes[4];
    StoreBigEndian32(bytes, value);
    return os::WriteAll(file, bytes, 4) ? 4 : 0;
}

}  // namespace qdx
