#include "batch/decode_input.h"
#include "codecs/common/exif_orientation.h"
#include "codecs/common/input_kind.h"
#include "codecs/common/mapped_input.h"
#include "scale/orientation.h"

namespace qdx {

void TurnUpright(DecodedImage& image, const WideString& path, uint32_t kind) {
    // A HEIF picture arrives as it is meant to be shown (libheif applies the
    // container's rotation and mirror): its Exif orientation is not applied.
    if (kind != kInputJpeg && kind != kInputTiff) return;
    MappedInput input;
    const uint32_t size = OpenAndMapInput(input, path);
    if (size == 0) return;  // the picture stays as stored
    const uint32_t orientation = kind == kInputJpeg ? ReadJpegOrientation(input.dataStart, size)
                                                    : ReadTiffOrientation(input.dataStart, size);
    CloseMappedInput(input);
    if (orientation > kOrientationUpright) OrientImage(image, orientation);
}

}  // namespace qdx
