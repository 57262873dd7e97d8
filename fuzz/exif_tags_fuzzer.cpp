// Feeds arbitrary bytes to our Exif reader as a TIFF structure, writes what
// each policy keeps and reads the written block back: it must always read,
// fit one JPEG APP1 segment and rebase for a TIFF file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/common/exif_tags.h"
#include "core/os/owned_memory.h"

namespace {
constexpr uint32_t kJpegApp1Room = 65533 - 6;
static_assert(qdx::kExifMaxBlockBytes <= kJpegApp1Room);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto tags = qdx::os::MakeHeapObject<qdx::ExifTags>();
    static auto again = qdx::os::MakeHeapObject<qdx::ExifTags>();
    static uint8_t out[qdx::kExifMaxBlockBytes];
    for (auto policy : {qdx::MetadataPolicy::DateAndCamera, qdx::MetadataPolicy::AllButLocation}) {
        const uint32_t written = qdx::MakeOutputExif(data, size, policy, 4000, 3000, *tags, out);
        if (written == 0) continue;
        if (written > qdx::kExifMaxBlockBytes || !qdx::ReadExifTags(out, written, *again)) __builtin_trap();
        if (again->count > tags->count) __builtin_trap();  // nothing is invented
        if (!qdx::RebaseExifBlock(out, written, 1u << 20)) __builtin_trap();
    }
    return 0;
}
