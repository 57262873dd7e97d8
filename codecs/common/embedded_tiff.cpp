// TIFF: the profile is tag 34675 of the first directory; the Exif block is
// made from that directory's descriptive tags and its Exif directory, written
// as a block of their own so the record never holds the whole file.
#include "codecs/common/embedded_metadata.h"
#include "codecs/common/exif_tags.h"
#include "codecs/common/tiff_bytes.h"

namespace qdx {
namespace {

constexpr uint16_t kTagIccProfile = 34675;
constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeUndefined = 7;
constexpr size_t kTiffHeaderSize = 8;
constexpr size_t kEntrySize = 12;

void ReadTiffProfile(const uint8_t* data, size_t size, DecodedImage& image) {
    const TiffBytes r{data, size, data[0] == 'I'};
    const uint32_t directory = r.U32(4);
    if (directory < kTiffHeaderSize || directory > size || size - directory < 2) return;
    const uint32_t count = r.U16(directory);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = size_t(directory) + 2 + size_t(i) * kEntrySize;
        if (at > size || size - at < kEntrySize) return;
        if (r.U16(at) != kTagIccProfile) continue;
        const uint16_t type = r.U16(at + 2);
        const uint32_t length = r.U32(at + 4);
        const uint32_t offset = r.U32(at + 8);
        if ((type != kTypeUndefined && type != kTypeByte) || length <= 4) return;
        if (offset > size || size - offset < length) return;
        AcceptProfile(data + offset, length, image);
        return;
    }
}

}  // namespace

void ReadTiffMetadata(const uint8_t* data, size_t size, DecodedImage& image) {
    if (size < kTiffHeaderSize) return;
    const bool little = data[0] == 'I' && data[1] == 'I';
    const bool big = data[0] == 'M' && data[1] == 'M';
    if (!little && !big) return;
    ReadTiffProfile(data, size, image);

    auto tags = os::MakeHeapObject<ExifTags>();
    os::HeapMemory block;
    if (!tags || !ReadExifTags(data, size, *tags) || !block.Allocate(kExifMaxBlockBytes)) return;
    // Size 0 x 0: the writer's own size tags are dropped again when read.
    const uint32_t written = WriteExifBlock(*tags, 0, 0, block.Get());
    if (written != 0) AssignEmbeddedBlock(image.exif, block.Get(), written);
}

}  // namespace qdx
