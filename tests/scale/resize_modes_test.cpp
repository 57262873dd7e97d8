#include "scale/resize_modes.h"

#include <gtest/gtest.h>

#include "batch/conversion_context.h"
#include "batch/resize_and_write.h"
#include "core/settings.h"
#include "scale/scaling.h"
#include "scale/sharpen.h"
#include "tests/scale/picture.h"

namespace qdx {
namespace {

using test::Picture;

// What the output step saw.
struct Written {
    int calls = 0;
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    const uint8_t* pixels = nullptr;
};
Written g_written;
bool g_writerResult = true;

bool RecordingStep(ConversionContext& context) {
    ++g_written.calls;
    g_written.width = context.image.header.biWidth;
    g_written.height = context.image.header.biHeight;
    g_written.bitCount = context.image.header.biBitCount;
    g_written.pixels = context.image.pixels.Get();
    return g_writerResult;
}

class ResizeModes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.Initialise());
        context.preset = &preset;
        context.outputStep = RecordingStep;
        preset.resampleFilter = FilterNearest;
        g_written = Written{};
        g_writerResult = true;
    }

    // A 24-bit picture whose blue and green bytes give the column and whose
    // red byte gives the stored row (modulo 256).
    void Load(int32_t width, int32_t height) {
        const Picture p = Picture::Make(width, height, [](int x, int y, int c) {
            return c == 0 ? x & 255 : c == 1 ? (x >> 8) & 255 : y & 255;
        });
        Load(p);
    }
    void Load(const Picture& p) {
        context.image.pixels.Reset();
        SetImageHeader(context.image, p.width(), p.height(), 24);
        context.image.pixels = AllocatePixelBuffer(uint32_t(p.width()), uint32_t(p.height()), 24);
        std::memcpy(context.image.pixels.Get(), p.pixels(), size_t(p.stride()) * uint32_t(p.height()));
    }
    void Mode(uint32_t mode, int32_t width, int32_t height = 0, bool keepAspect = false) {
        preset.resizeMode = mode;
        preset.targetWidth = width;
        preset.targetHeight = height;
        preset.keepAspect = keepAspect ? 1 : 0;
    }
    // Runs a mode on a fresh picture and returns the written size.
    std::pair<int32_t, int32_t> SizeAfter(int32_t width, int32_t height) {
        Load(width, height);
        EXPECT_TRUE(ResizeAndWrite(context));
        EXPECT_EQ(g_written.calls, 1);
        g_written.calls = 0;
        return {g_written.width, g_written.height};
    }
    const uint8_t* Pixel(int32_t x, int32_t storedRow) const {
        return context.image.pixels.Get() + size_t(storedRow) * RowStride(uint32_t(context.image.header.biWidth), 24) +
               size_t(x) * 3;
    }
    int Column(int32_t x, int32_t storedRow) const { return Pixel(x, storedRow)[0] | (Pixel(x, storedRow)[1] << 8); }

    Preset preset;
    ConversionContext context;
};

using Size = std::pair<int32_t, int32_t>;

TEST_F(ResizeModes, WidthAndHeightLimits) {
    Mode(ResizeToWidth, 400);
    EXPECT_EQ(SizeAfter(1600, 1200), Size(400, 300));
    Mode(ResizeToWidth, 100);
    EXPECT_EQ(SizeAfter(10000, 40), Size(100, 1));  // 0.4 + 0.5 truncates to 0, raised to 1
    Mode(ResizeToHeight, 300);
    EXPECT_EQ(SizeAfter(1000, 999), Size(300, 300));  // 300.3 + 0.5
    EXPECT_EQ(SizeAfter(1001, 1000), Size(300, 300));
    EXPECT_EQ(SizeAfter(250, 300), Size(250, 300));  // not longer than the limit
}

