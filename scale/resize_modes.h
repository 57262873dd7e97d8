#pragma once
// The preset's resize modes: decide the target size, promote, resample,
// sharpen and crop a picture. Resizing only ever shrinks; a picture within the
// limits is left untouched.
#include <cstdint>

#include "core/os/owned_memory.h"
#include "core/preset_codes.h"

namespace qdx {

struct DecodedImage;
struct ScalingState;
struct SharpenState;

// What a resize asks for: a preset's resize fields.
struct ResizeOptions {
    uint32_t resizeMode = ResizeNone;
    int32_t targetWidth = 0;  // also the limit of the one-side modes
    int32_t targetHeight = 0;
    bool keepAspect = false;
    uint32_t resampleFilter = 0;
    uint32_t sharpness = 0;  // 0 to 3
};

// The states a resize works with: the batch keeps them for all its files. A
// missing sharpen state leaves pictures unsharpened.
struct ResizeTools {
    ScalingState* scaling = nullptr;
    SharpenState* sharpen = nullptr;
};

// Applies the resize mode to the picture. True when the picture is ready to be
// written (resized or left as it was); false when a resize failed.
bool ResizeImage(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image);

enum class ScaleSide { Width, Height };

// Limits one side to `limit`, keeping the aspect (the other side rounded half
// up, at least 1). Nothing happens when the limit is not positive or the side
// is not longer than it.
bool ScaleSideTo(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image, ScaleSide side,
                 int32_t limit);

// Promotes the picture to 24 bits, resamples it to width x height with the
// options' filter and sharpens it when the options ask for that.
bool ScaleTo(const ResizeTools& tools, const ResizeOptions& options, DecodedImage& image, int32_t width,
             int32_t height);

// Expands an 8-bit picture through its palette into a new 24-bit buffer; a
// 24-bit picture is left as it is. False (picture unchanged) on failure.
bool PromoteTo24Bit(DecodedImage& image);

// Cuts a box of width x height out of the middle of the picture; an odd
// overhang loses its extra column at the right and its extra row at the
// bottom.
bool CropCentre(DecodedImage& image, int32_t width, int32_t height);

// Inclusive rectangle in picture coordinates, row 0 at the top.
struct CropRectangle {
    int32_t left, top, right, bottom;
};

// Copies the rectangle out of an 8- or 24-bit picture into a new buffer from
// the pixel allocator and returns it with its width and height; empty when the
// bit count is not 8 or 24, the rectangle is empty or not inside the picture,
// or memory is short.
os::PixelMemory CropRect(const CropRectangle& rectangle, const uint8_t* pixels, int32_t width, int32_t height,
                         uint32_t bitCount, int32_t& croppedWidth, int32_t& croppedHeight);

}  // namespace qdx
