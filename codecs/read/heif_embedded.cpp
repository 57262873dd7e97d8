#include "codecs/read/heif_embedded.h"

#include <memory>

#include "codecs/common/cicp_profile.h"
#include "codecs/common/embedded_metadata.h"
#include "codecs/read/heif_library.h"
#include "core/decoded_image.h"
#include "core/file_helpers.h"

namespace qdx {

namespace {

// An Exif item starts with the offset of the TIFF header from the end of
// that offset field (big-endian), which an "Exif\0\0" prefix may follow.
constexpr uint32_t kExifOffsetField = 4;

struct NclxFree {
    const HeifFunctions& f;
    void operator()(heif_color_profile_nclx* nclx) const { f.nclxFree(nclx); }
};

void ReadProfile(const HeifFunctions& f, const heif_image_handle* handle, DecodedImage& image) {
    const size_t size = f.rawProfileSize(handle);
    if (size != 0) {
        // A profile beyond the size the other readers accept is left out
        // before anything is allocated for it.
        if (size < kMinProfileBytes || size > kMaxProfileBytes) return;
        os::HeapMemory bytes;
        if (!bytes.Allocate(size) || f.rawProfile(handle, bytes.Get()).code != heif_error_Ok) return;
        AcceptProfile(bytes.Get(), size, image);
        return;
    }
    heif_color_profile_nclx* described = nullptr;
    const heif_error read = f.nclxProfile(handle, &described);
    // The library may hand over a record together with an error (code
    // points it does not know): it is ours to free either way.
    const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(described, NclxFree{f});
    if (read.code != heif_error_Ok || !nclx) return;
    MakeCicpProfile(uint32_t(nclx->color_primaries), uint32_t(nclx->transfer_characteristics), image.iccProfile);
}

void ReadExif(const HeifFunctions& f, const heif_image_handle* handle, DecodedImage& image) {
    static constexpr char kExifType[] = "Exif";
    heif_item_id id = 0;
    // The first Exif item of the primary image; a file seldom has more.
    if (f.metadataCount(handle, kExifType) < 1 || f.metadataIds(handle, kExifType, &id, 1) != 1) return;
    const size_t size = f.metadataSize(handle, id);
    if (size <= kExifOffsetField || size > kMaxExifBytes + kExifOffsetField) return;
    os::HeapMemory bytes;
    if (!bytes.Allocate(size) || f.metadata(handle, id, bytes.Get()).code != heif_error_Ok) return;
    const uint32_t offset = LoadBigEndian32(bytes.Get());
    if (offset > size - kExifOffsetField) return;
    const uint32_t at = kExifOffsetField + offset;
    AcceptExif(bytes.Get() + at, size - at, image);
}

}  // namespace

void ReadHeifEmbeddedData(const HeifFunctions& f, const heif_image_handle* handle, DecodedImage& image) {
    ClearEmbeddedBlock(image.iccProfile);
    ClearEmbeddedBlock(image.exif);
    ReadProfile(f, handle, image);
    ReadExif(f, handle, image);
}

}  // namespace qdx
