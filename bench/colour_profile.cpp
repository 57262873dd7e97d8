// What converting a tagged photo to sRGB costs: a 4000 x 3000 JPEG (quality
// 90, 4:2:0) decoded, and the decoded picture converted from Display P3 and
// from Adobe RGB, each as a ratio to the decode of the same file (the floor
// every conversion of that photo pays anyway).
//
// Usage: bench_colour_profile
// Times are processor time, best of several runs.
#include <lcms2.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codecs/common/colour_to_srgb.h"
#include "codecs/read/jpeg_reader.h"
#include "codecs/write/jpeg_writer.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

using namespace qdx;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename Step>
double BestOf(int runs, Step step) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds();
        step();
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

// Photo-like shading and texture.
void MakePhoto(DecodedImage& image, int width, int height) {
    SetImageHeader(image, width, height, 24);
    image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), 24);
    const uint32_t stride = RowStride(uint32_t(width), 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.pixels.Get() + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double shade = 110 + 60 * std::sin(u * 5.1 + v * 2.3) + 40 * std::cos(v * 7.7 - u * 1.9);
            for (int c = 0; c < 3; ++c)
                row[x * 3 + c] = uint8_t(std::clamp(shade * (0.7 + 0.2 * c) + ((x * 7 + y * 13 + c) % 23), 0.0, 255.0));
        }
    }
}

std::string Profile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
    const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

}  // namespace

int main() {
    WideString folder;
    if (!os::TemporaryFolder(folder)) return 1;
    WideString input;
    SetFolderPlusName(input, folder.Text(), u"qdx-bench-colour.jpg");
    {
        DecodedImage photo;
        MakePhoto(photo, 4000, 3000);
        JpegWriterState writer;
        PrepareJpegWriter(writer, photo, 90, false);
        if (!WriteJpegFile(writer, input, photo.palette, photo.pixels.Get())) return 1;
    }
    JpegReaderState reader;
    DecodedImage decoded;
    const double decode = BestOf(5, [&] {
        if (!ReadJpegImage(reader, input, &decoded)) std::exit(1);
    });
    std::printf("4000 x 3000 JPEG decode: %.3f s (floor)\n", decode);

    const cmsFloat64Number srgbCurve[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    const struct {
        const char* name;
        std::string profile;
    } spaces[] = {
        {"Display P3", Profile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}},
                               cmsBuildParametricToneCurve(nullptr, 4, srgbCurve))},
        {"Adobe RGB", Profile({{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, cmsBuildGamma(nullptr, 2.2))},
    };
    for (const auto& space : spaces) {
        AssignEmbeddedBlock(decoded.iccProfile, reinterpret_cast<const uint8_t*>(space.profile.data()),
                            uint32_t(space.profile.size()));
        const double convert = BestOf(5, [&] {
            if (ConvertToSrgb(decoded) != ProfileOutcome::Converted) std::exit(1);
        });
        std::printf("%-10s to sRGB: %.3f s = %.2f x the decode\n", space.name, convert, convert / decode);
    }
    os::RemoveFile(input.Text());
    return 0;
}
