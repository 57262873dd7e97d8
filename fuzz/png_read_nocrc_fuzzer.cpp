// The PNG reader behind correct chunk checksums: every checksum of the input
// is recomputed first, so mutations reach the chunk and pixel logic instead
// of stopping at a mismatch.
#include <vector>

#include "codecs/common/png_crc.h"
#include "core/file_helpers.h"
#include "fuzz/png_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> fixed(data, data + size);
    size_t at = 8;
    while (at + 12 <= fixed.size()) {
        const uint32_t length = qdx::LoadBigEndian32(&fixed[at]);
        if (length > fixed.size() - at - 12) break;
        qdx::StoreBigEndian32(&fixed[at + 8 + length], qdx::chunkCrc(&fixed[at + 4], &fixed[at + 8], length));
        at += 12 + size_t(length);
    }
    qdx::fuzz::ReadPngInput(fixed.data(), fixed.size());
    return 0;
}
