#include "scale/scaling.h"

#include <cstring>

#include "scale/filters.h"

namespace qdx {

bool PrepareHalftoneContext(ScalingState& state) {
    if (!os::kHasHalftoneStretch) return true;  // area averaging stands in; nothing to make
    if (state.halftoneDc.IsOpen()) return true;
    return state.halftoneDc.Create();
}

namespace {

os::PixelMemory HalftoneResample(ScalingState& state, const uint8_t* source, int32_t sourceWidth,
                                 int32_t sourceHeight, int32_t targetWidth, int32_t targetHeight,
                                 const BITMAPINFOHEADER* sourceHeader) {
    if (!state.halftoneDc.IsOpen() || !sourceHeader) return {};
    // The header goes to the system as the description of the source bits.
    if (sourceHeader->biWidth != sourceWidth || sourceHeader->biHeight != sourceHeight ||
        sourceHeader->biBitCount != 24 || sourceHeader->biCompression != 0)
        return {};
    os::PixelMemory result = AllocatePixelBuffer(uint32_t(targetWidth), uint32_t(targetHeight), 24);
    if (!result) return {};
    const uint32_t bytes = Stride24(uint32_t(targetWidth)) * uint32_t(targetHeight);
    if (!state.halftoneDc.Stretch(sourceHeader, source, sourceWidth, sourceHeight, result.Get(), targetWidth,
                                  targetHeight, bytes))
        return {};
    return result;
}

}  // namespace

os::PixelMemory Resample(ScalingState& state, const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
                         int32_t targetWidth, int32_t targetHeight, uint32_t filter,
                         const BITMAPINFOHEADER* sourceHeader) {
    if (!source || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return {};
    if (filter > FilterHalftone) return {};
    uint32_t sourceSize = 0, targetSize = 0;
    if (!PixelBufferSize(uint32_t(sourceWidth), uint32_t(sourceHeight), 24, sourceSize) ||
        !PixelBufferSize(uint32_t(targetWidth), uint32_t(targetHeight), 24, targetSize))
        return {};
    const uint32_t sw = uint32_t(sourceWidth), sh = uint32_t(sourceHeight);
    const uint32_t tw = uint32_t(targetWidth), th = uint32_t(targetHeight);

    if (sw == tw && sh == th) {
        os::PixelMemory copy = AllocatePixelBuffer(tw, th, 24);
        if (!copy) return {};
        std::memcpy(copy.Get(), source, size_t(Stride24(sw)) * sh);
        return copy;
    }
    switch (filter) {
        case FilterAreaAverage:
            return AreaAverageResample(source, sw, sh, tw, th, state.pool);
        case FilterBicubic:
            return BicubicResample(state, source, sw, sh, tw, th);
        case FilterNearest:
            return NearestResample(source, sw, sh, tw, th);
        default:
            // Without a system halftone stretch, area averaging stands in.
            if (!os::kHasHalftoneStretch) return AreaAverageResample(source, sw, sh, tw, th, state.pool);
            return HalftoneResample(state, source, sourceWidth, sourceHeight, targetWidth, targetHeight,
                                    sourceHeader);
    }
}

}  // namespace qdx
