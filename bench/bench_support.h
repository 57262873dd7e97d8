#pragma once
// What the benchmarks share: processor time of a step or of a tool, a
// photo-like picture, files for the tools. Header only: every bench/*.cpp is
// its own program.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/decoded_image.h"
#include "core/os/utf_convert.h"
#include "core/os/path_edit.h"
#include "core/os/wide_string.h"

namespace qdx::bench {

// The machine is shared, so every figure is processor time (user + system)
// rather than wall time: for our steps this process's, for a tool its child's.
inline double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename Step>
inline double BestOf(int runs, Step step, int who = RUSAGE_SELF) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds(who);
        step();
        best = std::min(best, CpuSeconds(who) - start);
    }
    return best;
}

// Wall-clock and user-mode time of a step, each the median of several runs:
// the median stays put when another engineer's build takes a core for a
// moment, where a mean would not.
struct MedianTimes {
    double wall = 0;
    double user = 0;
};

inline double UserSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Step>
inline MedianTimes MedianOf(int runs, Step step, int who = RUSAGE_SELF) {
    std::vector<double> wall, user;
    for (int i = 0; i < runs; ++i) {
        const double startUser = UserSeconds(who);
        const auto start = std::chrono::steady_clock::now();
        step();
        wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        user.push_back(UserSeconds(who) - startUser);
    }
    return {Median(wall), Median(user)};
}

// The load average over the last minute, as the kernel reports it; -1 when
// it cannot be read. Printed with every figure measured on a shared machine.
inline double LoadAverage() {
    FILE* file = std::fopen("/proc/loadavg", "r");
    double load = -1;
    if (file) {
        if (std::fscanf(file, "%lf", &load) != 1) load = -1;
        std::fclose(file);
    }
    return load;
}

inline WideString PathIn(const WideString& folder, const char* name) {
    WideString wideName;
    AppendUtf8(wideName, name);
    WideString path;
    SetFolderPlusName(path, folder.Text(), wideName.Text());
    return path;
}

inline std::string Narrow(const WideString& text) { return ToUtf8(text.Text(), text.Length()); }

// Photo-like content: broad shading, edges, fine texture and sensor noise.
inline void MakePhoto(DecodedImage& image, int width, int height) {
    SetImageHeader(image, width, height, 24);
    image.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), 24);
    const uint32_t stride = RowStride(uint32_t(width), 24);
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.pixels.Get() + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double shade = 110 + 60 * std::sin(u * 5.1 + v * 2.3) + 40 * std::cos(v * 7.7 - u * 1.9);
            const double texture = 18 * std::sin(x * 0.21) * std::cos(y * 0.17) + ((x / 97 + y / 61) % 2 ? 25 : -25);
            for (int c = 0; c < 3; ++c) {
                const double value = shade * (0.8 + 0.15 * c) + texture + int(random() % 13) - 6;
                row[x * 3 + c] = uint8_t(std::clamp(value, 0.0, 255.0));
            }
        }
    }
}

inline bool WritePpm(const DecodedImage& image, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const int width = image.header.biWidth, height = image.header.biHeight;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    const uint32_t stride = RowStride(uint32_t(width), 24);
    std::string row(size_t(width) * 3, '\0');
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* in = image.pixels.Get() + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = char(in[x * 3 + 2]);
            row[x * 3 + 1] = char(in[x * 3 + 1]);
            row[x * 3 + 2] = char(in[x * 3]);
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0;
}

// Time of an external command (best of `runs`), or -1 when it fails.
inline double TimeCommand(const std::string& command, int runs) {
    bool failed = false;
    const double best = BestOf(
        runs, [&] { failed |= std::system((command + " >/dev/null 2>&1").c_str()) != 0; }, RUSAGE_CHILDREN);
    return failed ? -1 : best;
}

inline void PrintPeer(const char* name, double seconds) {
    if (seconds < 0)
        std::printf("  %-44s not available\n", name);
    else
        std::printf("  %-44s %8.1f ms\n", name, seconds * 1000);
}

}  // namespace qdx::bench
