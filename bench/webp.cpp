// WebP writing: the everyday output (an 800 x 600 photo at quality 90, the
// first preset's quality) encoded by our writer and by libwebp's own cwebp
// with the same settings on the same pixels (method 4, one thread), and the
// size-limit search on a 12-megapixel photo with the first preset's 100 KiB.
// The methods cwebp offers around ours show what method 4 costs and saves.
//
// Every figure is the median of several runs, wall-clock and user time.
// cwebp is timed as a process (start-up and reading the PPM included) and
// by the encode time it reports itself; ours is the writer's call (the
// picture handed over, encoded and written to a file).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/write/webp_writer.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/wide_string.h"

using namespace qdx;
using namespace qdx::bench;

namespace {

constexpr int kSmallRuns = 15;
constexpr int kLargeRuns = 3;
constexpr uint32_t kQuality = 90;
constexpr uint32_t kLimitKiB = 100;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Write(WebpWriterState& writer, const DecodedImage& photo, uint32_t quality, uint32_t limitKiB,
           const WideString& path) {
    PrepareWebpWriter(writer, photo, 24, quality, false, nullptr);
    return WriteWebpFile(writer, path, photo.palette, photo.pixels.Get(), limitKiB);
}

// Runs cwebp once and returns the encode time it reports (-v), or -1.
double RunCwebp(const std::string& arguments) {
    FILE* pipe = popen(("cwebp -v " + arguments + " 2>&1 >/dev/null").c_str(), "r");
    if (!pipe) return -1;
    double seconds = -1;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) std::sscanf(line, "Time to encode picture: %lfs", &seconds);
    return pclose(pipe) == 0 ? seconds : -1;
}

void PrintTimes(const char* name, const MedianTimes& times) {
    std::printf("  %-40s wall %8.1f ms   user %8.1f ms\n", name, times.wall * 1000, times.user * 1000);
}

}  // namespace

int main() {
    WideString tempRoot;
    if (!os::TemporaryFolder(tempRoot)) return 1;
    const WideString folder = PathIn(tempRoot, "qdx-bench-webp");
    os::CreateFolder(folder.Text());
    const WideString ours = PathIn(folder, "ours.webp");
    const std::string ppm = Narrow(folder) + "/photo.ppm";
    const std::string theirs = Narrow(folder) + "/cwebp.webp";
    WebpWriterState writer;
    std::printf("load average at the start: %.2f\n", LoadAverage());

    DecodedImage small;
    MakePhoto(small, 800, 600);
    if (!WritePpm(small, ppm)) return 1;
    const MedianTimes encode = MedianOf(kSmallRuns, [&] {
        if (!Write(writer, small, kQuality, 0, ours)) std::exit(1);
    });
    const std::string settings = "-q " + std::to_string(kQuality) + " -m " + std::to_string(kWebpMethod);
    std::vector<double> reported;
    bool cwebpFailed = false;
    const MedianTimes cwebp = MedianOf(
        kSmallRuns,
        [&] {
            const double seconds = RunCwebp(settings + " '" + ppm + "' -o '" + theirs + "'");
            cwebpFailed |= seconds < 0;
            reported.push_back(seconds);
        },
        RUSAGE_CHILDREN);
    const std::string ourBytes = ReadAll(Narrow(ours)), theirBytes = ReadAll(theirs);
    std::printf("800 x 600 photo, quality %u, method %d, one thread (median of %d):\n", kQuality, kWebpMethod,
                kSmallRuns);
    PrintTimes("ours (writer call)", encode);
    if (cwebpFailed) {
        std::printf("  cwebp                                    not available\n");
    } else {
        const double cwebpEncode = Median(reported);
        PrintTimes("cwebp (process, reading the PPM)", cwebp);
        std::printf("  %-40s wall %8.1f ms\n", "cwebp (its own encode time)", cwebpEncode * 1000);
        std::printf("  ours / cwebp process                     wall %8.2f      user %8.2f\n", encode.wall / cwebp.wall,
                    encode.user / cwebp.user);
        std::printf("  ours / cwebp encode                      wall %8.2f\n", encode.wall / cwebpEncode);
        std::printf("  files: ours %zu bytes, cwebp %zu bytes, %s\n", ourBytes.size(), theirBytes.size(),
                    ourBytes == theirBytes ? "the same bytes" : "other bytes");
        for (int method : {2, 6}) {
            const std::string out = Narrow(folder) + "/m" + std::to_string(method) + ".webp";
            const MedianTimes other = MedianOf(
                5,
                [&] {
                    RunCwebp("-q " + std::to_string(kQuality) + " -m " + std::to_string(method) + " '" + ppm +
                             "' -o '" + out + "'");
                },
                RUSAGE_CHILDREN);
            const std::string name = "cwebp method " + std::to_string(method) + " (" +
                                     std::to_string(ReadAll(out).size()) + " bytes)";
            PrintTimes(name.c_str(), other);
            std::remove(out.c_str());
        }
    }

    DecodedImage large;
    MakePhoto(large, 4000, 3000);
    uint32_t encodes = 0;
    int32_t quality = 0;
    const MedianTimes search = MedianOf(kLargeRuns, [&] {
        if (!Write(writer, large, kQuality, kLimitKiB, ours)) std::exit(1);
        encodes = writer.encodes;
        quality = writer.writtenQuality;
    });
    std::printf("4000 x 3000 photo within %u KiB, from quality %u (median of %d):\n", kLimitKiB, kQuality,
                kLargeRuns);
    PrintTimes("search", search);
    std::printf("  %u encodes, %.1f ms wall each; quality %d, %zu bytes\n", encodes,
                search.wall * 1000 / (encodes ? encodes : 1), quality, ReadAll(Narrow(ours)).size());
    std::printf("load average at the end: %.2f\n", LoadAverage());
    os::RemoveFile(ours.Text());
    std::remove(ppm.c_str());
    std::remove(theirs.c_str());
    os::RemoveFolder(folder.Text());
    return 0;
}
