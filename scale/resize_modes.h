#pragma once
// The preset's resize modes: decide the target size, promote, resample,
// sharpen and crop the context's picture, then run the selected output step.
// Resizing only ever shrinks; a picture within the preset's limits goes to the
// writer untouched.
#include <cstdint>

namespace qdx {

struct ConversionContext;
struct DecodedImage;

// `resizeMode` codes of a preset.
inline constexpr uint32_t ResizeNone = 0;
inline constexpr uint32_t ResizeToWidth = 1;
inline constexpr uint32_t ResizeToHeight = 2;
inline constexpr uint32_t ResizeLongerSide = 3;
inline constexpr uint32_t ResizeShorterSide = 4;
inline constexpr uint32_t ResizeToBox = 5;

// Applies the preset's resize mode, then calls the context's output step and
// returns its result. False without writing when the resize fails.
bool ResizeAndWrite(ConversionContext& context);

enum class ScaleSide { Width, Height };

// Limits one side to `limit`, keeping the aspect (the other side rounded half
// up, at least 1). Nothing happens when the limit is not positive or the side
// is not longer than it.
bool ScaleSideTo(ConversionContext& context, ScaleSide side, int32_t limit);

// Promotes the picture to 24 bits, resamples it to width x height with the
// preset's filter and sharpens it when the preset asks for that.
bool ScaleTo(ConversionContext& context, int32_t width, int32_t height);

// Expands an 8-bit picture through its palette into a new 24-bit buffer; a
// 24-bit picture is left as it is. False (picture unchanged) on failure.
bool PromoteTo24Bit(ConversionContext& context);

// Cuts the preset's box (targetWidth x targetHeight) out of the middle of the
// picture; an odd overhang loses its extra column at the right and its extra
// row at the bottom.
bool CropCentre(ConversionContext& context);

// Inclusive rectangle in picture coordinates, row 0 at the top.
struct CropRectangle {
    int32_t left, top, right, bottom;
};

// Copies the rectangle out of an 8- or 24-bit picture into a new buffer from
// the pixel allocator and returns it with its width and height; null when the
// bit count is not 8 or 24, the rectangle is empty or not inside the picture,
// or memory is short.
uint8_t* CropRect(const CropRectangle& rectangle, const uint8_t* pixels, int32_t width, int32_t height,
                  uint32_t bitCount, int32_t& croppedWidth, int32_t& croppedHeight);

}  // namespace qdx
