// The bicubic filter against a plain, unhurried rendering of the same
// arithmetic: whole-picture pre-blur buffers (columns, then rows), a weight
// table per direction, and every output summed tap by tap in the fixed order
// (the four row taps of each column tap first, then the column taps from left
// to right). The fast filter must give the same bytes for every size, in
// exact integers where a step allows them and in doubles, with every
// instruction set this processor has, and with its rows shared among threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/worker_pool.h"
#include "scale/bicubic.h"
#include "scale/scaling.h"
#include "tests/scale/picture.h"

namespace qdx {
namespace {

using test::Picture;

// A picture as plain rows of bytes, top-to-bottom in stored order.
struct Plain {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> samples;  // width * 3 per row
    uint8_t& at(uint32_t x, uint32_t y, int c) { return samples[(size_t(y) * width + x) * 3 + size_t(c)]; }
};

// Pre-blur along columns (vertical) or rows, the whole picture at once.
Plain Blur(Plain& in, bool vertical, double ratio) {
    ScalingState state;
    const PreBlurShape shape = PreparePreBlur(state, ratio);
    const int32_t* u = state.preBlurWeights;
    Plain out = in;
    const uint32_t n = vertical ? in.height : in.width;
    for (uint32_t line = 0; line < (vertical ? in.width : in.height); ++line)
        for (int c = 0; c < 3; ++c)
            for (uint32_t j = 0; j < n; ++j) {
                auto sample = [&](uint32_t k) -> uint32_t { return vertical ? in.at(line, k, c) : in.at(k, line, c); };
                uint32_t sum = uint32_t(u[0]) * sample(j), used = uint32_t(u[0]);
                bool inside = true;
                for (uint32_t i = 1; i <= shape.radius; ++i) {
                    if (j >= i) {
                        sum += uint32_t(u[i]) * sample(j - i);
                        used += uint32_t(u[i]);
                    } else {
                        inside = false;
                    }
                    if (j + i < n) {
                        sum += uint32_t(u[i]) * sample(j + i);
                        used += uint32_t(u[i]);
                    } else {
                        inside = false;
                    }
                }
                const uint8_t v = uint8_t(inside ? sum >> shape.shift : sum / used);
                (vertical ? out.at(line, j, c) : out.at(j, line, c)) = v;
            }
    return out;
}

double Kernel(double t) {
    if (t <= 1.0) return (t * t - t - 1.0) * (t - 1.0);
    return (1.0 - t) * ((t - 2.0) * (t - 2.0));
}

struct Taps {
    std::vector<double> weights;  // 4 per output
    std::vector<uint32_t> index;  // 4 per output, clamped
};

Taps MakeTaps(uint32_t n, uint32_t m) {
    Taps taps;
    const double ratio = double(n) / double(m);
    double x = 0.5 * ratio - 0.5;
    for (uint32_t i = 0; i < m; ++i, x += ratio) {
        const double b = std::floor(x);
        for (int k = 0; k < 4; ++k) {
            const double p = b + double(k - 1);
            taps.weights.push_back(Kernel(std::fabs(x - p)));
            const double clamped = p < 0 ? 0 : (p > double(n - 1) ? double(n - 1) : p);
            taps.index.push_back(uint32_t(clamped));
        }
    }
    return taps;
}

Plain Cubic(Plain& in, uint32_t sw, uint32_t sh) {
    const Taps cols = MakeTaps(in.width, sw), rows = MakeTaps(in.height, sh);
    Plain out{sw, sh, std::vector<uint8_t>(size_t(sw) * sh * 3)};
    for (uint32_t j = 0; j < sh; ++j)
        for (uint32_t i = 0; i < sw; ++i)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int kc = 0; kc < 4; ++kc) {
                    const uint32_t x = cols.index[i * 4 + size_t(kc)];
                    double v = 0;
                    for (int kr = 0; kr < 4; ++kr) {
                        const double term = rows.weights[j * 4 + size_t(kr)] * double(in.at(x, rows.index[j * 4 + size_t(kr)], c));
                        v = kr == 0 ? term : v + term;
                    }
                    const double term = cols.weights[i * 4 + size_t(kc)] * v;
                    sum = kc == 0 ? term : sum + term;
                }
                sum = sum < 0.0 ? 0.0 : (sum > 255.0 ? 255.0 : sum);
                out.at(i, j, c) = uint8_t(int32_t(sum));
            }
    return out;
}

