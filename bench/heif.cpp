// HEIF figure: decode of a 12-megapixel HEIC (made by heif-enc from a
// photograph-like picture) through our reader, best of several runs, against
// heif-convert decoding the same file in the same run. heif-convert writes
// Y4M, its cheapest output (no colour conversion); its process start is
// included, our file mapping is too.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "codecs/read/heif_library.h"
#include "codecs/read/heif_reader.h"
#include "codecs/write/png_writer.h"
#include "core/os/os.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr int32_t kWidth = 4000, kHeight = 3000;
constexpr int kRuns = 3;

qdx::WideString Wide(const char* name) {
    qdx::WideString wide;
    qdx::AppendUtf8(wide, name);
    return wide;
}

}  // namespace

int main() {
    const char* sourceName = "qdx-bench-12mp-source.png";
    const char* heicName = "qdx-bench-12mp.heic";
    {
        const auto photo = qdx::bench::MakePhoto(kWidth, kHeight);
        qdx::PngWriterState writer;
        writer.converter.width = kWidth;
        writer.converter.height = kHeight;
        qdx::SetLayout(writer.converter, 24, 24);
        writer.compressionLevel = 1;
        if (!qdx::WritePngFile(writer, Wide(sourceName), nullptr, photo.data())) return 1;
    }
    const std::string encode = std::string("heif-enc -q 80 ") + sourceName + " -o " + heicName + " >/dev/null";
    if (std::system(encode.c_str()) != 0) {
        std::fprintf(stderr, "heif-enc failed (libheif-examples installed?)\n");
        return 1;
    }
    const char16_t* missing = nullptr;
    qdx::HeifReaderState reader;
    reader.library = qdx::LoadHeifFunctions(missing);
    if (!reader.library) return 1;
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        qdx::DecodedImage image;
        const auto start = Clock::now();
        if (!qdx::ReadHeifImage(reader, Wide(heicName), &image)) return 1;
        best = std::min(best, Seconds(start));
    }
    std::printf("decode 4000x3000 HEIC: %.1f ms, %.1f MP/s\n", best * 1e3, 12.0 / best);
    const std::string peerCommand = std::string("heif-convert ") + heicName + " qdx-bench-12mp.y4m >/dev/null";
    double peer = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        if (std::system(peerCommand.c_str()) != 0) return 1;
        peer = std::min(peer, Seconds(start));
    }
    std::printf("  peer heif-convert to Y4M (process included): %.1f ms; ours / peer = %.2f\n", peer * 1e3,
                best / peer);
    for (const char* name : {sourceName, heicName, "qdx-bench-12mp.y4m"}) qdx::os::RemoveFile(Wide(name).Text());
    return 0;
}
