#pragma once
// The pieces of the bicubic filter that are worth checking on their own.
#include <cstdint>

#include "scale/scaling.h"

namespace qdx {

// A length below 2^32 reaches any target in at most 16 quarterings.
inline constexpr uint32_t kMaxBicubicSteps = 16;

// Step lengths from `sourceLength` down (or up) to `targetLength`: the first
// is target x 4^k for the largest k with target x 4^k < source (k = 0 when
// 4 x target >= source), then each a quarter of the one before. Returns the
// number of steps (at least 1); the last is always the target.
uint32_t BicubicStepPlan(uint32_t sourceLength, uint32_t targetLength, uint32_t lengths[kMaxBicubicSteps]);

// Fills state.preBlurWeights for a pre-blur of ratio r (1 < r <= 4) and
// returns its radius (1 or 2) and shift.
struct PreBlurShape {
    uint32_t radius;
    uint32_t shift;
};
PreBlurShape PreparePreBlur(ScalingState& state, double ratio);

// Cubic convolution kernel with a = -1, for a distance 0 <= t <= 2.
double CubicKernel(double t);

// Weights of the taps floor(x) - 1, floor(x), floor(x) + 1, floor(x) + 2 for
// the source coordinate x; returns floor(x).
int64_t BicubicTapWeights(double x, double weights[4]);

}  // namespace qdx