std::vector<uint32_t> Plan(uint32_t n, uint32_t t) {
    uint64_t first = t;
    while (first * 4 < n) first *= 4;
    std::vector<uint32_t> plan;
    for (; first > t; first /= 4) plan.push_back(uint32_t(first));
    plan.push_back(t);
    return plan;
}

Plain ReferenceBicubic(Plain picture, uint32_t tw, uint32_t th) {
    const std::vector<uint32_t> widths = Plan(picture.width, tw), heights = Plan(picture.height, th);
    const size_t steps = std::max(widths.size(), heights.size());
    for (size_t s = 0; s < steps; ++s) {
        const uint32_t sw = s < widths.size() ? widths[s] : tw;
        const uint32_t sh = s < heights.size() ? heights[s] : th;
        if (sh < picture.height) picture = Blur(picture, true, double(picture.height) / double(sh));
        if (sw < picture.width) picture = Blur(picture, false, double(picture.width) / double(sw));
        picture = Cubic(picture, sw, sh);
    }
    return picture;
}

// One way of running the filter: the instruction set, whether exact steps
// run in integers, and a pool of threads or none.
struct Path {
    Lanes lanes;
    bool exact;
    WorkerPool* pool;
};

WorkerPool& FourThreads() {
    static WorkerPool pool(4);
    return pool;
}

// Every instruction set this processor runs, each with and without the exact
// steps, and the best one once more with four threads.
std::vector<Path> EveryPath() {
    std::vector<Path> paths;
    for (Lanes lanes : {Lanes::Sse2, Lanes::Sse41, Lanes::Avx2})
        if (LanesAvailable(lanes))
            for (bool exact : {true, false}) paths.push_back({lanes, exact, nullptr});
    paths.push_back({BestLanes(), true, &FourThreads()});
    return paths;
}

// Steps run in integers and in doubles over all calls of RunPath.
uint32_t g_exactSteps = 0, g_doubleSteps = 0;

Picture RunPath(const Path& path, const Picture& source, uint32_t tw, uint32_t th) {
    ScalingState state;
    state.lanes = path.lanes;
    state.exactIntegers = path.exact;
    state.pool = path.pool;
    Picture result(Resample(state, source.pixels(), source.width(), source.height(), int32_t(tw), int32_t(th),
                            FilterBicubic, nullptr),
                   int32_t(tw), int32_t(th));
    g_exactSteps += state.exactSteps;
    g_doubleSteps += state.doubleSteps;
    return result;
}

std::string Describe(const Path& path) {
    return std::string(" lanes ") + std::to_string(int(path.lanes)) + (path.exact ? " exact" : " doubles") +
           (path.pool ? " threads" : "");
}

// Noise over smooth ramps, with saturated patches so that the clamping at 0
// and 255 is exercised.
Picture TestPicture(uint32_t w, uint32_t h, uint32_t variant) {
    std::mt19937 random(variant);
    return Picture::Make(int32_t(w), int32_t(h), [&](int x, int y, int c) {
        const int noise = int(random() % 64) - 32;
        const int patch = ((x / 5 + y / 3) % 4 == 0) ? 255 : ((x / 7 + y / 2) % 5 == 0 ? 0 : -1);
        const int v = patch >= 0 ? patch : (x * 7 + y * 3 + c * 40) % 256 + noise;
        return v < 0 ? 0 : (v > 255 ? 255 : v);
    });
}

void ExpectSameAsReference(uint32_t w, uint32_t h, uint32_t tw, uint32_t th, uint32_t variant) {
    const Picture source = TestPicture(w, h, variant);
    Plain plain{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) plain.at(x, y, c) = source.at(int32_t(x), int32_t(y), c);
    Plain expected = ReferenceBicubic(plain, tw, th);

    for (const Path& path : EveryPath()) {
        const Picture result = RunPath(path, source, tw, th);
        ASSERT_NE(result.pixels(), nullptr);
        uint32_t differences = 0;
        for (uint32_t y = 0; y < th; ++y)
            for (uint32_t x = 0; x < tw; ++x)
                for (int c = 0; c < 3; ++c)
                    if (result.at(int32_t(x), int32_t(y), c) != expected.at(x, y, c) && differences++ < 5)
                        ADD_FAILURE() << w << "x" << h << " -> " << tw << "x" << th << Describe(path) << " differs at "
                                      << x << "," << y << " channel " << c << ": "
                                      << int(result.at(int32_t(x), int32_t(y), c)) << " instead of "
                                      << int(expected.at(x, y, c));
        EXPECT_EQ(differences, 0u) << w << "x" << h << " -> " << tw << "x" << th << Describe(path);
    }
}