TEST_F(ResizeModes, LongerAndShorterSide) {
    Mode(ResizeLongerSide, 200);
    EXPECT_EQ(SizeAfter(800, 600), Size(200, 150));
    EXPECT_EQ(SizeAfter(600, 800), Size(150, 200));
    EXPECT_EQ(SizeAfter(500, 500), Size(200, 200));
    Mode(ResizeShorterSide, 200);
    EXPECT_EQ(SizeAfter(800, 600), Size(267, 200));  // 266.67 + 0.5
    EXPECT_EQ(SizeAfter(600, 800), Size(200, 267));
    EXPECT_EQ(SizeAfter(500, 500), Size(200, 200));
}

TEST_F(ResizeModes, PictureWithinTheLimitGoesOutUntouched) {
    // An 8-bit picture that needs no resize stays 8-bit, same buffer.
    const Picture base = Picture::Make(400, 300, [](int, int, int) { return 0; });
    Load(base);
    context.image.header.biBitCount = 8;
    const uint8_t* pixels = context.image.pixels.Get();
    Mode(ResizeToWidth, 400);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(g_written.calls, 1);
    EXPECT_EQ(g_written.bitCount, 8);
    EXPECT_EQ(g_written.pixels, pixels);
    for (uint32_t mode : {ResizeNone, 6u, 0xFFFFFFFFu}) {
        Mode(mode, 10, 10);
        ASSERT_TRUE(ResizeAndWrite(context));
        EXPECT_EQ(g_written.pixels, pixels);
        EXPECT_EQ(g_written.width, 400);
    }
    Mode(ResizeToWidth, 0);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(g_written.pixels, pixels);
}

TEST_F(ResizeModes, BoxStretchesOrCoversAndCrops) {
    Mode(ResizeToBox, 800, 600, false);
    EXPECT_EQ(SizeAfter(1600, 1000), Size(800, 600));
    EXPECT_EQ(SizeAfter(1000, 500), Size(1000, 500));  // lower than the box: unchanged
    EXPECT_EQ(SizeAfter(700, 900), Size(700, 900));    // narrower than the box: unchanged
    EXPECT_EQ(SizeAfter(800, 600), Size(800, 600));

    Mode(ResizeToBox, 800, 600, true);
    // ry = 0.6 > rx = 0.5: scaled to 960 x 600, columns 80 to 879 kept.
    Load(1600, 1000);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(Size(g_written.width, g_written.height), Size(800, 600));
    // Nearest: scaled column 80 came from source column trunc(80.5 x 1600 / 960).
    EXPECT_EQ(Column(0, 0), 134);
    EXPECT_EQ(Column(799, 599), 1465);  // scaled column 879
    g_written.calls = 0;
    EXPECT_EQ(SizeAfter(1000, 500), Size(1000, 500));
    EXPECT_EQ(SizeAfter(800, 600), Size(800, 600));
}

TEST_F(ResizeModes, BoxCropPositions) {
    Mode(ResizeToBox, 800, 600, true);
    // 800 x 700: a same-size resample, then rows 50 to 649 counted from the
    // top, that is stored rows 50 to 649 of 700 as well (700 - 649 - 1 = 50).
    Load(800, 700);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(Size(g_written.width, g_written.height), Size(800, 600));
    EXPECT_EQ(Pixel(0, 0)[2], 50);
    EXPECT_EQ(Pixel(0, 599)[2], 649 & 255);
    EXPECT_EQ(Column(799, 10), 799);

    // 1601 x 1000 scales to 961 x 600 and keeps columns 80 to 879 (80 cut on
    // the left, 81 on the right).
    Load(1601, 1000);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(Size(g_written.width, g_written.height), Size(800, 600));
    Load(1601, 1000);
    ScalingState state;
    const Picture scaled(Resample(state, context.image.pixels.Get(), 1601, 1000, 961, 600, FilterNearest, nullptr), 961, 600);
    ASSERT_TRUE(ResizeAndWrite(context));
    for (int y : {0, 300, 599})
        for (int x : {0, 1, 400, 799}) {
            EXPECT_EQ(Column(x, y), scaled.at(x + 80, y, 0) | (scaled.at(x + 80, y, 1) << 8));
            EXPECT_EQ(Pixel(x, y)[2], scaled.at(x + 80, y, 2));
        }

    // 801 x 601 goes straight to 800 x 600 and the crop keeps all of it.
    Load(801, 601);
    const Picture direct(Resample(state, context.image.pixels.Get(), 801, 601, 800, 600, FilterNearest, nullptr), 800, 600);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(Size(g_written.width, g_written.height), Size(800, 600));
    EXPECT_TRUE(direct.SameAs(context.image.pixels.Get()));
}

