#pragma once
// ICC profiles made with lcms2 for the tests, fuzz starting inputs and benchmarks:
// nothing is downloaded. Each returns the profile's bytes (empty on failure).
#include <string>

namespace qdx::test {

std::string AdobeRgbProfile();  // Adobe RGB (1998) primaries, gamma 563/256, D65
std::string DisplayP3Profile();  // P3 primaries, sRGB's curve, D65
std::string GreyProfile();  // grey, gamma 1.8
std::string CmykProfile();  // CMYK input profile: a lookup table to Lab
// sRGB under another name, with its curves as a 1024-entry table: recognised
// by colorants and curves alone.
std::string RenamedTabulatedSrgbProfile();

}  // namespace qdx::test
