#pragma once
// Resampling state kept for a whole batch.
namespace qdx {

struct ScalingState {
    void* halftoneDc = nullptr;  // memory device context of the halftone filter (Windows)
};

}  // namespace qdx