TEST_F(ResizeModes, PromotesIndexedPicturesThroughThePalette) {
    // 5 x 2 indexed: source rows advance by 8 bytes, target rows by 16.
    context.image.pixels.Reset();
    SetImageHeader(context.image, 5, 2, 8);
    context.image.pixels = AllocatePixelBuffer(5, 2, 8);
    for (int i = 0; i < 256; ++i)
        context.image.palette[i] = RGBQUAD{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0xEE};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) context.image.pixels.Get()[y * 8 + x] = uint8_t(y * 100 + x);
    ASSERT_TRUE(PromoteTo24Bit(context.image));
    EXPECT_EQ(context.image.header.biBitCount, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = context.image.pixels.Get() + y * 16 + x * 3;
            const int index = y * 100 + x;
            EXPECT_EQ(p[0], index);
            EXPECT_EQ(p[1], 255 - index);
            EXPECT_EQ(p[2], index / 2);
        }
    // Already 24 bits: nothing changes.
    const uint8_t* pixels = context.image.pixels.Get();
    ASSERT_TRUE(PromoteTo24Bit(context.image));
    EXPECT_EQ(context.image.pixels.Get(), pixels);
    // Other depths cannot be promoted.
    context.image.header.biBitCount = 4;
    EXPECT_FALSE(PromoteTo24Bit(context.image));
}

TEST_F(ResizeModes, IndexedPictureIsResampledIn24Bits) {
    context.image.pixels.Reset();
    SetImageHeader(context.image, 8, 4, 8);
    context.image.pixels = AllocatePixelBuffer(8, 4, 8);
    context.image.palette[1] = RGBQUAD{10, 20, 30, 0};
    std::memset(context.image.pixels.Get(), 1, 8 * 4);
    Mode(ResizeToWidth, 4);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_EQ(g_written.bitCount, 24);
    EXPECT_EQ(Size(g_written.width, g_written.height), Size(4, 2));
    EXPECT_EQ(Pixel(3, 1)[0], 10);
    EXPECT_EQ(Pixel(3, 1)[2], 30);
}

TEST_F(ResizeModes, CropRectCountsRowsFromTheTop) {
    const Picture p = Picture::Make(6, 5, [](int x, int y, int c) { return x * 10 + y + c * 100; });
    int32_t w = 0, h = 0;
    // Columns 1..3, rows 0..1 from the top = stored rows 3 and 4.
    os::PixelMemory cut = CropRect({1, 0, 3, 1}, p.pixels(), 6, 5, 24, w, h);
    ASSERT_TRUE(cut);
    const Picture cropped(std::move(cut), w, h);
    EXPECT_EQ(Size(w, h), Size(3, 2));
    EXPECT_EQ(cropped.at(0, 0, 0), 10 + 3);
    EXPECT_EQ(cropped.at(2, 1, 2), 30 + 4 + 200);

    // 8 bits: rows padded to 4 bytes.
    std::vector<uint8_t> indexed(8 * 3 + 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) indexed[size_t(y * 8 + x)] = uint8_t(y * 16 + x);
    const os::PixelMemory small = CropRect({2, 1, 6, 2}, indexed.data(), 7, 3, 8, w, h);
    ASSERT_TRUE(small);
    EXPECT_EQ(Size(w, h), Size(5, 2));
    EXPECT_EQ(small.Get()[0], 0 * 16 + 2);  // stored row 3 - 2 - 1 = 0
    EXPECT_EQ(small.Get()[8 + 4], 1 * 16 + 6);

    EXPECT_FALSE(CropRect({0, 0, 1, 1}, p.pixels(), 6, 5, 16, w, h));
    EXPECT_FALSE(CropRect({0, 0, 6, 1}, p.pixels(), 6, 5, 24, w, h));  // past the right edge
    EXPECT_FALSE(CropRect({0, 3, 1, 5}, p.pixels(), 6, 5, 24, w, h));  // past the bottom
    EXPECT_FALSE(CropRect({-1, 0, 1, 1}, p.pixels(), 6, 5, 24, w, h));
    EXPECT_FALSE(CropRect({3, 0, 2, 1}, p.pixels(), 6, 5, 24, w, h));  // empty
}

