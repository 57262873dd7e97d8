#include "scale/scaling.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/worker_pool.h"
#include "scale/bicubic.h"
#include "tests/scale/picture.h"

namespace qdx {
namespace {

using test::Picture;

Picture Scaled(const Picture& source, int32_t width, int32_t height, uint32_t filter) {
    ScalingState state;
    return Picture(Resample(state, source.pixels(), source.width(), source.height(), width, height, filter, nullptr),
                   width, height);
}

// Channel 0 of a one-row or one-column result, in stored order.
std::vector<int> Line(const Picture& p) {
    std::vector<int> line;
    if (p.height() == 1)
        for (int32_t x = 0; x < p.width(); ++x) line.push_back(p.at(x, 0, 0));
    else
        for (int32_t y = 0; y < p.height(); ++y) line.push_back(p.at(0, y, 0));
    return line;
}

TEST(AreaAverage, ReducesFiveSamplesToTwoWithTheCarriedFraction) {
    // d = 2.5: the middle sample is split, its carry trunc(0.5 x 31 + 0.5) = 16
    // goes to the second output: D[10 + 20 + 31 - 16] = D[45] = 18 and
    // D[16 + 40 + 50] = D[106] = 42 with D[k] = trunc(k / 2.5 + 0.5).
    EXPECT_EQ(Line(Scaled(Picture::Row({10, 20, 31, 40, 50}), 2, 1, FilterAreaAverage)), (std::vector<int>{18, 42}));
    EXPECT_EQ(Line(Scaled(Picture::Column({10, 20, 31, 40, 50}), 1, 2, FilterAreaAverage)), (std::vector<int>{18, 42}));
    EXPECT_EQ(Line(Scaled(Picture::Row({255, 255, 255, 255, 255}), 2, 1, FilterAreaAverage)),
              (std::vector<int>{255, 255}));
}

TEST(AreaAverage, WalksColumnsInStoredOrder) {
    // Three stored rows 0, 11, 0 into two: the 11 is split with its rounded-up
    // half (6) carried forward, so stored row 0 gets D[5] = 3 and stored row 1
    // D[6] = 4. Walking the rows top-down would give 4, 3.
    EXPECT_EQ(Line(Scaled(Picture::Column({0, 11, 0}), 1, 2, FilterAreaAverage)), (std::vector<int>{3, 4}));
    EXPECT_EQ(Line(Scaled(Picture::Row({0, 11, 0}), 2, 1, FilterAreaAverage)), (std::vector<int>{3, 4}));
}

TEST(AreaAverage, EnlargesByLinearInterpolation) {
    // Positions -0.25 (raised to 0), 0.25, 0.75 and 1.25 (right neighbour clamped).
    EXPECT_EQ(Line(Scaled(Picture::Row({0, 200}), 4, 1, FilterAreaAverage)), (std::vector<int>{0, 50, 150, 200}));
    EXPECT_EQ(Line(Scaled(Picture::Column({0, 200}), 1, 4, FilterAreaAverage)), (std::vector<int>{0, 50, 150, 200}));
}

TEST(AreaAverage, ReducesColumnsBeforeRowsWithChannelsApart) {
    // A 5 x 3 picture to 2 x 2, each channel with its own pattern; the figures
    // come from working the two passes through by hand and by a second
    // implementation of the same rules.
    const Picture source = Picture::Make(5, 3, [](int x, int y, int c) {
        return c == 0 ? (x * 50 + y * 7) % 256 : c == 1 ? (x * x + y) % 256 : (255 - x * 30 - y * 20 + 512) % 256;
    });
    const Picture result = Scaled(source, 2, 2, FilterAreaAverage);
    const int expected[2][2][3] = {{{42, 1, 224}, {162, 11, 152}}, {{52, 3, 198}, {172, 13, 126}}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(result.at(x, y, c), expected[y][x][c]) << x << "," << y << "," << c;
}

TEST(AreaAverage, ShrinksOneWayAndGrowsTheOther) {
    const Picture source = Picture::Make(6, 2, [](int x, int y, int) { return y == 0 ? x * 10 : 100; });
    const Picture result = Scaled(source, 3, 4, FilterAreaAverage);
    ASSERT_NE(result.pixels(), nullptr);
    // Columns 0,1 -> 5; 2,3 -> 25; 4,5 -> 45 on the bottom stored row.
    EXPECT_EQ(result.at(0, 0, 0), 5);
    EXPECT_EQ(result.at(1, 0, 0), 25);
    EXPECT_EQ(result.at(2, 0, 0), 45);
    EXPECT_EQ(result.at(1, 3, 0), 100);
    // Stored row 1 lies a quarter of the way up: 25 x 0.75 + 100 x 0.25.
    EXPECT_EQ(result.at(1, 1, 0), 44);
}

// Lines shared among four threads give the bytes of one thread: reductions
// and enlargements, odd widths that split columns anywhere in a pixel.
TEST(AreaAverage, SharedAmongThreadsGivesTheSameBytes) {
    WorkerPool pool(4);
    const Picture source = Picture::Make(301, 203, [](int x, int y, int c) { return (x * 13 + y * 7 + c * 50) % 256; });
    const int32_t targets[][2] = {{97, 61}, {640, 410}, {300, 500}};
    for (const auto& t : targets) {
        ScalingState one, four;
        four.pool = &pool;
        const Picture a(Resample(one, source.pixels(), 301, 203, t[0], t[1], FilterAreaAverage, nullptr), t[0], t[1]);
        const Picture b(Resample(four, source.pixels(), 301, 203, t[0], t[1], FilterAreaAverage, nullptr), t[0], t[1]);
        ASSERT_NE(a.pixels(), nullptr);
        ASSERT_NE(b.pixels(), nullptr);
        EXPECT_TRUE(a.SameAs(b.pixels())) << t[0] << "x" << t[1];
    }
}

TEST(Nearest, PicksCentresInStoredOrder) {
    // Width 3 -> 2 takes columns 0 and 2 (positions 0.75, 2.25); 2 -> 4 takes 0, 0, 1, 1.
    EXPECT_EQ(Line(Scaled(Picture::Row({10, 20, 30}), 2, 1, FilterNearest)), (std::vector<int>{10, 30}));
    EXPECT_EQ(Line(Scaled(Picture::Row({10, 20}), 4, 1, FilterNearest)), (std::vector<int>{10, 10, 20, 20}));
    // Four stored rows to two: positions 1 and 3 pick stored rows 1 and 3
    // (a top-down walk would pick the other two).
    EXPECT_EQ(Line(Scaled(Picture::Column({10, 20, 30, 40}), 1, 2, FilterNearest)), (std::vector<int>{20, 40}));
    EXPECT_EQ(Line(Scaled(Picture::Column({10, 20}), 1, 4, FilterNearest)), (std::vector<int>{10, 10, 20, 20}));
}

TEST(Nearest, CopiesWholePixels) {
    const Picture source = Picture::Make(4, 4, [](int x, int y, int c) { return x * 60 + y * 3 + c; });
    const Picture result = Scaled(source, 2, 2, FilterNearest);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(result.at(x, y, c), source.at(2 * x + 1, 2 * y + 1, c));
}

TEST(BicubicPlan, QuartersDownToTheTarget) {
    uint32_t lengths[kMaxBicubicSteps];
    ASSERT_EQ(BicubicStepPlan(1000, 10, lengths), 4u);
    EXPECT_EQ(std::vector<uint32_t>(lengths, lengths + 4), (std::vector<uint32_t>{640, 160, 40, 10}));
    ASSERT_EQ(BicubicStepPlan(4000, 1000, lengths), 1u);  // 4 x 1000 is not below 4000
    EXPECT_EQ(lengths[0], 1000u);
    ASSERT_EQ(BicubicStepPlan(1001, 250, lengths), 2u);
    EXPECT_EQ(lengths[0], 1000u);
    EXPECT_EQ(lengths[1], 250u);
    ASSERT_EQ(BicubicStepPlan(30, 90, lengths), 1u);  // enlargements are one step
    EXPECT_EQ(lengths[0], 90u);
    ASSERT_EQ(BicubicStepPlan(0xFFFFFFFFu, 1, lengths), 16u);
    EXPECT_EQ(lengths[0], 1u << 30);
}

TEST(BicubicPreBlur, WeightsForTheThreeRadii) {
    ScalingState state;
    PreBlurShape shape = PreparePreBlur(state, 4.0);
    EXPECT_EQ(shape.radius, 2u);
    EXPECT_EQ(shape.shift, 10u);
    EXPECT_EQ(state.preBlurWeights[0], 411);
    EXPECT_EQ(state.preBlurWeights[1], 250);
    EXPECT_EQ(state.preBlurWeights[2], 56);

    shape = PreparePreBlur(state, 2.0);
    EXPECT_EQ(shape.radius, 1u);
    EXPECT_EQ(shape.shift, 9u);
    EXPECT_EQ(state.preBlurWeights[0], 402);
    EXPECT_EQ(state.preBlurWeights[1], 55);
    EXPECT_EQ(state.preBlurWeights[2], 0);  // not left over from the wider blur

    shape = PreparePreBlur(state, 1.5625);  // 1000 -> 640
    EXPECT_EQ(shape.radius, 1u);

    shape = PreparePreBlur(state, 1.0001);
    EXPECT_EQ(shape.radius, 1u);
    EXPECT_EQ(shape.shift, 8u);
    EXPECT_EQ(state.preBlurWeights[0], 256);
    EXPECT_EQ(state.preBlurWeights[1], 0);
}

TEST(BicubicKernel, WeightsAtHalfAndQuarter) {
    double w[4];
    EXPECT_EQ(BicubicTapWeights(2.5, w), 2);
    EXPECT_DOUBLE_EQ(w[0], -0.125);
    EXPECT_DOUBLE_EQ(w[1], 0.625);
    EXPECT_DOUBLE_EQ(w[2], 0.625);
    EXPECT_DOUBLE_EQ(w[3], -0.125);
    EXPECT_EQ(BicubicTapWeights(7.25, w), 7);
    EXPECT_DOUBLE_EQ(w[0], -0.140625);
    EXPECT_DOUBLE_EQ(w[1], 0.890625);
    EXPECT_DOUBLE_EQ(w[2], 0.296875);
    EXPECT_DOUBLE_EQ(w[3], -0.046875);
    // A true floor below zero: -0.25 lies three quarters past -1.
    EXPECT_EQ(BicubicTapWeights(-0.25, w), -1);
    EXPECT_DOUBLE_EQ(w[0], -0.046875);
    EXPECT_DOUBLE_EQ(w[1], 0.296875);
    EXPECT_DOUBLE_EQ(w[2], 0.890625);
    EXPECT_DOUBLE_EQ(w[3], -0.140625);
    // Whole positions: 0, 1, 0, 0.
    EXPECT_EQ(BicubicTapWeights(3.0, w), 3);
    EXPECT_EQ(w[0], 0.0);
    EXPECT_EQ(w[1], 1.0);
    EXPECT_EQ(w[2], 0.0);
    EXPECT_EQ(w[3], 0.0);
    EXPECT_DOUBLE_EQ(CubicKernel(2.0), 0.0);
}

TEST(Bicubic, PreBlursThenResamplesWithTruncation) {
    // Ratio 4: the row is blurred to 15 33 59 89 119 149 176 194 (ends divided
    // by the weights used), then the half-way weights give 44.5 and 164.75.
    EXPECT_EQ(Line(Scaled(Picture::Row({0, 30, 60, 90, 120, 150, 180, 210}), 2, 1, FilterBicubic)),
              (std::vector<int>{44, 164}));
    // The pre-blur weights sum to 1023 / 1024, so a flat 200 comes out 199.
    const Picture flat = Scaled(Picture::Make(64, 1, [](int, int, int) { return 200; }), 16, 1, FilterBicubic);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(flat.at(x, 0, 1), 199);
}

TEST(Bicubic, EnlargesWithoutBlurAndClampsTapsAtTheEdges) {
    EXPECT_EQ(Line(Scaled(Picture::Row({10, 20, 40, 80}), 8, 1, FilterBicubic)),
              (std::vector<int>{8, 11, 14, 24, 29, 52, 70, 85}));
    EXPECT_EQ(Line(Scaled(Picture::Column({10, 20, 40, 80}), 1, 8, FilterBicubic)),
              (std::vector<int>{8, 11, 14, 24, 29, 52, 70, 85}));
}

TEST(Bicubic, StepsThroughTheColumnPlan) {
    // 21 -> 5 plans 20 then 5: a near-identity pre-blur, 21 -> 20, then 4:1.
    std::vector<int> column;
    for (int i = 0; i < 21; ++i) column.push_back((i * 37) % 256);
    EXPECT_EQ(Line(Scaled(Picture::Column(column), 1, 5, FilterBicubic)), (std::vector<int>{60, 153, 113, 73, 165}));
}

TEST(Bicubic, AnUnchangedDirectionIsLeftAlone) {
    // Rows of different content reduced in width only: every row must come
    // out as if it had been resampled alone.
    const Picture source = Picture::Make(37, 3, [](int x, int y, int c) { return (x * 29 + y * 101 + c * 7) % 256; });
    const Picture all = Scaled(source, 9, 3, FilterBicubic);
    for (int y = 0; y < 3; ++y) {
        const Picture row = Picture::Make(37, 1, [&](int x, int, int c) { return source.at(x, y, c); });
        const Picture alone = Scaled(row, 9, 1, FilterBicubic);
        for (int x = 0; x < 9; ++x)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(all.at(x, y, c), alone.at(x, 0, c));
    }
}

TEST(Bicubic, PlansEachDimensionOnItsOwn) {
    // 4000 x 1001 -> 1000 x 250: the first step gives 1000 x 1000, the second
    // 1000 x 250 without blurring the rows again, so the whole is the same as
    // asking for those two sizes one after the other.
    const Picture source =
        Picture::Make(4000, 1001, [](int x, int y, int c) { return (x * 13 + y * 7 + c * 50 + (x * y) % 17) % 256; });
    const Picture result = Scaled(source, 1000, 250, FilterBicubic);
    ASSERT_NE(result.pixels(), nullptr);
    const Picture first = Scaled(source, 1000, 1000, FilterBicubic);
    const Picture second = Scaled(first, 1000, 250, FilterBicubic);
    EXPECT_TRUE(result.SameAs(second.pixels()));
}

TEST(Resample, SameSizeIsAnExactCopyWithEveryFilter) {
    const Picture source = Picture::Make(7, 5, [](int x, int y, int c) { return (x * 41 + y * 17 + c * 90) % 256; });
    ScalingState state;
    ASSERT_TRUE(PrepareHalftoneContext(state));
    // Only a system with a halftone stretch gets a device context.
    EXPECT_EQ(state.halftoneDc.IsOpen(), os::kHasHalftoneStretch);
    DecodedImage image;
    SetImageHeader(image, 7, 5, 24);
    for (uint32_t filter : {FilterAreaAverage, FilterBicubic, FilterNearest, FilterHalftone}) {
        const Picture copy(Resample(state, source.pixels(), 7, 5, 7, 5, filter, &image.header), 7, 5);
        ASSERT_NE(copy.pixels(), nullptr) << filter;
        EXPECT_NE(copy.pixels(), source.pixels());
        EXPECT_TRUE(copy.SameAs(source.pixels())) << filter;
    }
}

TEST(Resample, RefusesImpossibleRequests) {
    const Picture source = Picture::Make(4, 4, [](int, int, int) { return 1; });
    ScalingState state;
    for (uint32_t filter : {FilterAreaAverage, FilterBicubic, FilterNearest}) {
        EXPECT_FALSE(Resample(state, source.pixels(), 4, 4, 0, 2, filter, nullptr));
        EXPECT_FALSE(Resample(state, source.pixels(), 4, 4, 2, 0, filter, nullptr));
        EXPECT_FALSE(Resample(state, source.pixels(), 4, 4, -3, 2, filter, nullptr));
        // 70000 x 70000 x 3 bytes does not fit in 32 bits.
        EXPECT_FALSE(Resample(state, source.pixels(), 4, 4, 70000, 70000, filter, nullptr));
    }
    EXPECT_FALSE(Resample(state, source.pixels(), 4, 4, 2, 2, 4, nullptr));
    EXPECT_FALSE(Resample(state, nullptr, 4, 4, 2, 2, FilterNearest, nullptr));
}

TEST(Halftone, GivesThePictureAtTheRequestedSize) {
    // A smooth picture, so that any sensible halftone stretch stays close to
    // the area average.
    const Picture source =
        Picture::Make(64, 48, [](int x, int y, int c) { return c == 0 ? x * 4 : c == 1 ? y * 5 : (x + y) * 2; });
    DecodedImage image;
    SetImageHeader(image, 64, 48, 24);
    ScalingState state;
    if (os::kHasHalftoneStretch) {
        // Without its device context the filter cannot run.
        EXPECT_FALSE(Resample(state, source.pixels(), 64, 48, 16, 12, FilterHalftone, &image.header));
    }
    ASSERT_TRUE(PrepareHalftoneContext(state));
    ASSERT_TRUE(PrepareHalftoneContext(state));  // once per batch: a second call keeps the context
    const Picture halftone(Resample(state, source.pixels(), 64, 48, 16, 12, FilterHalftone, &image.header), 16, 12);
    ASSERT_NE(halftone.pixels(), nullptr);
    const Picture average = Scaled(source, 16, 12, FilterAreaAverage);
    if (!os::kHasHalftoneStretch) {
        EXPECT_TRUE(halftone.SameAs(average.pixels()));  // area averaging stands in
        return;
    }
    long total = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            for (int c = 0; c < 3; ++c) total += std::abs(int(halftone.at(x, y, c)) - int(average.at(x, y, c)));
    EXPECT_LT(double(total) / (16 * 12 * 3), 8.0);
    // The header must describe the source.
    image.header.biWidth = 63;
    EXPECT_FALSE(Resample(state, source.pixels(), 64, 48, 16, 12, FilterHalftone, &image.header));
    EXPECT_FALSE(Resample(state, source.pixels(), 64, 48, 16, 12, FilterHalftone, nullptr));
}

}  // namespace
}  // namespace qdx
