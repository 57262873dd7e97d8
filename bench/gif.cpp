// GIF speed: encoding a 1-megapixel picture of more than 256 colours
// (reduction + LZW) and decoding a 12-megapixel GIF, single-threaded.
// Figures are processor time, best of several runs.
// Usage: bench_gif [FOLDER]  (default: the current folder, which
// scripts/bench.sh makes build/bench; the files are left there for peer tools:
// FOLDER/bench_1mp.rgb, bench_1mp.gif, bench_12mp.gif and the 12 MP indices,
// top-down, in bench_12mp.idx)
#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/read/gif_reader.h"
#include "codecs/write/gif_writer.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/wide_string.h"

using namespace qdx;

namespace {

// Processor time of this process: the machine is shared, so wall-clock time
// says more about the neighbours than about the code.
struct Clock {
    std::clock_t start = std::clock();
    double Seconds() const { return double(std::clock() - start) / CLOCKS_PER_SEC; }
};

WideString PathIn(const std::string& folder, const char* name) {
    std::u16string text;
    for (char c : folder + "/" + name) text.push_back(char16_t(static_cast<unsigned char>(c)));
    return WideString(text.c_str());
}

void WriteFile(const WideString& path, const void* data, size_t size) {
    os::File file;
    if (os::CreateForWrite(path.Text(), file)) os::WriteAll(file, data, uint32_t(size));
}

// A photograph-like test card: smooth gradients, rings and a little noise,
// far more than 256 distinct colours. Blue, green, red, rows bottom-up.
void FillPicture(std::vector<uint8_t>& bgr, int width, int height, uint32_t stride) {
    uint32_t variant = 12345;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bgr.data() + uint64_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            variant = variant * 1103515245u + 12345u;
            const int noise = int((variant >> 16) & 7) - 3;
            const double r = std::sqrt(double((x - width / 2) * (x - width / 2) + (y - height / 3) * (y - height / 3)));
            const int red = int(255.0 * x / width) + noise;
            const int green = int(127.5 + 127.5 * std::sin(r / 40.0)) + noise;
            const int blue = int(255.0 * y / height) + noise;
            row[3 * x] = uint8_t(blue < 0 ? 0 : blue > 255 ? 255 : blue);
            row[3 * x + 1] = uint8_t(green < 0 ? 0 : green > 255 ? 255 : green);
            row[3 * x + 2] = uint8_t(red < 0 ? 0 : red > 255 ? 255 : red);
        }
    }
}

void SaveRgbTopDown(const WideString& path, const std::vector<uint8_t>& bgr, int width, int height,
                    uint32_t stride) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bgr.data() + uint64_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            rgb[(size_t(y) * width + x) * 3] = row[3 * x + 2];
            rgb[(size_t(y) * width + x) * 3 + 1] = row[3 * x + 1];
            rgb[(size_t(y) * width + x) * 3 + 2] = row[3 * x];
        }
    }
    WriteFile(path, rgb.data(), rgb.size());
}

bool EncodePicture(GifWriterState& writer, const WideString& path, std::vector<uint8_t>& bgr, int width,
                   int height) {
    RGBQUAD palette[256] = {};
    writer.converter.width = width;
    writer.converter.height = height;
    SetLayout(writer.converter, 24, 8);
    writer.converter.sourceDepth = 24;
    writer.converter.targetDepth = 8;
    writer.converter.stride = (width + 3) & ~3;
    writer.converter.imageSize = uint32_t(writer.converter.stride) * uint32_t(height);
    writer.transparency = 0;
    return WriteGifFile(writer, path, palette, bgr.data());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    GifWriterState writer;
    GifReaderState reader;

    // 1 megapixel, 24 bits: reduction to 256 colours plus LZW.
    {
        const int width = 1000, height = 1000;
        const uint32_t stride = RowStride(width, 24);
        std::vector<uint8_t> bgr(uint64_t(stride) * height + 4);
        FillPicture(bgr, width, height, stride);
        SaveRgbTopDown(PathIn(folder, "bench_1mp.rgb"), bgr, width, height, stride);
        const WideString path = PathIn(folder, "bench_1mp.gif");
        double best = 1e9;
        bool ok = true;
        for (int run = 0; run < 5 && ok; ++run) {
            const Clock clock;
            ok = EncodePicture(writer, path, bgr, width, height);
            best = std::min(best, clock.Seconds());
        }
        if (ok)
            std::printf("encode 1 MP, >256 colours (reduction + LZW): %.1f ms\n", best * 1000);
        else
            std::printf("encode 1 MP: failed with %u\n", writer.writeStatus);
    }

    // LZW alone on 12 megapixels of picture-like indices, then decoding them.
    {
        const int width = 4000, height = 3000;
        const uint32_t count = uint32_t(width) * height;
        std::vector<uint8_t> indices(count);
        uint32_t variant = 99;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                variant = variant * 1103515245u + 12345u;
                const double value = 127.5 + 60.0 * std::sin(x / 97.0) + 60.0 * std::cos(y / 131.0);
                indices[size_t(y) * width + x] = uint8_t(int(value) + int((variant >> 16) % 3));
            }
        WriteFile(PathIn(folder, "bench_12mp.idx"), indices.data(), indices.size());
        std::vector<uint8_t> stream(GifLzwOutputBound(count));
        double bestEncode = 1e9;
        uint8_t* end = nullptr;
        for (int run = 0; run < 3; ++run) {
            const Clock clock;
            end = EncodeLzw(writer, indices.data(), count, stream.data());
            bestEncode = std::min(bestEncode, clock.Seconds());
        }
        const size_t streamSize = size_t(end - stream.data());
        std::printf("LZW encode 12 MP indices: %.1f ms (%.2f bytes per pixel)\n", bestEncode * 1000,
                    double(streamSize) / count);

        // Wrap the stream in a file with a grey global table.
        std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), uint8_t(width >> 8),
                                     uint8_t(height), uint8_t(height >> 8), 0xF7, 0, 0};
        for (int i = 0; i < 256; ++i) file.insert(file.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
        file.insert(file.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                                 uint8_t(height >> 8), 0, 8});
        for (size_t at = 0; at < streamSize; at += 255) {
            const size_t n = std::min<size_t>(255, streamSize - at);
            file.push_back(uint8_t(n));
            file.insert(file.end(), stream.begin() + long(at), stream.begin() + long(at + n));
        }
        file.insert(file.end(), {0, 0x3B});
        const WideString path = PathIn(folder, "bench_12mp.gif");
        WriteFile(path, file.data(), file.size());

        DecodedImage image;
        double bestDecode = 1e9;
        bool same = true;
        for (int run = 0; run < 5; ++run) {
            const Clock clock;
            if (!ReadGifImage(reader, path, &image)) {
                std::printf("decode failed: %u\n", reader.input.status);
                return 1;
            }
            bestDecode = std::min(bestDecode, clock.Seconds());
            const uint32_t stride = RowStride(width, 8);
            for (int y = 0; y < height && same; ++y)
                same = std::memcmp(image.pixels.Get() + uint64_t(height - 1 - y) * stride, &indices[size_t(y) * width],
                                   size_t(width)) == 0;
        }
        std::printf("decode 12 MP GIF (%zu bytes): %.1f ms%s\n", file.size(), bestDecode * 1000,
                    same ? "" : "  MISMATCH");
    }
    return 0;
}
