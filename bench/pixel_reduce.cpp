// Times, on one thread, the reduction of a 12-megapixel photo-like 24-bit
// image to 256 colours (Convert 24 -> 8 and ReduceForGif), and a BMP read and
// write of the same image next to a plain memcpy of its bytes plus the same
// file input and output. Prints the median of several runs.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "batch/conversion_context.h"
#include "codecs/read/bmp_reader.h"
#include "codecs/write/bmp_writer.h"
#include "codecs/write/colour_reduction.h"
#include "codecs/write/pixel_converter.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

using namespace qdx;

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;

double MedianSeconds(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Smooth light and colour gradients, a few hard-edged shapes and sensor-like
// noise: hundreds of thousands of distinct colours, as in a photograph.
void FillPhoto(uint8_t* pixels, uint32_t stride, int noiseSpread) {
    std::mt19937 random(2024);
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = pixels + uint64_t(y) * stride;
        for (uint32_t x = 0; x < kWidth; ++x) {
            const double fx = double(x) / kWidth, fy = double(y) / kHeight;
            double r = 120 + 90 * std::sin(3.1 * fx + 1.3 * fy) + 30 * std::cos(7.0 * fy);
            double g = 110 + 80 * std::sin(2.3 * fy + 0.7) * std::cos(1.9 * fx);
            double b = 140 + 70 * std::cos(2.7 * fx - 1.1 * fy);
            const double dx = fx - 0.6, dy = fy - 0.4;
            if (dx * dx + dy * dy < 0.03) r *= 0.5, g = 230 - g * 0.3, b *= 0.8;  // a disc
            if (x % 800 < 40) r = g = b = 30 + 0.1 * y / 12.0;                       // posts
            const int noise = int(random() % (2 * noiseSpread + 1)) - noiseSpread;
            const int tint = noiseSpread > 3 ? int(random() % 9) - 4 : 0;
            row[3 * x + 0] = uint8_t(std::clamp(int(b) + noise, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(int(g) + noise + tint, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(int(r) - noise, 0, 255));
        }
    }
}

uint32_t DistinctColours(const uint8_t* pixels, uint32_t stride) {
    std::vector<uint8_t> work(size_t(kWidth) * kHeight * 4);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            std::memcpy(&work[(size_t(y) * kWidth + x) * 4], &pixels[size_t(y) * stride + 3 * x], 3);
    return CountColours(kWidth * kHeight, work.data());
}

WideString TempPath(const char* name) {
    WideString folder, leaf, path;
    os::TemporaryFolder(folder);
    AppendUtf8(leaf, name);
    SetFolderPlusName(path, folder.Text(), leaf.Text());
    return path;
}

}  // namespace

int main() {
    const uint32_t stride24 = RowStride(kWidth, 24);
    const size_t size24 = size_t(stride24) * kHeight;
    std::vector<uint8_t> photo(size24 + 4);
    FillPhoto(photo.data(), stride24, 3);
    std::printf("image: %u x %u, 24 bits (%.1f MB), %u distinct colours\n", kWidth, kHeight, size24 / 1e6,
                DistinctColours(photo.data(), stride24));

    // ---- 24 -> 8 reduction ----
    RGBQUAD none[256] = {};
    RGBQUAD palette[256];
    PixelConverter converter;
    converter.width = kWidth;
    converter.height = kHeight;
    SetLayout(converter, 24, 8);
    std::vector<uint8_t> indices(converter.imageSize + 4);
    bool ok = true;
    const double convert = MedianSeconds(5, [&] {
        std::memset(palette, 0, sizeof palette);
        ok &= Convert(converter, none, photo.data(), palette, indices.data());
    });
    std::vector<uint8_t> packed(size_t(kWidth) * kHeight + 4);
    const double gif = MedianSeconds(5, [&] {
        std::memset(palette, 0, sizeof palette);
        ok &= ReduceForGif(converter, none, photo.data(), palette, packed.data());
    });
    std::printf("Convert 24->8 (median cut, nearest colour): %.3f s median of 5\n", convert);
    std::printf("ReduceForGif 24->8:                         %.3f s median of 5\n", gif);
    {
        // A grainier picture (high-ISO noise): far more distinct colours.
        std::vector<uint8_t> grainy(size24 + 4);
        FillPhoto(grainy.data(), stride24, 12);
        const double noisy = MedianSeconds(3, [&] {
            std::memset(palette, 0, sizeof palette);
            ok &= Convert(converter, none, grainy.data(), palette, indices.data());
        });
        std::printf("Convert 24->8 of a grainy variant:          %.3f s median of 3 (%u distinct colours)\n", noisy,
                    DistinctColours(grainy.data(), stride24));
    }
    if (!ok) {
        std::printf("REDUCTION FAILED\n");
        return 1;
    }

    // ---- BMP read + write against memcpy + the same file input and output ----
    const WideString source = TempPath("qdx-bench-source.bmp");
    const WideString target = TempPath("qdx-bench-target.bmp");
    const WideString copy = TempPath("qdx-bench-copy.bmp");
    {
        BmpWriterState writer;
        writer.converter.width = kWidth;
        writer.converter.height = kHeight;
        SetLayout(writer.converter, 24, 24);
        ok &= WriteBmpFile(writer, source, none, photo.data());
    }
    BmpReaderState reader;
    BmpWriterState writer;
    DecodedImage image;
    const double bmp = MedianSeconds(7, [&] {
        ok &= ReadBmpImage(reader, source, &image);
        writer.converter.width = image.header.biWidth;
        writer.converter.height = image.header.biHeight;
        SetLayout(writer.converter, 24, 24);
        ok &= WriteBmpFile(writer, target, image.palette, image.pixels.Get());
    });
    const double plain = MedianSeconds(7, [&] {
        os::File in;
        os::MappedView view;
        uint64_t size = 0;
        ok &= os::OpenForReadShared(source.Text(), in) && os::FileSize(in, size) && os::MapWholeFile(in, size, view);
        os::PixelMemory buffer;
        ok &= buffer.Allocate(size);
        if (buffer) std::memcpy(buffer.Get(), view.Data(), size_t(size));
        view.Unmap();
        in.Close();
        os::File out;
        ok &= os::CreateForWrite(copy.Text(), out) && os::WriteAll(out, buffer.Get(), uint32_t(size));
        out.Close();
    });
    std::printf("BMP read + write, 24 bits:                  %.3f s median of 7\n", bmp);
    std::printf("memcpy + same file input and output:        %.3f s median of 7\n", plain);
    std::printf("ratio:                                      %.2f (target at most 2)\n", bmp / plain);
    os::RemoveFile(source.Text());
    os::RemoveFile(target.Text());
    os::RemoveFile(copy.Text());
    if (!ok) std::printf("BMP ROUND TRIP FAILED\n");
    return ok ? 0 : 1;
}
