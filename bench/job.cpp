// The everyday job as a user runs it, against the floor measured in the same
// run: four 12-megapixel JPEGs (4000 x 3000, quality 90, 4:2:0) through the
// first default preset (800 x 600 box, bicubic, JPEG), one process per file,
// with one thread (--jobs 1) and with all; the floor is djpeg of the input
// plus cjpeg -optimize of an 800 x 600 picture. Then a batch of 40 such files
// in one process with --jobs 1 and with the default. Last a folder of photos
// of the sizes cameras make (2,560 x 1,600 to 6,028 x 3,391),
// through the first preset and through the first and the third, beside two
// separate --jobs 1 processes on half the folder each.
//
//   bench_job [RUNS]                 medians over RUNS rounds (default 3)
//   bench_job RUNS mixed [PROGRAM]   the mixed folder alone (of PROGRAM)
//
// Prints wall, user and system time, minor page faults and peak resident
// memory of every kind of process, and the ratios the targets are set in.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/decoded_image.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace fs = std::filesystem;
using namespace qdx;

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kFiles = 4, kBatchFiles = 40;

struct Usage {
    double wallMs = 0, userMs = 0, systemMs = 0;
    long minorFaults = 0, peakKiB = 0;
    bool failed = false;
    std::vector<double> threadMs;  // processor time of each thread, busiest first
};

// Adds to `seen` (thread id -> processor ms) what /proc shows of the threads
// of `process` now.
void SampleThreads(pid_t process, std::map<long, double>& seen) {
    const double msPerTick = 1000.0 / double(sysconf(_SC_CLK_TCK));
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(process) + "/task", error)) {
        FILE* f = std::fopen((task.path() / "stat").c_str(), "r");
        if (!f) continue;
        char text[1024] = {};
        const size_t length = std::fread(text, 1, sizeof text - 1, f);
        std::fclose(f);
        text[length] = 0;
        // The fields after the name: state is the 3rd, utime and stime the 14th and 15th.
        const char* rest = std::strrchr(text, ')');
        unsigned long user = 0, system = 0;
        if (rest && std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) == 2)
            seen[std::atol(task.path().filename().c_str())] = double(user + system) * msPerTick;
    }
}

