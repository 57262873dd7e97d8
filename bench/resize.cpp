// Speed of the resampling filters and of sharpening.
//
//   bench_resize               4000 x 3000 -> 800 x 600 with each filter, and
//                              sharpening of an 800 x 600 picture: median times
//   bench_resize FILTER        one 4000 x 3000 -> 800 x 600 resample with
//                              filter 0..3, then the peak resident memory
//   bench_resize --ppm FILE    writes the test picture as a binary PPM, so
//                              other programs can be timed on the same pixels
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/decoded_image.h"
#include "core/worker_pool.h"
#include "scale/scaling.h"
#include "scale/sharpen.h"

using namespace qdx;

namespace {

constexpr uint32_t kWidth = 4000, kHeight = 3000, kTargetWidth = 800, kTargetHeight = 600;

// A photo-like picture: smooth gradients, some edges and a little noise.
os::PixelMemory MakePicture(uint32_t width, uint32_t height) {
    os::PixelMemory pixels = AllocatePixelBuffer(width, height, 24);
    if (!pixels) return pixels;
    const uint32_t stride = RowStride(width, 24);
    uint32_t variant = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = pixels.Get() + size_t(y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            variant = variant * 1103515245u + 12345u;
            const uint32_t noise = (variant >> 16) & 15;
            const bool block = ((x / 97) + (y / 61)) % 3 == 0;
            row[x * 3 + 0] = uint8_t((x * 255 / width + noise) & 255);
            row[x * 3 + 1] = uint8_t((y * 255 / height + (block ? 80 : 0) + noise) & 255);
            row[x * 3 + 2] = uint8_t(((x + y) * 255 / (width + height) + noise) & 255);
        }
    }
    return pixels;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Processor time of this process in ms: steadier than the wall clock on a
// busy machine (the filters run on one thread).
double CpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

struct Timing {
    double wallMs, cpuMs;
};

template <typename F>
Timing Median(int runs, F f) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = CpuMs();
        const auto start = std::chrono::steady_clock::now();
        f();
        wall.push_back(Seconds(std::chrono::steady_clock::now() - start) * 1000.0);
        cpu.push_back(CpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

long PeakResidentKiB() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
    std::fclose(f);
    return kib;
}

const char* const kNames[] = {"area average", "bicubic", "nearest", "halftone"};

}  // namespace

int main(int argc, char** argv) {
    const os::PixelMemory sourcePicture = MakePicture(kWidth, kHeight);
    if (!sourcePicture) return 1;
    const uint8_t* source = sourcePicture.Get();
    DecodedImage header;
    SetImageHeader(header, int32_t(kWidth), int32_t(kHeight), 24);
    ScalingState state;
    PrepareHalftoneContext(state);

    if (argc == 3 && std::strcmp(argv[1], "--ppm") == 0) {
        FILE* f = std::fopen(argv[2], "wb");
        if (!f) return 1;
        std::fprintf(f, "P6\n%u %u\n255\n", kWidth, kHeight);
        const uint32_t stride = RowStride(kWidth, 24);
        std::vector<uint8_t> rgb(size_t(kWidth) * 3);
        for (uint32_t y = kHeight; y-- > 0;) {  // top row first, red-green-blue
            const uint8_t* row = source + size_t(y) * stride;
            for (uint32_t x = 0; x < kWidth; ++x) {
                rgb[x * 3] = row[x * 3 + 2];
                rgb[x * 3 + 1] = row[x * 3 + 1];
                rgb[x * 3 + 2] = row[x * 3];
            }
            std::fwrite(rgb.data(), 1, rgb.size(), f);
        }
        std::fclose(f);
        return 0;
    }
    if (argc == 2) {
        const uint32_t filter = uint32_t(std::atoi(argv[1]));
        const long before = PeakResidentKiB();
        const os::PixelMemory out(Resample(state, source, int32_t(kWidth), int32_t(kHeight), int32_t(kTargetWidth),
                                           int32_t(kTargetHeight), filter, &header.header));
        const long after = PeakResidentKiB();
        std::printf("%-13s peak resident %ld KiB with the source alone, %ld KiB during the resample "
                    "(one 24-bit %ux%u buffer is %u KiB)\n",
                    filter < 4 ? kNames[filter] : "?", before, after, kWidth, kHeight,
                    RowStride(kWidth, 24) * kHeight / 1024);
        return out ? 0 : 1;
    }

    std::printf("resample %ux%u -> %ux%u, 24 bits, one thread, median of 7\n", kWidth, kHeight, kTargetWidth,
                kTargetHeight);
    for (uint32_t filter = 0; filter < 4; ++filter) {
        bool ok = true;
        const Timing t = Median(7, [&] {
            const os::PixelMemory out(Resample(state, source, int32_t(kWidth), int32_t(kHeight),
                                               int32_t(kTargetWidth), int32_t(kTargetHeight), filter, &header.header));
            ok = ok && out;
        });
        const bool standIn = filter == FilterHalftone && !os::kHasHalftoneStretch;
        std::printf("  %-13s %8.1f ms wall %8.1f ms processor%s%s\n", kNames[filter], t.wallMs, t.cpuMs, standIn ? "  (area average stands in here)" : "",
                    ok ? "" : "  FAILED");
    }

    // Bicubic to 800 x 600 from the two everyday photo sizes: 4000 x 3000
    // runs both steps in exact integers, 4032 x 3024 its first step (1.26)
    // in doubles; on one thread and on a pool of every processor.
    WorkerPool pool(ProcessorCount());
    const uint32_t sizes[2][2] = {{kWidth, kHeight}, {4032, 3024}};
    for (const auto& size : sizes) {
        const os::PixelMemory other = size[0] == kWidth ? os::PixelMemory() : MakePicture(size[0], size[1]);
        const uint8_t* photo = size[0] == kWidth ? source : other.Get();
        for (WorkerPool* threads : {static_cast<WorkerPool*>(nullptr), &pool}) {
            ScalingState bicubic;
            bicubic.pool = threads;
            bool ok = photo != nullptr;
            const Timing t = Median(7, [&] {
                const os::PixelMemory out(photo ? Resample(bicubic, photo, int32_t(size[0]), int32_t(size[1]),
                                                           int32_t(kTargetWidth), int32_t(kTargetHeight),
                                                           FilterBicubic, nullptr)
                                                : os::PixelMemory());
                ok = ok && out;
            });
            std::printf("  bicubic %ux%u, %2u thread%s %8.1f ms wall %8.1f ms processor (target %s)%s\n", size[0],
                        size[1], threads ? threads->Threads() : 1, threads && threads->Threads() > 1 ? "s" : " ",
                        t.wallMs, t.cpuMs, size[0] == kWidth ? "<= 30 ms" : "<= 60 ms", ok ? "" : "  FAILED");
        }
    }

    // Sharpening of an 800 x 600 picture (the area-averaged result).
    DecodedImage small;
    SetImageHeader(small, int32_t(kTargetWidth), int32_t(kTargetHeight), 24);
    small.pixels = Resample(state, source, int32_t(kWidth), int32_t(kHeight), int32_t(kTargetWidth),
                            int32_t(kTargetHeight), FilterAreaAverage, nullptr);
    SharpenState sharpen;
    BuildSharpenTables(sharpen);
    const Timing t = Median(21, [&] { Sharpen(sharpen, small, 4); });
    std::printf("sharpen %ux%u (strength index 4), median of 21: %.2f ms wall %.2f ms processor\n", kTargetWidth,
                kTargetHeight, t.wallMs, t.cpuMs);
    return 0;
}
