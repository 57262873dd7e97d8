#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "codecs/common/colour_to_srgb.h"
#include "codecs/common/embedded_metadata.h"
#include "codecs/common/exif_orientation.h"
#include "codecs/common/input_kind.h"
#include "codecs/common/mapped_input.h"
#include "scale/orientation.h"

namespace qdx {

uint32_t ReadSourceData(DecodedImage& image, const WideString& path, uint32_t kind) {
    ClearEmbeddedData(image);
    if (kind != kInputJpeg && kind != kInputTiff && kind != kInputPng && kind != kInputWebp)
        return kOrientationAsStored;
    MappedInput input;
    const uint32_t size = OpenAndMapInput(input, path);
    if (size == 0) return kOrientationAsStored;  // the reader will fail on it as well
    ReadEmbeddedMetadata(kind, input.dataStart, size, image);
    uint32_t orientation = kOrientationAsStored;
    if (kind == kInputJpeg) orientation = ReadJpegOrientation(input.dataStart, size);
    if (kind == kInputTiff) orientation = ReadTiffOrientation(input.dataStart, size);
    CloseMappedInput(input);
    return orientation;
}

void FinishDecodedImage(ConversionContext& context, uint32_t orientation) {
    DecodedImage& image = context.image;
    if (context.sourceData.convertColours) ConvertToSrgb(image);
    // The CMYK samples have served their purpose; the pixels are what goes on.
    image.cmykSamples.Reset();
    if (orientation > kOrientationUpright) OrientImage(image, orientation);
}

}  // namespace qdx
