// The pixel budget: one check of the declared size, made by every reader
// before it allocates, and what the batch does with a refusal.
#include "core/pixel_budget.h"

#include <gtest/gtest.h>

#include "batch/batch.h"
#include "core/result_codes.h"
#include "core/worker_pool.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/bomb_images.h"
#include "tests/support/sample_images.h"

namespace qdx {
namespace {

TEST(PixelBudget, AdmitsUpToTheLimitAndWhatTheMemoryHolds) {
    struct Case {
        uint64_t width, height, maxPixels, memory;
        uint32_t expected;
    };
    const Case cases[] = {
        {14142, 14142, kDefaultMaxPixels, 0, 0},                       // 199.99 megapixels
        {20000, 10000, kDefaultMaxPixels, 0, 0},                       // exactly the limit
        {20000, 10001, kDefaultMaxPixels, 0, kStatusTooManyPixels},    // one row more
        {uint64_t(1) << 32, 1, UINT64_MAX / 4, 0, kStatusTooManyPixels},  // no side of 2^32
        {100, 100, 9999, 0, kStatusTooManyPixels},                     // a lowered limit
        {1000, 1000, kDefaultMaxPixels, 6000000, 0},                   // 3 MB and a copy fit
        {1000, 1000, kDefaultMaxPixels, 5999999, kStatusOutOfMemory},  // they do not
    };
    for (const Case& c : cases) {
        PixelBudget budget;
        budget.maxPixels = c.maxPixels;
        budget.memoryBytes = c.memory;
        EXPECT_EQ(AdmitPicture(&budget, c.width, c.height), c.expected) << c.width << " x " << c.height;
        EXPECT_EQ(budget.refusal, c.expected);
        if (c.expected) {
            EXPECT_EQ(budget.refusedHeight, uint32_t(c.height));
        }
    }
    EXPECT_EQ(AdmitPicture(nullptr, 20000, 10001), kStatusTooManyPixels);  // no budget: the default limit
}

TEST(PixelBudget, EveryReaderRefusesItsBombFromTheHeader) {
    test::TempFolder folder;
    const Settings settings = test::BlankSettings();
    ConversionContext context;
    ASSERT_TRUE(context.Initialise(1));
    context.settings = &settings;
    for (const test::BombFile& bomb : test::MakeBombFiles()) {
        const WideString path = folder.File(bomb.fileName);
        ASSERT_TRUE(test::WriteBytes(path, bomb.bytes));
        EXPECT_FALSE(DecodeInput(context, path)) << bomb.name;
        EXPECT_EQ(context.budget.refusal, kStatusTooManyPixels) << bomb.name;
        EXPECT_EQ(context.budget.refusedWidth, bomb.width) << bomb.name;
        EXPECT_EQ(context.budget.refusedHeight, bomb.height) << bomb.name;
        EXPECT_EQ(context.image.pixels.Get(), nullptr);
    }
}

// Side by side, as the batch runs with several threads: each refusal is told
// with its size, in order, and the files around it are converted.
TEST(PixelBudget, TheBatchNamesTheRefusedSizeAndGoesOn) {
    test::TempFolder folder;
    test::ScopedTemporaryFolder scoped(folder.Path());
    const WideString paths[] = {folder.File(u"a.bmp"), folder.File(u"bomb.gif"), folder.File(u"b.bmp"),
                                folder.File(u"wide.bmp")};
    ASSERT_TRUE(test::WriteBytes(paths[0], test::MakeBmp24(30, 20)));
    ASSERT_TRUE(test::WriteBytes(paths[1], test::MakeBombFiles()[1].bytes));
    ASSERT_TRUE(test::WriteBytes(paths[2], test::MakeBmp24(20, 30)));
    ASSERT_TRUE(test::WriteBytes(paths[3], test::MakeBmp24(101, 10)));
    Settings settings = test::BlankSettings();
    const uint8_t selection[4] = {1, 0, 0, 0};
    SetConversionThreads(4);
    test::RecordingHost host;
    // A limit of 1000 pixels, as --max-megapixels would set one.
    EXPECT_EQ(RunConversion(host, 4, paths, selection, settings, BuiltInCodecSteps(), 1000), 2u);
    SetConversionThreads(0);
    EXPECT_EQ(host.files, (std::vector<std::string>{"0 written", "1 too large", "2 written", "3 too large"}));
    EXPECT_EQ(host.Count("too large 30000x30000"), 1);
    EXPECT_EQ(host.Count("too large 101x10"), 1);
}

}  // namespace
}  // namespace qdx
