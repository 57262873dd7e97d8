// Feeds arbitrary bytes to the profile and Exif extraction of each container
// (the first byte picks JPEG, PNG, TIFF or WebP), then converts a small
// picture with whatever profile came out, as the batch would.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/common/colour_to_srgb.h"
#include "codecs/common/embedded_metadata.h"
#include "codecs/common/input_kind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const uint32_t kKinds[] = {qdx::kInputJpeg, qdx::kInputPng, qdx::kInputTiff, qdx::kInputWebp};
    const uint32_t kind = kKinds[data[0] & 3];
    const bool palette = (data[0] & 4) != 0;
    qdx::DecodedImage image;
    qdx::ReadEmbeddedMetadata(kind, data + 1, size - 1, image);
    if (image.iccProfile.size > qdx::kMaxProfileBytes || image.exif.size > qdx::kMaxExifBytes) __builtin_trap();
    if (image.iccProfile.size == 0) return 0;
    constexpr int kWidth = 7;
    const uint16_t bits = palette ? 8 : 24;
    qdx::SetImageHeader(image, kWidth, 2, bits);
    image.pixels = qdx::AllocatePixelBuffer(kWidth, 2, bits);
    image.cmykSamples = qdx::AllocatePixelBuffer(kWidth, 2, 32);
    if (!image.pixels || !image.cmykSamples) return 0;
    for (int i = 0; i < 256; ++i) image.palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    for (uint32_t i = 0; i < 2 * qdx::RowStride(kWidth, 32); ++i) image.cmykSamples.Get()[i] = uint8_t(i * 37);
    qdx::ConvertToSrgb(image);
    return 0;
}
