#include "batch/output_steps.h"

#include "batch/conversion_context.h"
#include "codecs/common/exif_tags.h"
#include "codecs/write/bmp_writer.h"
#include "codecs/write/gif_writer.h"
#include "codecs/write/jpeg_writer.h"
#include "codecs/write/png_writer.h"
#include "codecs/write/tiff_writer.h"
#include "codecs/write/webp_writer.h"

namespace qdx {
namespace {

// The Exif block the output carries under the metadata policy: kept tags of
// the source's block, orientation 1 and the output's pixel size. Size 0 when
// there is nothing to carry (or no memory to make it in).
uint32_t MakeExifForOutput(ConversionContext& context) {
    const DecodedImage& image = context.image;
    if (context.sourceData.keepMetadata == MetadataPolicy::Nothing || image.exif.size == 0) return 0;
    if (!context.exifTags) context.exifTags = os::MakeHeapObject<ExifTags>();
    if (!context.exifOut && !context.exifOut.Allocate(kExifMaxBlockBytes)) return 0;
    if (!context.exifTags) return 0;
    const uint32_t height = uint32_t(image.header.biHeight < 0 ? -int64_t(image.header.biHeight) : image.header.biHeight);
    return MakeOutputExif(image.exif.bytes.Get(), image.exif.size, context.sourceData.keepMetadata,
                          uint32_t(image.header.biWidth), height, *context.exifTags, context.exifOut.Get());
}

}  // namespace

// 8-bit pictures go out at 8 bits and 24-bit ones at 24, whatever scaling did
// in between: the writers convert back to the depth the reader produced.
bool BmpOutputStep(ConversionContext& context) {
    BmpWriterState& state = *context.bmpWriter;
    const DecodedImage& image = context.image;
    SetLayoutFor(state.converter, image.header, context.savedBitDepth);
    state.horizontalResolution = image.header.biXPelsPerMeter;
    state.verticalResolution = image.header.biYPelsPerMeter;
    if (!context.tempPath) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    return WriteBmpFile(state, *context.tempPath, image.palette, image.pixels.Get());
}

bool PngOutputStep(ConversionContext& context) {
    PngWriterState& state = *context.pngWriter;
    const DecodedImage& image = context.image;
    if (!context.tempPath) return false;
    SetLayoutFor(state.converter, image.header, context.savedBitDepth);
    state.transparency = 0;
    state.transparentColour = nullptr;
    state.compressionLevel = 9;
    state.horizontalResolution = image.header.biXPelsPerMeter > 0 ? uint32_t(image.header.biXPelsPerMeter) : 0;
    state.verticalResolution = image.header.biYPelsPerMeter > 0 ? uint32_t(image.header.biYPelsPerMeter) : 0;
    if (context.transparent.hasTransparentColour) {
        state.transparency = 1;
        state.transparentColour = &context.transparent.red;
    }
    state.exifSize = MakeExifForOutput(context);
    state.exif = context.exifOut.Get();
    return WritePngFile(state, *context.tempPath, image.palette, image.pixels.Get());
}

bool JpegOutputStep(ConversionContext& context) {
    JpegWriterState& state = *context.jpegWriter;
    const Preset& preset = *context.preset;
    PrepareJpegWriter(state, context.image, preset.jpegQuality, preset.jpegSubsampling == kChromaFullResolution);
    // Inside every attempt, so the size limit counts the metadata too.
    state.exifSize = MakeExifForOutput(context);
    state.exif = context.exifOut.Get();
    if (preset.limitFileSize)
        return WriteJpegLimited(state, *context.tempPath, context.image.palette, context.image.pixels.Get(),
                                preset.maxFileSizeKiB);
    return WriteJpegFile(state, *context.tempPath, context.image.palette, context.image.pixels.Get());
}

// GIF holds palette images only: every picture is reduced to 8 bits.
bool GifOutputStep(ConversionContext& context) {
    GifWriterState& state = *context.gifWriter;
    PrepareGifWriter(state, context.image.header, context.transparent);
    if (!context.tempPath) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    return WriteGifFile(state, *context.tempPath, context.image.palette, context.image.pixels.Get());
}

bool TiffOutputStep(ConversionContext& context) {
    TiffWriterState& state = *context.tiffWriter;
    const DecodedImage& image = context.image;
    SetLayoutFor(state.converter, image.header, context.savedBitDepth);
    state.horizontalResolution = image.header.biXPelsPerMeter;
    state.verticalResolution = image.header.biYPelsPerMeter;
    state.exifSize = MakeExifForOutput(context);
    state.exif = context.exifOut.Get();
    return WriteTiffFile(state, *context.tempPath, image.palette, image.pixels.Get());
}

// Palette pictures and presets that ask for it are written lossless; the
// others lossy at the JPEG quality, within the file-size limit when one is set.
bool WebpOutputStep(ConversionContext& context) {
    WebpWriterState& state = *context.webpWriter;
    const Preset& preset = *context.preset;
    const DecodedImage& image = context.image;
    if (!context.tempPath) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    const uint8_t* transparent = context.transparent.hasTransparentColour ? &context.transparent.red : nullptr;
    PrepareWebpWriter(state, image, context.savedBitDepth, preset.jpegQuality, preset.webpLossless != 0,
                      transparent);
    // Inside every attempt, so the size limit counts the metadata too.
    state.exifSize = MakeExifForOutput(context);
    state.exif = context.exifOut.Get();
    return WriteWebpFile(state, *context.tempPath, image.palette, image.pixels.Get(),
                         preset.limitFileSize ? preset.maxFileSizeKiB : 0);
}

}  // namespace qdx
