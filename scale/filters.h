#pragma once
// The resampling filters behind Resample.
// Every filter takes a 24-bit picture (bottom-up rows padded to 4 bytes) and
// returns a new buffer from the pixel allocator, or an empty owner with
// everything it allocated released. Sizes are > 0 and the target buffer size has been
// checked by Resample before any filter runs.
#include <cstddef>
#include <cstdint>

#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "scale/scaling.h"

namespace qdx {

// `pool` (or none) shares the lines of each pass among threads.
os::PixelMemory AreaAverageResample(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                    uint32_t targetWidth, uint32_t targetHeight, WorkerPool* pool = nullptr);
os::PixelMemory BicubicResample(ScalingState& state, const uint8_t* source, uint32_t sourceWidth,
                                uint32_t sourceHeight, uint32_t targetWidth, uint32_t targetHeight);
os::PixelMemory NearestResample(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                uint32_t targetWidth, uint32_t targetHeight);

inline uint32_t Stride24(uint32_t width) { return RowStride(width, 24); }

}  // namespace qdx
