#pragma once
// Turns a decoded picture's colours from the ICC profile its file carried into
// sRGB through lcms2 (relative colorimetric, black-point compensation): 24-bit
// pixels in place, 8-bit pictures through their palette (a grey profile keeps
// grey pictures grey), CMYK sources from the samples the reader kept. A
// picture with no profile, an sRGB profile (recognised by its colorants and
// curves) or a profile that cannot be used keeps every byte as it is.
#include <cstdint>

namespace qdx {

struct DecodedImage;

enum class ProfileOutcome : uint8_t {
    NoProfile = 0,
    AlreadySrgb = 1,  // the profile is sRGB's own: nothing to do
    Converted = 2,
    Ignored = 3,  // damaged, or of a colour space this picture cannot use
};

ProfileOutcome ConvertToSrgb(DecodedImage& image);

// True when the profile's colorants and tone curves are sRGB's (RGB), or its
// grey curve is sRGB's (grey); false for anything else or a damaged profile.
bool IsSrgbProfile(const uint8_t* profile, uint32_t size);

}  // namespace qdx
