#pragma once
// HEIF and AVIF files may describe their colours by code points (ITU-T H.273:
// colour primaries and transfer characteristics) instead of an ICC profile.
// This turns such a description into an ICC profile, so that the pictures go
// through the same conversion to sRGB as every profile a file carries.
#include <cstdint>

namespace qdx {

struct EmbeddedBlock;

// Makes the RGB profile of `primaries` and `transfer` into `profile`. False,
// with the block left as it was, when there is nothing to convert: sRGB's own
// primaries (BT.709) with sRGB's curve, unspecified values (taken as sRGB's),
// and descriptions no colorimetric conversion to sRGB can render (the HDR
// curves PQ and HLG, XYZ primaries, unknown code points).
bool MakeCicpProfile(uint32_t primaries, uint32_t transfer, EmbeddedBlock& profile);

}  // namespace qdx
