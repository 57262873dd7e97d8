#include "codecs/common/cicp_profile.h"

#include <utility>

#include "codecs/common/lcms_owners.h"
#include "core/decoded_image.h"

namespace qdx {
namespace {

// H.273 code points.
constexpr uint32_t kPrimariesBt709 = 1;  // sRGB's
constexpr uint32_t kPrimariesUnspecified = 2;
constexpr uint32_t kTransferBt709 = 1;
constexpr uint32_t kTransferUnspecified = 2;
constexpr uint32_t kTransferGamma22 = 4;
constexpr uint32_t kTransferGamma28 = 5;
constexpr uint32_t kTransferBt601 = 6;
constexpr uint32_t kTransferSmpte240 = 7;
constexpr uint32_t kTransferLinear = 8;
constexpr uint32_t kTransferSrgb = 13;
constexpr uint32_t kTransferBt2020TenBit = 14;
constexpr uint32_t kTransferBt2020TwelveBit = 15;

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
constexpr cmsCIExyY kIlluminantC{0.310, 0.316, 1.0};
constexpr cmsCIExyY kDciWhite{0.314, 0.351, 1.0};

struct Primaries {
    uint32_t code;
    cmsCIExyYTRIPLE colorants;  // red, green, blue
    cmsCIExyY white;
};
constexpr Primaries kPrimaries[] = {
    {kPrimariesBt709, {{0.640, 0.330, 1}, {0.300, 0.600, 1}, {0.150, 0.060, 1}}, kD65},
    {4, {{0.670, 0.330, 1}, {0.210, 0.710, 1}, {0.140, 0.080, 1}}, kIlluminantC},   // BT.470 System M
    {5, {{0.640, 0.330, 1}, {0.290, 0.600, 1}, {0.150, 0.060, 1}}, kD65},           // BT.601 625 lines
    {6, {{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}}, kD65},           // BT.601 525 lines
    {7, {{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}}, kD65},           // SMPTE 240M
    {8, {{0.681, 0.319, 1}, {0.243, 0.692, 1}, {0.145, 0.049, 1}}, kIlluminantC},   // generic film
    {9, {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}, kD65},           // BT.2020
    {11, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, kDciWhite},     // DCI-P3
    {12, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, kD65},          // Display P3
    {22, {{0.630, 0.340, 1}, {0.295, 0.605, 1}, {0.155, 0.077, 1}}, kD65},          // EBU Tech 3213
};

// lcms parametric curves from signal to light: type 1 is Y = X^g; type 4 is
// Y = (aX + b)^g for X >= d and Y = cX below (parameters g, a, b, c, d).
constexpr cmsFloat64Number kBt709Inverse[] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
constexpr cmsFloat64Number kSmpte240Inverse[] = {1 / 0.45, 1 / 1.1115, 0.1115 / 1.1115, 1 / 4.0, 0.0913};
constexpr cmsFloat64Number kSrgbInverse[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
constexpr cmsFloat64Number kGamma22[] = {2.2};
constexpr cmsFloat64Number kGamma28[] = {2.8};
constexpr cmsFloat64Number kLinear[] = {1.0};

struct Transfer {
    uint32_t code;
    int type;
    const cmsFloat64Number* parameters;
};
// The BT.709 camera curve serves BT.601 and BT.2020 as well.
constexpr Transfer kTransfers[] = {
    {kTransferBt709, 4, kBt709Inverse},         {kTransferBt601, 4, kBt709Inverse},
    {kTransferBt2020TenBit, 4, kBt709Inverse},  {kTransferBt2020TwelveBit, 4, kBt709Inverse},
    {kTransferSmpte240, 4, kSmpte240Inverse},   {kTransferGamma22, 1, kGamma22},
    {kTransferGamma28, 1, kGamma28},            {kTransferLinear, 1, kLinear},
    {kTransferSrgb, 4, kSrgbInverse},
};

template <typename Entry, size_t Count>
const Entry* Find(const Entry (&table)[Count], uint32_t code) {
    for (const Entry& entry : table)
        if (entry.code == code) return &entry;
    return nullptr;
}

}  // namespace

bool MakeCicpProfile(uint32_t primaries, uint32_t transfer, EmbeddedBlock& profile) {
    if (primaries == kPrimariesUnspecified) primaries = kPrimariesBt709;
    if (transfer == kTransferUnspecified) transfer = kTransferSrgb;
    if (primaries == kPrimariesBt709 && transfer == kTransferSrgb) return false;
    const Primaries* space = Find(kPrimaries, primaries);
    const Transfer* curveOf = Find(kTransfers, transfer);
    if (!space || !curveOf) return false;

    const lcms::Curve curve(
        cmsBuildParametricToneCurve(nullptr, curveOf->type, curveOf->parameters));
    if (!curve) return false;
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    const lcms::Profile made(cmsCreateRGBProfile(&space->white, &space->colorants, curves));
    cmsUInt32Number size = 0;
    if (!made || !cmsSaveProfileToMem(made.get(), nullptr, &size) || size == 0) return false;
    os::HeapMemory bytes;
    if (!bytes.Allocate(size) || !cmsSaveProfileToMem(made.get(), bytes.Get(), &size)) return false;
    profile.bytes = std::move(bytes);
    profile.size = size;
    return true;
}

}  // namespace qdx
