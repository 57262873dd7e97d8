#pragma once
// Resampling state kept for a whole batch.
namespace qdx {

struct ScalingState {
    void* halftoneDc = nullptr;  // memory device context of the halftone filter (Windows)
};

// Creates the halftone filter's memory device context once per batch (a
// no-op where there is no GDI). False when it cannot be created.
bool PrepareHalftoneContext(ScalingState& state);

}  // namespace qdx
