// JPEG: the Exif block is the first APP1 segment that begins "Exif\0\0"; the
// ICC profile is cut into APP2 segments that begin "ICC_PROFILE\0", each with
// its sequence number (from 1) and the number of chunks. The profile is taken
// only when every chunk from 1 to that number is there exactly once.
#include <cstring>

#include "codecs/common/embedded_metadata.h"

namespace qdx {
namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerApp2 = 0xE2;
constexpr uint8_t kMarkerTem = 0x01;
constexpr uint8_t kMarkerRst0 = 0xD0;
constexpr uint8_t kMarkerRst7 = 0xD7;
constexpr char kIccSignature[] = "ICC_PROFILE";  // with its terminating zero: 12 bytes
constexpr size_t kIccChunkHeader = sizeof kIccSignature + 2;
constexpr uint32_t kMaxIccChunks = 255;

struct IccChunk {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct IccChunks {
    IccChunk chunk[kMaxIccChunks + 1];  // by sequence number
    uint32_t declared = 0;              // the chunk count all segments must agree on
    bool damaged = false;

    void Add(const uint8_t* payload, size_t size) {
        const uint32_t sequence = payload[sizeof kIccSignature];
        const uint32_t count = payload[sizeof kIccSignature + 1];
        if (count == 0 || sequence == 0 || sequence > count || (declared != 0 && count != declared) ||
            chunk[sequence].data) {
            damaged = true;
            return;
        }
        declared = count;
        chunk[sequence] = IccChunk{payload + kIccChunkHeader, size - kIccChunkHeader};
    }
};

void AssembleProfile(const IccChunks& chunks, DecodedImage& image) {
    if (chunks.damaged || chunks.declared == 0) return;
    uint64_t total = 0;
    for (uint32_t s = 1; s <= chunks.declared; ++s) {
        if (!chunks.chunk[s].data) return;
        total += chunks.chunk[s].size;
    }
    if (total < kMinProfileBytes || total > kMaxProfileBytes) return;
    os::HeapMemory joined;
    if (!joined.Allocate(total)) return;
    size_t at = 0;
    for (uint32_t s = 1; s <= chunks.declared; ++s) {
        std::memcpy(joined.Get() + at, chunks.chunk[s].data, chunks.chunk[s].size);
        at += chunks.chunk[s].size;
    }
    AcceptProfile(joined.Get(), size_t(total), image);
}

}  // namespace

void ReadJpegMetadata(const uint8_t* data, size_t size, DecodedImage& image) {
    if (size < 2 || data[0] != kMarkerPrefix || data[1] != kMarkerSoi) return;
    auto chunks = os::MakeHeapObject<IccChunks>();
    if (!chunks) return;
    bool exifSeen = false;
    size_t at = 2;
    while (at < size) {
        if (data[at] != kMarkerPrefix) break;
        while (at < size && data[at] == kMarkerPrefix) ++at;  // fill bytes
        if (at >= size) break;
        const uint8_t marker = data[at++];
        if (marker == kMarkerSos || marker == kMarkerEoi || marker == 0) break;
        if (marker == kMarkerTem || (marker >= kMarkerRst0 && marker <= kMarkerRst7)) continue;  // no length
        if (size - at < 2) break;
        const size_t length = size_t(data[at]) << 8 | data[at + 1];
        if (length < 2 || length > size - at) break;
        const uint8_t* payload = data + at + 2;
        const size_t payloadSize = length - 2;
        if (marker == kMarkerApp1 && !exifSeen && payloadSize >= 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            AcceptExif(payload, payloadSize, image);
            exifSeen = true;  // as the orientation: only the first Exif segment counts
        }
        if (marker == kMarkerApp2 && payloadSize > kIccChunkHeader &&
            std::memcmp(payload, kIccSignature, sizeof kIccSignature) == 0)
            chunks->Add(payload, payloadSize);
        at += length;
    }
    AssembleProfile(*chunks, image);
}

}  // namespace qdx