// Starts a program with its output discarded; -1 when it cannot.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& configHome) {
    std::fflush(stdout);  // or the child would print it again
    const pid_t child = fork();
    if (child == 0) {
        if (!configHome.empty()) setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Runs a program to its end with its output discarded; its own resources only.
Usage Run(const std::vector<std::string>& arguments, const std::string& configHome = "") {
    Usage usage;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = Spawn(arguments, configHome);
    int status = 0;
    rusage r{};
    std::map<long, double> threads;
    for (;;) {
        const pid_t ended = child < 0 ? -1 : wait4(child, &status, WNOHANG, &r);
        if (ended == child) break;
        if (ended < 0) {
            usage.failed = true;
            return usage;
        }
        SampleThreads(child, threads);
        usleep(10000);
    }
    for (const auto& thread : threads) usage.threadMs.push_back(thread.second);
    std::sort(usage.threadMs.rbegin(), usage.threadMs.rend());
    usage.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    usage.userMs = double(r.ru_utime.tv_sec) * 1000.0 + double(r.ru_utime.tv_usec) / 1000.0;
    usage.systemMs = double(r.ru_stime.tv_sec) * 1000.0 + double(r.ru_stime.tv_usec) / 1000.0;
    usage.minorFaults = r.ru_minflt;
    usage.peakKiB = r.ru_maxrss;
    usage.failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    return usage;
}

// Runs two programs side by side to the end of both: the wall time until the
// later ends, and their processor times summed.
Usage RunTwo(const std::vector<std::string>& first, const std::vector<std::string>& second,
             const std::string& configHome) {
    Usage usage;
    const auto start = std::chrono::steady_clock::now();
    const pid_t children[] = {Spawn(first, configHome), Spawn(second, configHome)};
    for (pid_t child : children) {
        int status = 0;
        rusage r{};
        if (child < 0 || wait4(child, &status, 0, &r) != child) {
            usage.failed = true;
            continue;
        }
        usage.userMs += double(r.ru_utime.tv_sec) * 1000.0 + double(r.ru_utime.tv_usec) / 1000.0;
        usage.systemMs += double(r.ru_stime.tv_sec) * 1000.0 + double(r.ru_stime.tv_usec) / 1000.0;
        usage.minorFaults += r.ru_minflt;
        usage.peakKiB = std::max(usage.peakKiB, long(r.ru_maxrss));
        usage.failed = usage.failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    usage.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return usage;
}

// Field by field median of several runs.
Usage Median(std::vector<Usage> runs) {
    Usage m;
    auto pick = [&](auto field) {
        std::vector<double> v;
        for (const Usage& u : runs) v.push_back(double(u.*field));
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    m.wallMs = pick(&Usage::wallMs);
    m.userMs = pick(&Usage::userMs);
    m.systemMs = pick(&Usage::systemMs);
    m.minorFaults = long(pick(&Usage::minorFaults));
    m.peakKiB = long(pick(&Usage::peakKiB));
    for (const Usage& u : runs) m.failed = m.failed || u.failed;
    for (const Usage& u : runs)
        if (u.wallMs == m.wallMs) m.threadMs = u.threadMs;
    return m;
}

Usage Plus(const Usage& a, const Usage& b) {
    return {a.wallMs + b.wallMs, a.userMs + b.userMs, a.systemMs + b.systemMs, a.minorFaults + b.minorFaults,
            std::max(a.peakKiB, b.peakKiB), a.failed || b.failed, {}};
}

void Print(const char* name, const Usage& u) {
    std::printf("  %-30s %7.1f ms wall %7.1f user %6.1f system %7ld faults %7ld KiB peak%s\n", name, u.wallMs,
                u.userMs, u.systemMs, u.minorFaults, u.peakKiB, u.failed ? "  FAILED" : "");
}

// A photo-like picture as a binary PPM: gradients, blocks and a little noise.
// `noiseMask` sets how much noise there is.
bool WritePicture(const std::string& path, int width, int height, uint32_t variant, uint32_t noiseMask = 15) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            variant = variant * 1103515245u + 12345u;
            const int noise = int((variant >> 16) & noiseMask);
            const bool block = ((x / 97) + (y / 61) + int(variant >> 30)) % 3 == 0;
            row[size_t(x) * 3] = uint8_t((x * 255 / width + noise) & 255);
            row[size_t(x) * 3 + 1] = uint8_t((y * 255 / height + (block ? 80 : 0) + noise) & 255);
            row[size_t(x) * 3 + 2] = uint8_t(((x + y) * 255 / (width + height) + noise) & 255);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

std::string LoadAverage() {
    FILE* f = std::fopen("/proc/loadavg", "r");
    char text[64] = "?";
    if (f) {
        if (!std::fgets(text, sizeof text, f)) text[0] = 0;
        std::fclose(f);
    }
    std::string s(text);
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

// Settings with the default presets, those of `selected` chosen, in
// <root>/<name>/Quillodex; returns the folder to hand as XDG_CONFIG_HOME.
std::string MakeConfig(const fs::path& root, const std::string& name, std::initializer_list<int> selected) {
    fs::create_directories(root / name / "Quillodex");
    Settings settings;
    settings.languageName.Assign(u"English");
    for (int i = 0; i < kPresetCount; ++i) settings.multiDropSelection[i] = 0;
    for (int i : selected) settings.multiDropSelection[i] = 1;
    WideString path;
    AppendUtf8(path, (root / name / "Quillodex" / "Quillodex.ini").c_str());
    return SaveSettings(path.Text(), settings) ? (root / name).string() : std::string();
}

// Removes what a run wrote, so that the next writes the same names.
void ClearOutputs(const fs::path& folder) {
    std::error_code ignored;
    fs::remove_all(folder / "Output", ignored);
}

// Removes everything in the mixed folder but its photos (outputs go beside
// them and into a subfolder), so that every run writes the same names.
void ClearMixedOutputs(const fs::path& folder, const std::vector<std::string>& photos) {
    std::error_code ignored;
    std::vector<fs::path> written;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored))
        if (std::find(photos.begin(), photos.end(), entry.path().string()) == photos.end())
            written.push_back(entry.path());
    for (const fs::path& path : written) fs::remove_all(path, ignored);
}

// The mixed folder: 24 photos, four each of six camera sizes in no order of
// size, at several qualities. Beside our two runs a third shows what the
// machine gives work that shares nothing: two separate --jobs 1 processes,
// each on half the photos (one of each pair of equal sizes). What keeps them
// from 2x (clocks that drop when both processors run, shared caches and
// memory, fresh memory for each) weighs on one process with two workers too.
bool MixedFolder(const fs::path& root, const std::string& program, int runs) {
    struct Size {
        int width, height, quality;
    };
    static constexpr Size kSizes[] = {{6028, 3391, 90}, {2560, 1600, 60}, {4000, 3000, 85},
                                      {3264, 2448, 75}, {5184, 3456, 88}, {4608, 3456, 80}};
    constexpr int kMixedFiles = 24;
    const fs::path folder = root / "mixed";
    fs::create_directories(folder);
    std::vector<std::string> paths;
    uint64_t bytes = 0;
    for (int i = 0; i < kMixedFiles; ++i) {
        const Size& size = kSizes[(i * 5) % 6];
        const std::string ppm = (root / "mixed.ppm").string();
        const std::string jpg = (folder / ("m" + std::to_string(100 + i) + ".jpg")).string();
        if (!WritePicture(ppm, size.width, size.height, 300 + uint32_t(i), 3) ||
            Run({"cjpeg", "-quality", std::to_string(size.quality), "-outfile", jpg, ppm}).failed)
            return false;
        fs::remove(ppm);
        bytes += fs::file_size(jpg);
        paths.push_back(jpg);
    }
    std::printf("mixed folder: %d photos, 2560x1600 to 6028x3391, %.1f MB, median of %d rounds\n", kMixedFiles,
                double(bytes) / 1e6, runs);
    std::vector<std::string> bySize = paths, halves[2];
    std::stable_sort(bySize.begin(), bySize.end(),
                     [](const std::string& a, const std::string& b) { return fs::file_size(a) < fs::file_size(b); });
    for (size_t i = 0; i < bySize.size(); ++i) halves[i % 2].push_back(bySize[i]);
    struct Case {
        const char* name;
        std::initializer_list<int> presets;
    };
    const Case cases[] = {{"one preset (1)", {0}}, {"two presets (1 and 3)", {0, 2}}};
    for (const Case& c : cases) {
        const std::string config = MakeConfig(root, c.presets.size() == 1 ? "mixed-one" : "mixed-two", c.presets);
        if (config.empty()) return false;
        std::vector<std::string> one = {program, "--jobs", "1"}, all = {program};
        one.insert(one.end(), paths.begin(), paths.end());
        all.insert(all.end(), paths.begin(), paths.end());
        std::vector<std::string> halfRuns[2];
        for (int h = 0; h < 2; ++h) {
            halfRuns[h] = {program, "--jobs", "1"};
            halfRuns[h].insert(halfRuns[h].end(), halves[h].begin(), halves[h].end());
        }
        std::vector<Usage> a, b, c2;
        const std::string loadBefore = LoadAverage();
        for (int r = 0; r < runs; ++r) {
            a.push_back(Run(one, config));
            ClearMixedOutputs(folder, paths);
            b.push_back(Run(all, config));
            ClearMixedOutputs(folder, paths);
            c2.push_back(RunTwo(halfRuns[0], halfRuns[1], config));
            ClearMixedOutputs(folder, paths);
        }
        const Usage m1 = Median(a), mAll = Median(b), mTwo = Median(c2);
        std::printf(" %s, load average %s before, %s after\n", c.name, loadBefore.c_str(), LoadAverage().c_str());
        Print("ours, --jobs 1", m1);
        Print("ours, default --jobs", mAll);
        Print("two --jobs 1 processes, halves", mTwo);
        // Where a processor waits: each thread's processor time against the wall.
        std::printf("  busy per thread by default (ms, sampled):");
        for (double ms : mAll.threadMs)
            if (ms >= 1) std::printf(" %.0f", ms);
        std::printf(" of %.0f wall\n", mAll.wallMs);
        // Busy share: processor time over wall time and processors; what is
        // missing from 100% is time a processor waited.
        const double processors = double(sysconf(_SC_NPROCESSORS_ONLN));
        std::printf("  speed-up %.2fx (target >= %s on 2 processors), processors busy %.0f%% by default\n",
                    m1.wallMs / mAll.wallMs, c.presets.size() == 1 ? "1.9" : "1.8",
                    100.0 * (mAll.userMs + mAll.systemMs) / mAll.wallMs / processors);
        std::printf("  two separate processes: %.2fx; ours by default is %.2f times as fast as they are\n",
                    m1.wallMs / mTwo.wallMs, mTwo.wallMs / mAll.wallMs);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const fs::path self = fs::read_symlink("/proc/self/exe");
    // A third argument names another build of the program to time.
    const std::string program = argc > 3 ? std::string(argv[3]) : (self.parent_path() / "bin" / "quillodex").string();
    if (!fs::exists(program)) {
        std::printf("bench_job: %s is missing\n", program.c_str());
        return 1;
    }
    const fs::path root = fs::temp_directory_path() / ("qdx-bench-job-" + std::to_string(getpid()));
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directories(root / "single");
    fs::create_directories(root / "batch");

    // Settings: the default presets with only the first one selected.
    const std::string config = MakeConfig(root, "config", {0});
    if (config.empty()) return 1;

    // Inputs, made by the floor's own encoder, and the floor's small picture.
    std::vector<std::string> inputs;
    for (int i = 0; i < kFiles; ++i) {
        const std::string ppm = (root / ("photo" + std::to_string(i) + ".ppm")).string();
        const std::string jpg = (root / "single" / ("photo" + std::to_string(i) + ".jpg")).string();
        if (!WritePicture(ppm, kWidth, kHeight, 77 + uint32_t(i)) ||
            Run({"cjpeg", "-quality", "90", "-sample", "2x2", "-outfile", jpg, ppm}).failed)
            return 1;
        fs::remove(ppm);
        inputs.push_back(jpg);
    }
    const std::string small = (root / "small.ppm").string();
    if (!WritePicture(small, 800, 600, 5)) return 1;
    for (int i = 0; i < kBatchFiles; ++i)
        fs::copy_file(inputs[size_t(i % kFiles)], root / "batch" / ("f" + std::to_string(100 + i) + ".jpg"));

    if (argc > 2 && std::strcmp(argv[2], "mixed") == 0) {
        const bool measured = MixedFolder(root, program, runs);
        fs::remove_all(root, ignored);
        return measured ? 0 : 1;
    }
    std::printf("load average before: %s (processors: %ld)\n", LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("one process per file, %d files of %dx%d, median of %d rounds, summed over the files\n", kFiles,
                kWidth, kHeight, runs);
    Usage ours1, oursAll, floor, decodeOnly;
    for (int f = 0; f < kFiles; ++f) {
        std::vector<Usage> a, b, c, d;
        for (int r = 0; r < runs; ++r) {
            a.push_back(Run({program, "--jobs", "1", inputs[size_t(f)]}, config));
            ClearOutputs(root / "single");
            b.push_back(Run({program, inputs[size_t(f)]}, config));
            ClearOutputs(root / "single");
            c.push_back(Run({"djpeg", "-outfile", (root / "decoded.ppm").string(), inputs[size_t(f)]}));
            d.push_back(Run({"cjpeg", "-optimize", "-quality", "90", "-outfile", (root / "small.jpg").string(), small}));
        }
        ours1 = Plus(ours1, Median(a));
        oursAll = Plus(oursAll, Median(b));
        decodeOnly = Plus(decodeOnly, Median(c));
        floor = Plus(floor, Plus(Median(c), Median(d)));
    }
    Print("ours, --jobs 1", ours1);
    Print("ours, all threads", oursAll);
    Print("floor: djpeg", decodeOnly);
    Print("floor: djpeg + cjpeg -optimize", floor);
    const double decodedKiB = double(RowStride(kWidth, 24)) * kHeight / 1024.0;
    std::printf("  ratio to the floor (wall):  one thread %.2fx (target <= 1.6), all threads %.2fx (target <= 1.2)\n",
                ours1.wallMs / floor.wallMs, oursAll.wallMs / floor.wallMs);
    std::printf("  ratio to the floor (user + system): one thread %.2fx, all threads %.2fx\n",
                (ours1.userMs + ours1.systemMs) / (floor.userMs + floor.systemMs),
                (oursAll.userMs + oursAll.systemMs) / (floor.userMs + floor.systemMs));
    std::printf("  page faults per file, one thread: %ld (target <= 3000)\n", ours1.minorFaults / kFiles);
    std::printf("  peak memory / decoded picture (%.0f KiB): %.2f (target <= 1.5)\n", decodedKiB,
                double(ours1.peakKiB) / decodedKiB);

    std::printf("batch of %d files in one process, median of %d rounds\n", kBatchFiles, runs);
    std::vector<std::string> batch1 = {program, "--jobs", "1"}, batchAll = {program};
    for (int i = 0; i < kBatchFiles; ++i) {
        const std::string path = (root / "batch" / ("f" + std::to_string(100 + i) + ".jpg")).string();
        batch1.push_back(path);
        batchAll.push_back(path);
    }
    std::vector<Usage> one, all;
    for (int r = 0; r < runs; ++r) {
        one.push_back(Run(batch1, config));
        ClearOutputs(root / "batch");
        all.push_back(Run(batchAll, config));
        ClearOutputs(root / "batch");
    }
    const Usage batchOne = Median(one), batchDefault = Median(all);
    Print("ours, --jobs 1", batchOne);
    Print("ours, default --jobs", batchDefault);
    std::printf("  files per second: %.2f with --jobs 1, %.2f by default: %.2fx (target >= 1.8 on 2 processors)\n",
                kBatchFiles * 1000.0 / batchOne.wallMs, kBatchFiles * 1000.0 / batchDefault.wallMs,
                batchOne.wallMs / batchDefault.wallMs);
    if (!MixedFolder(root, program, runs)) return 1;
    std::printf("load average after: %s\n", LoadAverage().c_str());
    fs::remove_all(root, ignored);
    return 0;
}
