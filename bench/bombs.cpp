// Decompression bombs: tiny files declaring enormous pictures, each read by
// the batch's own decode step in a child process of its own. Every one must be
// refused from its header, in under 0.1 s and under 64 MiB at the peak; the
// figures are printed beside a floor measured the same way in the same run
// (a small real picture decoded in full). Exits 1 when a bomb is not refused
// or goes over either bound.
// Usage: bench_bombs [FOLDER]  (default: the current folder; the bombs are
// left there as bomb_*.* for other tools)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "codecs/read/tiff_libtiff_reader.h"
#include "core/os/os.h"
#include "core/result_codes.h"
#include "core/settings.h"
#include "core/os/utf_convert.h"
#include "tests/support/bomb_images.h"
#include "tests/support/jpeg_fixtures.h"

using namespace qdx;

namespace {

constexpr double kMaxSeconds = 0.1;
constexpr long kMaxPeakKiB = 64 * 1024;

WideString Wide(const std::string& text) {
    WideString wide;
    AppendUtf8(wide, text.c_str());
    return wide;
}

bool Save(const std::string& path, const std::string& bytes) {
    os::File file;
    return os::CreateForWrite(Wide(path).Text(), file) && os::WriteAll(file, bytes.data(), uint32_t(bytes.size()));
}

struct Figures {
    double seconds = 0;
    long peakKiB = 0;
    int refused = -1;  // 1 refused as too large, 0 decoded, other: failed otherwise
};

// Reads `path` in a child process, through the batch's decode step or, with
// `libtiff`, through the libtiff reader alone. The time is the read's alone
// (the child's start and its reader states are not counted); the peak is the
// child's whole resident set.
Figures Measure(const std::string& path, bool libtiff) {
    Figures figures;
    int channel[2];
    if (::pipe(channel) != 0) return figures;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        // The readers take their choices from the settings, as in the batch.
        const Settings settings;
        ConversionContext context;
        if (!context.Initialise(1)) ::_exit(3);
        context.settings = &settings;
        context.budget.memoryBytes = os::PhysicalMemoryBytes();
        const WideString wide = Wide(path);
        const auto start = std::chrono::steady_clock::now();
        const bool decoded = libtiff ? ReadTiffWithLibtiff(*context.tiffLibraryReader, wide, &context.image)
                                     : DecodeInput(context, wide);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (::write(channel[1], &seconds, sizeof seconds) != sizeof seconds) ::_exit(3);
        ::_exit(decoded ? 0 : context.budget.refusal == kStatusTooManyPixels ? 1 : 2);
    }
    ::close(channel[1]);
    if (child < 0 || ::read(channel[0], &figures.seconds, sizeof figures.seconds) != sizeof figures.seconds)
        figures.seconds = -1;
    ::close(channel[0]);
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return figures;
    figures.peakKiB = usage.ru_maxrss;
    figures.refused = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const std::string floorPath = folder + "/bomb_floor.jpg";
    const std::string floorBytes = test::EncodeJpeg(
        test::MakeFixture(256, 256, 3, [](int x, int y, int c) { return (x * 3 + y * 5 + c * 70) & 255; }));
    bool ok = Save(floorPath, floorBytes);
    const std::vector<test::BombFile> bombs = test::MakeBombFiles();
    for (const test::BombFile& bomb : bombs) ok = ok && Save(folder + "/" + bomb.fileName, bomb.bytes);
    if (!ok) {
        std::fprintf(stderr, "bench_bombs: cannot write into %s\n", folder.c_str());
        return 1;
    }

    const Figures floor = Measure(floorPath, false);
    std::printf("%-32s %6s %9s %8s %9s %8s\n", "input", "bytes", "seconds", "x floor", "peak MiB", "x floor");
    std::printf("%-32s %6zu %9.4f %8s %9.1f %8s   (a 256 x 256 JPEG decoded in full)\n", "floor", floorBytes.size(),
                floor.seconds, "1.00", floor.peakKiB / 1024.0, "1.00");
    ok = floor.refused == 0;
    auto report = [&](const std::string& name, const test::BombFile& bomb, bool libtiff) {
        const Figures f = Measure(folder + "/" + bomb.fileName, libtiff);
        const bool pass = f.refused == 1 && f.seconds >= 0 && f.seconds < kMaxSeconds && f.peakKiB < kMaxPeakKiB;
        std::printf("%-32s %6zu %9.4f %8.2f %9.1f %8.2f   %s\n", name.c_str(), bomb.bytes.size(), f.seconds,
                    floor.seconds > 0 ? f.seconds / floor.seconds : 0.0, f.peakKiB / 1024.0,
                    floor.peakKiB > 0 ? double(f.peakKiB) / floor.peakKiB : 0.0,
                    pass ? "refused" : f.refused == 1 ? "refused, OVER BOUNDS" : "NOT REFUSED");
        ok = ok && pass;
    };
    for (const test::BombFile& bomb : bombs) {
        report(bomb.name, bomb, false);
        // The TIFF goes to libtiff only after our own reader refuses its
        // layout: the library's own check is measured too.
        if (std::strstr(bomb.name, "TIFF")) report(std::string(bomb.name) + " (libtiff)", bomb, true);
    }
    std::printf("bounds: under %.1f s and %ld MiB each\n", kMaxSeconds, kMaxPeakKiB / 1024);
    return ok ? 0 : 1;
}
