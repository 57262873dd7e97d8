// Feeds arbitrary bytes to the orientation readers, as a JPEG and as a TIFF.
#include <cstddef>
#include <cstdint>

#include "codecs/common/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t fromJpeg = qdx::ReadJpegOrientation(data, size);
    const uint32_t fromTiff = qdx::ReadTiffOrientation(data, size);
    if (fromJpeg > qdx::kOrientationLast || fromTiff > qdx::kOrientationLast) __builtin_trap();
    return 0;
}
