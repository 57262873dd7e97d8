#pragma once
// The six output steps: each reads the context's picture, the bit depth it
// had when decoded, the transparent colour and the preset, and has its writer
// write the temporary output file.
namespace qdx {

struct ConversionContext;

bool BmpOutputStep(ConversionContext& context);
bool PngOutputStep(ConversionContext& context);
bool JpegOutputStep(ConversionContext& context);
bool GifOutputStep(ConversionContext& context);
bool TiffOutputStep(ConversionContext& context);
bool WebpOutputStep(ConversionContext& context);

}  // namespace qdx
