// PNG figures: decode of a 12-megapixel RGB file and encode of a 1-megapixel
// RGB picture, single-threaded, best of several runs. The encode is set
// against zlib alone deflating the same filtered bytes with the same settings;
// the decode against pngtopnm (libpng) on the same file when it is installed.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "codecs/read/png_reader.h"
#include "codecs/write/png_writer.h"
#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

using qdx::bench::MakePhoto;

bool Write(const qdx::WideString& path, int32_t width, int32_t height, const uint8_t* pixels, qdx::PngWriterState& state) {
    state.converter.width = width;
    state.converter.height = height;
    qdx::SetLayout(state.converter, 24, 24);
    state.compressionLevel = 9;
    return qdx::WritePngFile(state, path, nullptr, pixels);
}

std::string ReadFile(const char* name) {
    std::string bytes;
    if (std::FILE* f = std::fopen(name, "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// The IDAT data of a file we wrote (one IDAT chunk).
std::string ImageData(const std::string& file) {
    size_t at = 8;
    while (at + 12 <= file.size()) {
        const uint32_t length = qdx::LoadBigEndian32(reinterpret_cast<const uint8_t*>(&file[at]));
        if (file.compare(at + 4, 4, "IDAT") == 0) return file.substr(at + 8, length);
        at += 12 + size_t(length);
    }
    return {};
}

}  // namespace

int main() {
    const char* decodeName = "/tmp/qdx-bench-12mp.png";
    const char* encodeName = "/tmp/qdx-bench-1mp.png";
    qdx::WideString decodePath, encodePath;
    qdx::AppendUtf8(decodePath, decodeName);
    qdx::AppendUtf8(encodePath, encodeName);

    // Decode: 4000 x 3000.
    {
        const auto photo = MakePhoto(4000, 3000);
        qdx::PngWriterState writer;
        if (!Write(decodePath, 4000, 3000, photo.data(), writer)) return 1;
        qdx::PngReaderState reader;
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            qdx::DecodedImage image;
            const auto start = Clock::now();
            if (!qdx::ReadPngImage(reader, decodePath, &image)) return 1;
            best = std::min(best, Seconds(start));
        }
        std::printf("decode 4000x3000 RGB (%zu bytes): %.1f ms, %.1f MP/s\n", ReadFile(decodeName).size(), best * 1e3,
                    12.0 / best);
        if (std::system("command -v pngtopnm >/dev/null 2>&1") == 0) {
            const std::string command = std::string("pngtopnm ") + decodeName + " > /dev/null";
            double peer = 1e9;
            for (int run = 0; run < 5; ++run) {
                const auto start = Clock::now();
                if (std::system(command.c_str()) != 0) break;
                peer = std::min(peer, Seconds(start));
            }
            std::printf("  peer pngtopnm (libpng, process and PNM output included): %.1f ms; ours / peer = %.2f\n",
                        peer * 1e3, best / peer);
        }
    }

    // Encode: 1000 x 1000.
    {
        const auto photo = MakePhoto(1000, 1000);
        qdx::PngWriterState writer;
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            const auto start = Clock::now();
            if (!Write(encodePath, 1000, 1000, photo.data(), writer)) return 1;
            best = std::min(best, Seconds(start));
        }
        const std::string file = ReadFile(encodeName);
        // zlib alone over the same filtered bytes.
        const std::string compressed = ImageData(file);
        std::vector<uint8_t> filtered(size_t(1000) * 3001);
        uLongf filteredSize = uLongf(filtered.size());
        if (uncompress(filtered.data(), &filteredSize, reinterpret_cast<const Bytef*>(compressed.data()),
                       uLong(compressed.size())) != Z_OK)
            return 1;
        double zlibBest = 1e9;
        std::vector<uint8_t> out(compressBound(uLong(filteredSize)) + 64);
        for (int run = 0; run < 5; ++run) {
            z_stream stream{};
            const auto start = Clock::now();
            deflateInit2(&stream, 9, Z_DEFLATED, 15, 9, Z_FILTERED);
            stream.next_in = filtered.data();
            stream.avail_in = uInt(filteredSize);
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            deflate(&stream, Z_FINISH);
            deflateEnd(&stream);
            zlibBest = std::min(zlibBest, Seconds(start));
        }
        std::printf("encode 1000x1000 RGB (%zu bytes): %.1f ms; zlib alone on the filtered bytes: %.1f ms; ratio %.3f\n",
                    file.size(), best * 1e3, zlibBest * 1e3, best / zlibBest);
    }
    qdx::os::RemoveFile(decodePath.Text());
    qdx::os::RemoveFile(encodePath.Text());
    return 0;
}
