#include "codecs/common/colour_to_srgb.h"

#include <lcms2.h>

#include <cmath>
#include <memory>

#include "codecs/common/lcms_owners.h"
#include "core/decoded_image.h"

namespace qdx {
namespace {

using lcms::Curve;
using lcms::Profile;
using lcms::Transform;

constexpr cmsUInt32Number kIntent = INTENT_RELATIVE_COLORIMETRIC;
constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION;
// Colorants (D50-adapted XYZ) closer than this to sRGB's count as sRGB's:
// published sRGB profiles differ from one another in the fourth decimal.
constexpr double kColorantTolerance = 0.002;
// Tone curves closer than a quarter level everywhere map every 8-bit value
// to the same byte as sRGB's own.
constexpr double kCurveTolerance = 0.25 / 255.0;
constexpr int kCurveSamples = 256;

// sRGB's tone curve: the IEC 61966-2-1 parametric form (lcms type 4).
Curve SrgbCurve() {
    const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return Curve(cmsBuildParametricToneCurve(nullptr, 4, parameters));
}

bool CurveIsSrgb(const cmsToneCurve* curve, const cmsToneCurve* srgb) {
    if (!curve) return false;
    for (int i = 0; i < kCurveSamples; ++i) {
        const cmsFloat32Number v = cmsFloat32Number(i) / (kCurveSamples - 1);
        if (std::fabs(cmsEvalToneCurveFloat(curve, v) - cmsEvalToneCurveFloat(srgb, v)) > kCurveTolerance)
            return false;
    }
    return true;
}

// The colour space a profile's header names: any four bytes a file holds,
// kept as a number (not every value is one the library's list names).
uint32_t SpaceOf(cmsHPROFILE profile) { return uint32_t(cmsGetColorSpace(profile)); }

bool ColorantIs(cmsHPROFILE profile, cmsHPROFILE srgb, cmsTagSignature tag) {
    const auto* mine = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
    const auto* theirs = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb, tag));
    return mine && theirs && std::fabs(mine->X - theirs->X) <= kColorantTolerance &&
           std::fabs(mine->Y - theirs->Y) <= kColorantTolerance && std::fabs(mine->Z - theirs->Z) <= kColorantTolerance;
}

bool ProfileIsSrgb(cmsHPROFILE profile) {
    const Curve srgbCurve = SrgbCurve();
    if (!srgbCurve) return false;
    const uint32_t space = SpaceOf(profile);
    if (space == cmsSigGrayData)
        return CurveIsSrgb(static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag)), srgbCurve.get());
    if (space != cmsSigRgbData || !cmsIsMatrixShaper(profile)) return false;
    // A profile with lookup tables may render differently from its matrix.
    if (cmsIsTag(profile, cmsSigAToB0Tag) || cmsIsTag(profile, cmsSigBToA0Tag) ||
        cmsIsTag(profile, cmsSigAToB1Tag) || cmsIsTag(profile, cmsSigBToA1Tag))
        return false;
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb) return false;
    for (cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag})
        if (!ColorantIs(profile, srgb.get(), tag)) return false;
    for (cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
        if (!CurveIsSrgb(static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag)), srgbCurve.get())) return false;
    return true;
}

uint32_t Width(const DecodedImage& image) { return uint32_t(image.header.biWidth); }
uint32_t Height(const DecodedImage& image) {
    return uint32_t(image.header.biHeight < 0 ? -int64_t(image.header.biHeight) : image.header.biHeight);
}

// Rows of 24-bit pixels, converted in place.
bool ConvertRgbPixels(cmsHPROFILE source, DecodedImage& image) {
    const Profile srgb(cmsCreate_sRGBProfile());
    const Transform transform(srgb ? cmsCreateTransform(source, TYPE_BGR_8, srgb.get(), TYPE_BGR_8, kIntent, kFlags)
                                   : nullptr);
    if (!transform) return false;
    const uint32_t width = Width(image);
    const uint32_t stride = RowStride(width, 24);
    for (uint32_t y = 0; y < Height(image); ++y) {
        uint8_t* row = image.pixels.Get() + size_t(y) * stride;
        cmsDoTransform(transform.get(), row, row, width);
    }
    return true;
}

