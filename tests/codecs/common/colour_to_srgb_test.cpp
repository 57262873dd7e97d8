// Which pictures the sRGB conversion touches, on both targets: profiles made
// by lcms2 (tests/support/test_profiles.cpp). How close the converted numbers
// are to an independent engine's is checked in tests/batch/source_data_test.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "codecs/common/colour_to_srgb.h"
#include "core/decoded_image.h"
#include "tests/support/test_profiles.h"

namespace qdx {
namespace {

// A 4 x 1 picture: saturated red, green, blue and a mid grey; or, at 8 bits,
// a grey ramp palette.
void MakePicture(DecodedImage& image, uint16_t bits, const std::string& profile) {
    SetImageHeader(image, 4, 1, bits);
    image.pixels = AllocatePixelBuffer(4, 1, bits);
    const uint8_t bgr[12] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 128, 128, 128};
    if (bits == 24) std::memcpy(image.pixels.Get(), bgr, sizeof bgr);
    // Grey pictures have a ramp; other palettes hold colours.
    const bool grey = profile == test::GreyProfile();
    for (int i = 0; i < 256; ++i)
        image.palette[i] = grey ? RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0}
                                : RGBQUAD{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    AssignEmbeddedBlock(image.iccProfile, reinterpret_cast<const uint8_t*>(profile.data()), uint32_t(profile.size()));
}

std::string Bytes(const DecodedImage& image) {
    return std::string(reinterpret_cast<const char*>(image.pixels.Get()), RowStride(4, image.header.biBitCount)) +
           std::string(reinterpret_cast<const char*>(image.palette), sizeof image.palette);
}

TEST(ColourToSrgb, OnlyProfilesOtherThanSrgbChangeThePicture) {
    std::string damaged = test::AdobeRgbProfile();
    damaged.replace(128, 4, "\xFF\xFF\xFF\xFF");  // a tag count lcms refuses
    const std::string noProfile;
    struct Case {
        const char* what;
        std::string profile;
        uint16_t bits;
        ProfileOutcome outcome;
    };
    const Case cases[] = {
        {"no profile", noProfile, 24, ProfileOutcome::NoProfile},
        {"sRGB by another name, tabulated curves", test::RenamedTabulatedSrgbProfile(), 24, ProfileOutcome::AlreadySrgb},
        {"damaged", damaged, 24, ProfileOutcome::Ignored},
        {"CMYK without the source's samples", test::CmykProfile(), 24, ProfileOutcome::Ignored},
        {"grey profile on a colour picture", test::GreyProfile(), 24, ProfileOutcome::Ignored},
        {"Adobe RGB", test::AdobeRgbProfile(), 24, ProfileOutcome::Converted},
        {"Display P3 on a palette", test::DisplayP3Profile(), 8, ProfileOutcome::Converted},
        {"grey profile on a grey picture", test::GreyProfile(), 8, ProfileOutcome::Converted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DecodedImage image;
        MakePicture(image, c.bits, c.profile);
        const std::string before = Bytes(image);
        EXPECT_EQ(ConvertToSrgb(image), c.outcome);
        EXPECT_EQ(Bytes(image) != before, c.outcome == ProfileOutcome::Converted);
        EXPECT_EQ(IsSrgbProfile(reinterpret_cast<const uint8_t*>(c.profile.data()), uint32_t(c.profile.size())),
                  c.outcome == ProfileOutcome::AlreadySrgb);
        // Neutrals stay neutral: the grey pixel, and every palette entry of a grey picture.
        const uint8_t* grey = image.pixels.Get() + 9;
        if (c.bits == 24) {
            EXPECT_TRUE(std::abs(grey[0] - grey[1]) <= 1 && std::abs(grey[1] - grey[2]) <= 1);
        } else if (c.profile == test::GreyProfile()) {
            for (const RGBQUAD& entry : image.palette)
                ASSERT_TRUE(entry.rgbRed == entry.rgbGreen && entry.rgbGreen == entry.rgbBlue);
        }
    }
}

}  // namespace
}  // namespace qdx
