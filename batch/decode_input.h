#pragma once
// The per-format branches of DecodeInput: each prepares its reader's per-read
// options from the settings, runs the reader on the context's image and picks
// up what the batch keeps besides the pixels (the transparent colour).
#include <cstdint>

namespace qdx {

struct ConversionContext;
struct DecodedImage;
class WideString;

// The background colour of the settings, red, green, blue: what alpha is
// flattened onto in pictures that carry no background of their own.
void SettingsBackground(const ConversionContext& context, uint8_t colour[3]);

bool DecodeBmpInput(ConversionContext& context, const WideString& path);
bool DecodePngInput(ConversionContext& context, const WideString& path);
bool DecodeJpegInput(ConversionContext& context, const WideString& path);
bool DecodeGifInput(ConversionContext& context, const WideString& path);
// Our own TIFF reader first; the layouts it refuses go to libtiff.
bool DecodeTiffInput(ConversionContext& context, const WideString& path);
bool DecodeWebpInput(ConversionContext& context, const WideString& path);
// HEIC and AVIF through libheif; when its libraries cannot be loaded the file
// fails and the context's missingLibrary names them.
bool DecodeHeifInput(ConversionContext& context, const WideString& path);
// Hands the file to the plug-in readers of the plug-in folder.
bool DecodePluginInput(ConversionContext& context, const WideString& path);
// Before a built-in read: copies the file's ICC profile and Exif block into
// the image record and returns the orientation its JPEG or TIFF file recorded
// (kOrientationAsStored when there is none or the file cannot be read).
uint32_t ReadSourceData(DecodedImage& image, const WideString& path, uint32_t kind);
// After a built-in read, in this order: the colours to sRGB when the options
// say so (the one place where that happens), then the picture turned upright
// by `orientation`.
void FinishDecodedImage(ConversionContext& context, uint32_t orientation);

}  // namespace qdx
