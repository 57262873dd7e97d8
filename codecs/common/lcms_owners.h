#pragma once
// Move-only owners of what lcms2 hands out.
#include <lcms2.h>

#include <memory>

namespace qdx::lcms {

struct ProfileClose {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDelete {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
struct CurveFree {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using Profile = std::unique_ptr<void, ProfileClose>;
using Transform = std::unique_ptr<void, TransformDelete>;
using Curve = std::unique_ptr<cmsToneCurve, CurveFree>;

}  // namespace qdx::lcms