TEST(BicubicReference, ChosenSizes) {
    const uint32_t cases[][4] = {
        {400, 300, 80, 60},    // 5:4 then 4:1 in both directions, as for a 4:3 photo to 800 x 600
        {640, 480, 160, 120},  // exactly 4:1
        {97, 61, 13, 7},       // two steps each, odd sizes
        {1000, 33, 10, 30},    // four steps across, a slight reduction down
        {50, 40, 120, 90},     // enlargement
        {37, 29, 36, 80},      // slight reduction one way, enlargement the other
        {301, 7, 9, 7},        // width only
        {7, 300, 7, 5},        // height only
        {1, 50, 1, 3},         // one column
        {50, 1, 3, 1},         // one row
        {5, 5, 1, 1},          // down to a single pixel
        {3, 2, 2, 1},          // lines shorter than the blur's reach
        {2, 3, 5, 7},
        {70, 26, 20, 14},      // pre-blur weights that sum to a little more than one
        {403, 302, 80, 60},    // 1.26 then 4:1, as for a 4032 x 3024 photo: doubles, then integers
        {300, 400, 150, 100},  // 2:1 and 4:1 in one step
    };
    g_exactSteps = g_doubleSteps = 0;
    uint32_t variant = 1;
    for (const auto& c : cases) ExpectSameAsReference(c[0], c[1], c[2], c[3], variant++);
    // Both kinds of step were checked.
    EXPECT_GT(g_exactSteps, 0u);
    EXPECT_GT(g_doubleSteps, 0u);
}

TEST(BicubicReference, RandomSizes) {
    std::mt19937 random(20240611);
    for (uint32_t i = 0; i < 40; ++i) {
        const uint32_t w = 1 + random() % 260, h = 1 + random() % 90;
        // Mostly reductions (some of several steps), some enlargements.
        const uint32_t tw = 1 + random() % (i % 4 == 0 ? 2 * w + 3 : w);
        const uint32_t th = 1 + random() % (i % 5 == 0 ? 2 * h + 3 : h);
        if (tw == w && th == h) continue;
        ExpectSameAsReference(w, h, tw, th, 100 + i);
    }
}

// Full-size camera pictures to the sizes the five resize modes ask for with
// an 800 limit and the 800 x 600 box: every path gives the bytes of the plain
// double path, which the tests above hold to the reference.
TEST(BicubicReference, CameraSizesOnEveryPath) {
    const uint32_t cases[][4] = {
        {4000, 3000, 800, 600}, {4000, 3000, 1067, 800}, {6000, 4000, 800, 533},  {6000, 4000, 900, 600},
        {6000, 4000, 1200, 800}, {4032, 3024, 800, 600}, {4032, 3024, 1067, 800}, {3024, 4032, 600, 800},
        {3024, 4032, 800, 1067}, {1920, 1080, 800, 450}, {1920, 1080, 1067, 600}, {1920, 1080, 1422, 800},
        {5472, 3648, 800, 533},  {5472, 3648, 900, 600},  {5472, 3648, 1200, 800},
    };
    uint32_t variant = 500;
    for (const auto& c : cases) {
        const Picture source = TestPicture(c[0], c[1], variant++);
        const Path plain{Lanes::Sse2, false, nullptr};
        const Picture expected = RunPath(plain, source, c[2], c[3]);
        ASSERT_NE(expected.pixels(), nullptr);
        for (const Path& path : EveryPath()) {
            // The lower instruction sets are held to the reference above.
            if (path.lanes != BestLanes() || (path.lanes == plain.lanes && !path.exact && !path.pool)) continue;
            const Picture result = RunPath(path, source, c[2], c[3]);
            ASSERT_NE(result.pixels(), nullptr);
            EXPECT_TRUE(result.SameAs(expected.pixels()))
                << c[0] << "x" << c[1] << " -> " << c[2] << "x" << c[3] << Describe(path);
        }
    }
}

}  // namespace
}  // namespace qdx
