#include "scale/resize_modes.h"

#include <cstring>
#include <utility>

#include "core/decoded_image.h"
#include "scale/scaling.h"
#include "scale/sharpen.h"

namespace qdx {

namespace {

// trunc(x + 0.5) for a non-negative x: round half up.
int32_t RoundHalfUp(double x) { return int32_t(x + 0.5); }

// Replaces the picture's buffer by `pixels`, releasing the old one at once.
void ReplacePixels(DecodedImage& image, os::PixelMemory pixels, int32_t width, int32_t height, uint16_t bitCount) {
    image.pixels = std::move(pixels);
    image.header.biWidth = width;
    image.header.biHeight = height;
    image.header.biBitCount = bitCount;
}

bool ResizeToBoxRule(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image) {
    const int32_t w = image.header.biWidth, h = image.header.biHeight;
    const int32_t W = options.targetWidth, H = options.targetHeight;
    if (W <= 0 || H <= 0) return true;
    // Only pictures that cover the box in both directions are touched.
    if (w < W || h < H || (w == W && h == H)) return true;
    if (!options.keepAspect) return ScaleTo(tools, options, image, W, H);
    const double rx = double(W) / double(w);
    const double ry = double(H) / double(h);
    int32_t scaledWidth = W, scaledHeight = H;
    if (ry > rx) {
        const int32_t x = RoundHalfUp(double(w) * ry);
        scaledWidth = x > W ? x : W;
    } else {
        const int32_t y = RoundHalfUp(double(h) * rx);
        scaledHeight = y > H ? y : H;
    }
    return ScaleTo(tools, options, image, scaledWidth, scaledHeight) && CropCentre(image, W, H);
}

}  // namespace

bool ResizeImage(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image) {
    const int32_t w = image.header.biWidth, h = image.header.biHeight;
    const int32_t limit = options.targetWidth;
    switch (options.resizeMode) {
        case ResizeToWidth:
            return ScaleSideTo(tools, options, image, ScaleSide::Width, limit);
        case ResizeToHeight:
            return ScaleSideTo(tools, options, image, ScaleSide::Height, limit);
        case ResizeLongerSide:
            return ScaleSideTo(tools, options, image, w >= h ? ScaleSide::Width : ScaleSide::Height, limit);
        case ResizeShorterSide:
            return ScaleSideTo(tools, options, image, w < h ? ScaleSide::Width : ScaleSide::Height, limit);
        case ResizeToBox:
            return ResizeToBoxRule(tools, options, image);
        default:
            return true;
    }
}

bool ScaleSideTo(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image, ScaleSide side,
                 int32_t limit) {
    const int32_t w = image.header.biWidth, h = image.header.biHeight;
    const int32_t length = side == ScaleSide::Width ? w : h;
    const int32_t other = side == ScaleSide::Width ? h : w;
    if (limit <= 0 || length <= limit) return true;
    int32_t scaled = RoundHalfUp(double(limit) * double(other) / double(length));
    if (scaled < 1) scaled = 1;
    return side == ScaleSide::Width ? ScaleTo(tools, options, image, limit, scaled)
                                     : ScaleTo(tools, options, image, scaled, limit);
}

bool ScaleTo(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image, int32_t width,
             int32_t height) {
    if (!tools.scaling) return false;
    if (!PromoteTo24Bit(image)) return false;
    os::PixelMemory resampled(Resample(*tools.scaling, image.pixels.Get(), image.header.biWidth, image.header.biHeight,
                                       width, height, options.resampleFilter, &image.header));
    if (!resampled) return false;
    ReplacePixels(image, std::move(resampled), width, height, 24);
    // A picture that cannot be sharpened is written unsharpened.
    if (options.sharpness != 0 && tools.sharpen) Sharpen(*tools.sharpen, image, 2 * options.sharpness);
    return true;
}

bool PromoteTo24Bit(DecodedImage& image) {
    if (image.header.biBitCount == 24) return true;
    if (image.header.biBitCount != 8 || !image.pixels || image.header.biWidth <= 0 || image.header.biHeight <= 0)
        return false;
    const uint32_t width = uint32_t(image.header.biWidth), height = uint32_t(image.header.biHeight);
    os::PixelMemory promoted = AllocatePixelBuffer(width, height, 24);
    if (!promoted) return false;
    const uint32_t sourceStride = RowStride(width, 8), targetStride = RowStride(width, 24);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = image.pixels.Get() + size_t(y) * sourceStride;
        uint8_t* out = promoted.Get() + size_t(y) * targetStride;
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            const RGBQUAD& entry = image.palette[in[x]];
            out[0] = entry.rgbBlue;
            out[1] = entry.rgbGreen;
            out[2] = entry.rgbRed;
        }
    }
    ReplacePixels(image, std::move(promoted), int32_t(width), int32_t(height), 24);
    return true;
}

bool CropCentre(DecodedImage& image, int32_t W, int32_t H) {
    const int32_t w = image.header.biWidth, h = image.header.biHeight;
    if (W <= 0 || H <= 0 || W > w || H > h) return false;
    CropRectangle box;
    box.left = (w - W) / 2;
    box.top = (h - H) / 2;
    box.right = box.left + W - 1;
    box.bottom = box.top + H - 1;
    int32_t croppedWidth = 0, croppedHeight = 0;
    os::PixelMemory cropped =
        CropRect(box, image.pixels.Get(), w, h, image.header.biBitCount, croppedWidth, croppedHeight);
    if (!cropped) return false;
    ReplacePixels(image, std::move(cropped), croppedWidth, croppedHeight, image.header.biBitCount);
    return true;
}

os::PixelMemory CropRect(const CropRectangle& rectangle, const uint8_t* pixels, int32_t width, int32_t height,
                         uint32_t bitCount, int32_t& croppedWidth, int32_t& croppedHeight) {
    if ((bitCount != 8 && bitCount != 24) || !pixels) return {};
    if (rectangle.left < 0 || rectangle.top < 0 || rectangle.right < rectangle.left ||
        rectangle.bottom < rectangle.top || rectangle.right >= width || rectangle.bottom >= height)
        return {};
    const uint32_t outWidth = uint32_t(rectangle.right - rectangle.left + 1);
    const uint32_t outHeight = uint32_t(rectangle.bottom - rectangle.top + 1);
    os::PixelMemory cropped = AllocatePixelBuffer(outWidth, outHeight, bitCount);
    if (!cropped) return {};
    const uint32_t bytesPerPixel = bitCount / 8;
    const uint32_t sourceStride = RowStride(uint32_t(width), bitCount), targetStride = RowStride(outWidth, bitCount);
    // Rows are stored bottom-up: the rectangle's bottom row is stored first.
    const uint32_t firstStoredRow = uint32_t(height - rectangle.bottom - 1);
    const uint8_t* in = pixels + size_t(firstStoredRow) * sourceStride + size_t(rectangle.left) * bytesPerPixel;
    for (uint32_t y = 0; y < outHeight; ++y)
        std::memcpy(cropped.Get() + size_t(y) * targetStride, in + size_t(y) * sourceStride,
                    size_t(outWidth) * bytesPerPixel);
    croppedWidth = int32_t(outWidth);
    croppedHeight = int32_t(outHeight);
    return cropped;
}

}  // namespace qdx