TEST_F(ResizeModes, FailuresSkipTheWriterAndWriterResultPassesThrough) {
    Mode(ResizeToWidth, 10);
    preset.resampleFilter = 7;  // no such filter
    Load(40, 20);
    EXPECT_FALSE(ResizeAndWrite(context));
    EXPECT_EQ(g_written.calls, 0);

    preset.resampleFilter = FilterAreaAverage;
    g_writerResult = false;
    EXPECT_FALSE(ResizeAndWrite(context));
    EXPECT_EQ(g_written.calls, 1);
    EXPECT_EQ(g_written.width, 10);

    context.outputStep = nullptr;
    Load(40, 20);
    EXPECT_FALSE(ResizeAndWrite(context));
}

TEST_F(ResizeModes, SharpensAfterTheResampleOnly) {
    const Picture base = Picture::Make(40, 40, [](int x, int y, int) { return (x / 4 + y / 4) % 2 ? 200 : 30; });
    preset.resampleFilter = FilterAreaAverage;
    preset.sharpness = 2;  // strength index 4
    Mode(ResizeToWidth, 20);
    Load(base);
    ASSERT_TRUE(ResizeAndWrite(context));
    // The same steps by hand.
    ScalingState state;
    DecodedImage expected;
    SetImageHeader(expected, 20, 20, 24);
    expected.pixels = Resample(state, base.pixels(), 40, 40, 20, 20, FilterAreaAverage, nullptr);
    SharpenState sharpen;
    ASSERT_TRUE(Sharpen(sharpen, expected, 4));
    const Picture want(std::move(expected.pixels), 20, 20);
    EXPECT_TRUE(want.SameAs(context.image.pixels.Get()));
    const Picture plain(Resample(state, base.pixels(), 40, 40, 20, 20, FilterAreaAverage, nullptr), 20, 20);
    EXPECT_FALSE(plain.SameAs(context.image.pixels.Get()));

    // No resample, no sharpening.
    Load(base);
    Mode(ResizeToWidth, 40);
    ASSERT_TRUE(ResizeAndWrite(context));
    EXPECT_TRUE(base.SameAs(context.image.pixels.Get()));
}

// The everyday job, a 12-megapixel photo through the first default preset,
// runs both bicubic steps (5:4, then 4:1) in exact integers; a 4032 x 3024
// photo needs doubles for its first step (1.26) only.
TEST_F(ResizeModes, DefaultBoxPresetRunsInIntegersWherePositionsAllow) {
    preset = DefaultPreset(0);
    const std::pair<Size, Size> cases[] = {{{4000, 3000}, {2, 0}}, {{4032, 3024}, {1, 1}}};
    for (const auto& [picture, steps] : cases) {
        context.scaling->exactSteps = context.scaling->doubleSteps = 0;
        EXPECT_EQ(SizeAfter(picture.first, picture.second), Size(800, 600));
        EXPECT_EQ(context.scaling->exactSteps, uint32_t(steps.first)) << picture.first;
        EXPECT_EQ(context.scaling->doubleSteps, uint32_t(steps.second)) << picture.first;
    }
}

}  // namespace
}  // namespace qdx
