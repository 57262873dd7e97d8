#pragma once
// Resampling of 24-bit pictures (bottom-up rows padded to 4 bytes) with one
// of four filters, and the state the filters keep for a whole batch.
#include <cstdint>

#include "core/bitmap_types.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/preset_codes.h"
#include "scale/bicubic_lanes.h"

namespace qdx {

class WorkerPool;

struct ScalingState {
    // Memory device context of the halftone filter; made once per batch by
    // PrepareHalftoneContext and deleted with the state.
    os::HalftoneDevice halftoneDc;
    // Weights for distance 0, 1 and 2 of the pre-blur pass being run.
    int32_t preBlurWeights[3] = {0, 0, 0};
    // Threads that share the rows of one picture; none: the calling thread.
    WorkerPool* pool = nullptr;
    // The instruction set of the bicubic inner loops (the best the processor
    // has unless a test asks for a lower one) and whether a bicubic step whose
    // weights allow it runs in exact integers; both give the same bytes.
    Lanes lanes = BestLanes();
    bool exactIntegers = true;
    // Bicubic steps run so far in integers and in doubles.
    uint32_t exactSteps = 0, doubleSteps = 0;
};

// Creates the halftone filter's memory device context once per batch. Where
// the system has no halftone stretch there is nothing to prepare (the filter
// stands in with area averaging) and this succeeds. False when creating the
// context failed; the halftone filter then fails.
bool PrepareHalftoneContext(ScalingState& state);

// Resamples `source` (sourceWidth x sourceHeight, 24 bits) to a new buffer of
// targetWidth x targetHeight from the pixel allocator, or an empty owner on failure.
// The source is never changed. `sourceHeader` (followed in memory by the
// palette, as in a DecodedImage) is used by the halftone filter only and must
// describe the source. A request for the source's own size gives an exact copy.
os::PixelMemory Resample(ScalingState& state, const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
                         int32_t targetWidth, int32_t targetHeight, uint32_t filter,
                         const BITMAPINFOHEADER* sourceHeader);

}  // namespace qdx
