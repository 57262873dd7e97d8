#include "scale/sharpen.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/decoded_image.h"
#include "core/worker_pool.h"
#include "tests/scale/picture.h"

namespace qdx {
namespace {

using test::Picture;

// A DecodedImage that owns a copy of a test picture.
struct Image {
    DecodedImage image;
    explicit Image(const Picture& p) {
        SetImageHeader(image, p.width(), p.height(), 24);
        image.pixels = AllocatePixelBuffer(uint32_t(p.width()), uint32_t(p.height()), 24);
        std::memcpy(image.pixels.Get(), p.pixels(), size_t(p.stride()) * uint32_t(p.height()));
    }
    uint8_t at(int x, int y, int c) const {
        return image.pixels.Get()[size_t(y) * RowStride(uint32_t(image.header.biWidth), 24) + size_t(x) * 3 + c];
    }
};

TEST(SharpenTables, DivisionGainAndClamp) {
    SharpenState state;
    ASSERT_TRUE(BuildSharpenTables(state));
    EXPECT_EQ(SharpenDivide(state, 0), 0);
    EXPECT_EQ(SharpenDivide(state, 12), 0);
    EXPECT_EQ(SharpenDivide(state, 13), 1);
    EXPECT_EQ(SharpenDivide(state, 2988), 119);  // exact rounding of 119.52 would give 120
    EXPECT_EQ(SharpenDivide(state, 6375), 255);
    int lowerThanExact = 0;
    for (uint32_t s = 0; s < kDivisionEntries; ++s)
        if (SharpenDivide(state, s) + 1u == (s * 2 + 25) / 50) ++lowerThanExact;
    EXPECT_EQ(lowerThanExact, 136);

    // Index 2 (sharpness 1): -1 -> -1 (floor of -2 / 8), 3 -> 0, 4 -> 1.
    EXPECT_EQ(SharpenGain(state, 2, -1), -1);
    EXPECT_EQ(SharpenGain(state, 2, 3), 0);
    EXPECT_EQ(SharpenGain(state, 2, 4), 1);
    EXPECT_EQ(SharpenGain(state, 0, 127), 0);
    EXPECT_EQ(SharpenGain(state, 6, 127), 95);
    EXPECT_EQ(SharpenGain(state, 100, -128), -1600);
    EXPECT_EQ(SharpenGain(state, 100, 127), 1587);

    EXPECT_EQ(SharpenClamp(state, kClampLowest), 0);
    EXPECT_EQ(SharpenClamp(state, 0), 0);
    EXPECT_EQ(SharpenClamp(state, 1), 1);
    EXPECT_EQ(SharpenClamp(state, 254), 254);
    EXPECT_EQ(SharpenClamp(state, 250 + 95), 255);  // index 6: 250 with detail 127
    EXPECT_EQ(SharpenClamp(state, kClampHighest), 255);
}

TEST(Sharpen, LeavesFlatAndNarrowPicturesAlone) {
    SharpenState state;
    Image flat(Picture::Make(9, 7, [](int, int, int c) { return 40 + c * 70; }));
    const uint8_t* before = flat.image.pixels.Get();
    EXPECT_TRUE(Sharpen(state, flat.image, 6));
    EXPECT_NE(flat.image.pixels.Get(), before);  // a new buffer, the old one released
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(flat.at(x, y, c), 40 + c * 70);

    auto stripes = [](int x, int y, int) { return (x + y) % 2 ? 255 : 0; };
    for (auto size : {std::pair{4, 100}, std::pair{100, 4}}) {
        Image narrow(Picture::Make(size.first, size.second, stripes));
        const uint8_t* pixels = narrow.image.pixels.Get();
        EXPECT_FALSE(Sharpen(state, narrow.image, 6));
        EXPECT_EQ(narrow.image.pixels.Get(), pixels);
    }
    Image smallest(Picture::Make(5, 5, stripes));
    EXPECT_TRUE(Sharpen(state, smallest.image, 6));
    EXPECT_EQ(smallest.at(1, 2, 0), 255);  // 255 against a blur of about 127: pushed to the top
    EXPECT_EQ(smallest.at(2, 2, 0), 0);
    EXPECT_EQ(smallest.at(2, 2, 1), 0);

    Image indexed(Picture::Make(8, 8, stripes));
    indexed.image.header.biBitCount = 8;
    EXPECT_FALSE(Sharpen(state, indexed.image, 2));
    EXPECT_FALSE(Sharpen(state, smallest.image, kMaxSharpenStrength + 1));
}

TEST(Sharpen, ThresholdOnTheSummedDetail) {
    // A flat 100 with one different pixel: its blur is V[2400 + v].
    auto spot = [](int blue, int green, int red) {
        return Picture::Make(9, 9, [=](int x, int y, int c) {
            if (x != 4 || y != 4) return 100;
            return c == 0 ? blue : c == 1 ? green : red;
        });
    };
    SharpenState state;
    {
        Image exactly20(spot(121, 100, 100));  // blur V[2521] = 101: detail 20, 0, 0
        Image copy(spot(121, 100, 100));
        ASSERT_TRUE(Sharpen(state, exactly20.image, 2));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x)
                for (int c = 0; c < 3; ++c) ASSERT_EQ(exactly20.at(x, y, c), copy.at(x, y, c));
    }
    {
        Image over(spot(122, 100, 100));  // detail 21: gain (2 x 21) >> 3 = 5
        ASSERT_TRUE(Sharpen(state, over.image, 2));
        EXPECT_EQ(over.at(4, 4, 0), 127);
        EXPECT_EQ(over.at(4, 4, 1), 100);
        EXPECT_EQ(over.at(3, 4, 0), 100);  // a neighbour's detail is -1
    }
    {
        // Spread over the channels: 7 + 7 + 7 = 21 is sharpened, 7 + 7 + 6 is not.
        Image spread(spot(107, 107, 107));
        ASSERT_TRUE(Sharpen(state, spread.image, 2));
        EXPECT_EQ(spread.at(4, 4, 0), 108);
        EXPECT_EQ(spread.at(4, 4, 2), 108);
        Image under(spot(107, 107, 106));
        ASSERT_TRUE(Sharpen(state, under.image, 2));
        EXPECT_EQ(under.at(4, 4, 0), 107);
        EXPECT_EQ(under.at(4, 4, 2), 106);
    }
}

TEST(Sharpen, EdgesRepeatTheNearestSample) {
    // A bright corner in stored row 0, column 0 of a black picture: it counts
    // 9 times in its own blur (V[2250] = 90, detail 127 after clamping) and 6
    // times in its neighbour's (V[1500] = 60, detail -60).
    Image corner(Picture::Make(6, 6, [](int x, int y, int c) { return x == 0 && y == 0 && c == 1 ? 250 : 0; }));
    SharpenState state;
    ASSERT_TRUE(Sharpen(state, corner.image, 2));
    EXPECT_EQ(corner.at(0, 0, 1), 255);  // 250 + (2 x 127) >> 3
    EXPECT_EQ(corner.at(1, 0, 1), 0);    // 0 - 15, clamped
    EXPECT_EQ(corner.at(2, 2, 1), 0);    // detail -10: below the threshold
    // The same picture turned upside down behaves the same way at its top.
    Image top(Picture::Make(6, 6, [](int x, int y, int c) { return x == 5 && y == 5 && c == 1 ? 250 : 0; }));
    ASSERT_TRUE(Sharpen(state, top.image, 2));
    EXPECT_EQ(top.at(5, 5, 1), 255);
    EXPECT_EQ(top.at(4, 5, 1), 0);
}

TEST(Sharpen, StrengthScalesTheGain) {
    // A vertical edge 60 | 160: next to it the blur is 100 (two of five
    // columns bright) and the detail -40 on the dark side.
    auto edge = [](int x, int, int) { return x < 4 ? 60 : 160; };
    SharpenState state;
    for (uint32_t strength : {2u, 4u, 6u}) {
        Image picture(Picture::Make(8, 6, edge));
        ASSERT_TRUE(Sharpen(state, picture.image, strength));
        EXPECT_EQ(picture.at(3, 2, 0), 60 + ((int(strength) * -40) >> 3)) << strength;
        EXPECT_EQ(picture.at(4, 2, 0), 160 + ((int(strength) * 40) >> 3)) << strength;
        EXPECT_EQ(picture.at(0, 2, 0), 60);  // far from the edge: flat
    }
}

// Rows shared among four threads give the bytes of one thread.
TEST(Sharpen, SharedAmongThreadsGivesTheSameBytes) {
    WorkerPool pool(4);
    const test::Picture source =
        test::Picture::Make(203, 141, [](int x, int y, int c) { return (x * x + y * 31 + c * 70) % 256; });
    DecodedImage pictures[2];
    SharpenState states[2];
    states[1].pool = &pool;
    for (int k = 0; k < 2; ++k) {
        SetImageHeader(pictures[k], 203, 141, 24);
        pictures[k].pixels = AllocatePixelBuffer(203, 141, 24);
        std::memcpy(pictures[k].pixels.Get(), source.pixels(), size_t(source.stride()) * 141);
        ASSERT_TRUE(Sharpen(states[k], pictures[k], 6));
    }
    EXPECT_EQ(std::memcmp(pictures[0].pixels.Get(), pictures[1].pixels.Get(), size_t(source.stride()) * 141), 0);
    EXPECT_FALSE(source.SameAs(pictures[0].pixels.Get()));
}

}  // namespace
}  // namespace qdx
