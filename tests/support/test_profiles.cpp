#include "tests/support/test_profiles.h"

#include <lcms2.h>

#include <cmath>

namespace qdx::test {
namespace {

constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};
constexpr int kTableEntries = 1024;

std::string Save(cmsHPROFILE profile) {
    std::string bytes;
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

std::string Rgb(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = curve ? cmsCreateRGBProfile(&kD65, &primaries, curves) : nullptr;
    if (curve) cmsFreeToneCurve(curve);
    return Save(profile);
}

cmsToneCurve* SrgbCurve() {
    const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

// CMYK to Lab through a model of imperfect inks: each takes away most of its
// share of red, green or blue, black most of all three; the result read as
// sRGB. Far enough from the plain formula to tell the two apart.
int SampleCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    auto toLab = static_cast<cmsHTRANSFORM>(cargo);
    const double k = 0.9 * in[3] / 65535.0;
    const double rgb[3] = {(1 - 0.85 * in[0] / 65535.0) * (1 - k), (1 - 0.8 * in[1] / 65535.0) * (1 - k),
                           (1 - 0.9 * in[2] / 65535.0) * (1 - k)};
    cmsCIELab lab;
    cmsDoTransform(toLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

}  // namespace

std::string AdobeRgbProfile() {
    return Rgb({{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}}, cmsBuildGamma(nullptr, 563.0 / 256.0));
}

std::string DisplayP3Profile() {
    return Rgb({{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}, SrgbCurve());
}

std::string GreyProfile() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsHPROFILE profile = curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve) : nullptr;
    if (curve) cmsFreeToneCurve(curve);
    return Save(profile);
}

std::string RenamedTabulatedSrgbProfile() {
    cmsToneCurve* srgb = SrgbCurve();
    if (!srgb) return {};
    cmsFloat32Number table[kTableEntries];
    for (int i = 0; i < kTableEntries; ++i) table[i] = cmsEvalToneCurveFloat(srgb, cmsFloat32Number(i) / (kTableEntries - 1));
    cmsFreeToneCurve(srgb);
    cmsToneCurve* tabulated = cmsBuildTabulatedToneCurveFloat(nullptr, kTableEntries, table);
    cmsToneCurve* curves[3] = {tabulated, tabulated, tabulated};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsHPROFILE profile = tabulated ? cmsCreateRGBProfile(&kD65, &primaries, curves) : nullptr;
    if (tabulated) cmsFreeToneCurve(tabulated);
    if (profile) {
        cmsMLU* name = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(name, "en", "US", "Camera working space");
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, name);
        cmsMLUfree(name);
    }
    return Save(profile);
}

std::string CmykProfile() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    if (!toLab) return {};
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    bool ok = profile && pipeline && table && cmsStageSampleCLut16bit(table, SampleCmyk, toLab, 0);
    if (ok) ok = cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, table);
    else if (table) cmsStageFree(table);
    // A version 4 lookup table is stored as curves, table, curves: identity curves around it.
    if (ok) ok = cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    if (ok) ok = cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    if (ok) {
        cmsSetProfileVersion(profile, 4.3);
        cmsSetDeviceClass(profile, cmsSigInputClass);
        cmsSetColorSpace(profile, cmsSigCmykData);
        cmsSetPCS(profile, cmsSigLabData);
        ok = cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ()) &&
             cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
        cmsMLU* name = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(name, "en", "US", "Test press");
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, name);
        cmsMLUfree(name);
    }
    if (pipeline) cmsPipelineFree(pipeline);
    cmsDeleteTransform(toLab);
    if (!ok) {
        if (profile) cmsCloseProfile(profile);
        return {};
    }
    return Save(profile);
}

}  // namespace qdx::test