// The 256 palette entries through an RGB profile.
bool ConvertRgbPalette(cmsHPROFILE source, DecodedImage& image) {
    const Profile srgb(cmsCreate_sRGBProfile());
    const Transform transform(srgb ? cmsCreateTransform(source, TYPE_BGRA_8, srgb.get(), TYPE_BGRA_8, kIntent,
                                                        kFlags | cmsFLAGS_COPY_ALPHA)
                                   : nullptr);
    if (!transform) return false;
    cmsDoTransform(transform.get(), image.palette, image.palette, 256);
    return true;
}

// A grey picture stays grey: its levels go through a grey profile into a grey
// with sRGB's tone curve, and each palette entry takes the new level.
bool ConvertGreyPalette(cmsHPROFILE source, DecodedImage& image) {
    const Curve curve = SrgbCurve();
    const Profile target(curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve.get()) : nullptr);
    const Transform transform(
        target ? cmsCreateTransform(source, TYPE_GRAY_8, target.get(), TYPE_GRAY_8, kIntent, kFlags) : nullptr);
    if (!transform) return false;
    for (RGBQUAD& entry : image.palette) {
        // A grey picture's palette is a ramp: any of its channels is the level.
        const uint8_t level = entry.rgbGreen;
        uint8_t out = 0;
        cmsDoTransform(transform.get(), &level, &out, 1);
        entry.rgbBlue = entry.rgbGreen = entry.rgbRed = out;
    }
    return true;
}

// A CMYK source's own samples into the 24-bit pixels.
bool ConvertCmykSamples(cmsHPROFILE source, DecodedImage& image) {
    const Profile srgb(cmsCreate_sRGBProfile());
    const cmsUInt32Number input = image.cmykInverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8;
    const Transform transform(srgb ? cmsCreateTransform(source, input, srgb.get(), TYPE_BGR_8, kIntent, kFlags)
                                   : nullptr);
    if (!transform) return false;
    const uint32_t width = Width(image);
    const uint32_t stride = RowStride(width, 24);
    const uint32_t samplesStride = RowStride(width, 32);
    for (uint32_t y = 0; y < Height(image); ++y)
        cmsDoTransform(transform.get(), image.cmykSamples.Get() + size_t(y) * samplesStride,
                       image.pixels.Get() + size_t(y) * stride, width);
    return true;
}

}  // namespace

bool IsSrgbProfile(const uint8_t* profile, uint32_t size) {
    const Profile opened(profile && size ? cmsOpenProfileFromMem(profile, size) : nullptr);
    return opened && ProfileIsSrgb(opened.get());
}

ProfileOutcome ConvertToSrgb(DecodedImage& image) {
    if (image.iccProfile.size == 0) return ProfileOutcome::NoProfile;
    const Profile profile(cmsOpenProfileFromMem(image.iccProfile.bytes.Get(), image.iccProfile.size));
    if (!profile || !image.pixels || image.header.biWidth <= 0) return ProfileOutcome::Ignored;
    const uint16_t bits = image.header.biBitCount;
    const uint32_t space = SpaceOf(profile.get());
    bool converted = false;
    if (space == cmsSigCmykData && image.cmykSamples && bits == 24) {
        // No sRGB shortcut here: the pixels hold the plain conversion.
        converted = ConvertCmykSamples(profile.get(), image);
        return converted ? ProfileOutcome::Converted : ProfileOutcome::Ignored;
    }
    const bool usable = (space == cmsSigRgbData && (bits == 24 || bits == 8)) || (space == cmsSigGrayData && bits == 8);
    if (!usable) return ProfileOutcome::Ignored;
    if (ProfileIsSrgb(profile.get())) return ProfileOutcome::AlreadySrgb;
    if (space == cmsSigGrayData)
        converted = ConvertGreyPalette(profile.get(), image);
    else if (bits == 24)
        converted = ConvertRgbPixels(profile.get(), image);
    else
        converted = ConvertRgbPalette(profile.get(), image);
    return converted ? ProfileOutcome::Converted : ProfileOutcome::Ignored;
}

}  // namespace qdx
