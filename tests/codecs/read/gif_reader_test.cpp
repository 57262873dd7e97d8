#include "codecs/read/gif_reader.h"

#include <gtest/gtest.h>

#include "core/os/wide_string.h"
#include "tests/support/gif_builder.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::Bytes;
using test::Code;
using test::GifBuilder;
using test::IndexAt;

struct GifReadTest : ::testing::Test {
    GifReaderState state;
    DecodedImage image;

    bool Decode(const Bytes& file) { return test::DecodeBytes(state, file, image); }
    uint32_t FailureOf(const Bytes& file) {
        EXPECT_FALSE(Decode(file));
        EXPECT_EQ(image.pixels.Get(), nullptr);
        return state.input.status;
    }
};

// 2-bit codes: clear 4, end 5, first free 6, codes start 3 bits wide.
GifBuilder TwoBitImage(uint32_t width, uint32_t height, const std::vector<uint32_t>& codes) {
    GifBuilder gif;
    gif.screenWidth = gif.width = width;
    gif.screenHeight = gif.height = height;
    gif.data = test::PackTracked(codes, 2);
    return gif;
}

TEST_F(GifReadTest, ImageSmallerThanTheScreenIsSurroundedByTheBackgroundIndex) {
    GifBuilder gif;
    gif.screenWidth = 5;
    gif.screenHeight = 4;
    gif.backgroundIndex = 3;
    gif.left = 1;
    gif.top = 2;
    gif.width = 3;
    gif.height = 2;
    // Rows 0 1 2 / 2 1 0, one root code per pixel.
    gif.data = test::PackTracked({4, 0, 1, 2, 4, 2, 1, 0, 5}, 2);
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(image.header.biWidth, 5);
    EXPECT_EQ(image.header.biHeight, 4);
    EXPECT_EQ(image.header.biBitCount, 8);
    EXPECT_EQ(image.header.biSize, 40u);
    EXPECT_EQ(image.sourceKind, 5u);
    EXPECT_EQ(image.sourceBitDepth, 2u);
    const Bytes expected = {3, 3, 3, 3, 3,  //
                            3, 3, 3, 3, 3,  //
                            3, 0, 1, 2, 3,  //
                            3, 2, 1, 0, 3};
    EXPECT_EQ(test::TopDownIndices(image), expected);
    // Rows are bottom-up: the bottom screen row comes first in memory.
    EXPECT_EQ(image.pixels.Get()[0], 3);
    EXPECT_EQ(image.pixels.Get()[8 + 1], 0);  // stride 8, image row 0 is screen row 2
    // The palette is the global table as RGBQUAD, the rest black.
    EXPECT_EQ(image.palette[2].rgbRed, 2);
    EXPECT_EQ(image.palette[2].rgbGreen, 4);
    EXPECT_EQ(image.palette[2].rgbBlue, 253);
    EXPECT_EQ(image.palette[4].rgbBlue, 0);
    EXPECT_FALSE(state.resultInterlaced);
}

TEST_F(GifReadTest, TransparentIndexTakesTheBackgroundColour) {
    // No global table: the caller's colour goes in whatever the setting.
    GifBuilder local = TwoBitImage(2, 1, {4, 1, 2, 5});
    local.globalBits = 0;
    local.localBits = 2;
    local.AddGraphicControl(true, 2);
    state.useOwnBackground = 0;
    state.backgroundColour[0] = 10;
    state.backgroundColour[1] = 20;
    state.backgroundColour[2] = 30;
    ASSERT_TRUE(Decode(local.Build()));
    EXPECT_EQ(image.palette[2].rgbRed, 10);
    EXPECT_EQ(image.palette[2].rgbGreen, 20);
    EXPECT_EQ(image.palette[2].rgbBlue, 30);
    EXPECT_EQ(image.palette[1].rgbRed, 1);  // untouched
    EXPECT_EQ(state.resultTransparent, 1);
    EXPECT_EQ(state.resultTransparentIndex, 2);
    EXPECT_EQ(image.sourceBitDepth, 2u);

    // A global table and useOwnBackground clear: the global table's
    // background entry goes in, here into the local table in use.
    GifBuilder both = local;
    both.globalBits = 3;
    both.backgroundIndex = 7;
    ASSERT_TRUE(Decode(both.Build()));
    EXPECT_EQ(image.palette[2].rgbRed, 7);
    EXPECT_EQ(image.palette[2].rgbGreen, 14);
    EXPECT_EQ(image.palette[2].rgbBlue, 248);
    EXPECT_EQ(image.sourceBitDepth, 3u);  // the larger of the two tables

    // With useOwnBackground the caller's colour wins again.
    state.useOwnBackground = 1;
    ASSERT_TRUE(Decode(both.Build()));
    EXPECT_EQ(image.palette[2].rgbRed, 10);

    // Without flattening the table stays as it is, the flag is still kept.
    state.flattenTransparency = 0;
    ASSERT_TRUE(Decode(both.Build()));
    EXPECT_EQ(image.palette[2].rgbRed, 2);
    EXPECT_EQ(state.resultTransparent, 1);

    // A graphic control extension without the flag substitutes nothing.
    state.flattenTransparency = 1;
    GifBuilder opaque = TwoBitImage(2, 1, {4, 1, 2, 5});
    opaque.AddGraphicControl(false, 2);
    ASSERT_TRUE(Decode(opaque.Build()));
    EXPECT_EQ(image.palette[2].rgbRed, 2);
    EXPECT_EQ(state.resultTransparent, 0);
}

TEST_F(GifReadTest, EndCodeRightAfterClearGivesAnAllZeroImage) {
    GifBuilder gif = TwoBitImage(3, 2, {4, 5, 1, 2, 3});
    gif.backgroundIndex = 3;
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes(6, 0));
}

TEST_F(GifReadTest, CodesAboveTheNextFreeCodeAreTakenAsTheNextFreeCode) {
    // After clear, 1: the next free code is 6. Both 6 and 7 decode as
    // "1 1"; the new entry 6 is "1 1" in both cases.
    for (uint32_t code : {6u, 7u}) {
        GifBuilder gif = TwoBitImage(5, 1, {4, 1, code, 6, 5});
        ASSERT_TRUE(Decode(gif.Build())) << code;
        EXPECT_EQ(test::TopDownIndices(image), Bytes({1, 1, 1, 1, 1})) << code;
    }
    // Several leading clear codes are skipped.
    GifBuilder cleared = TwoBitImage(3, 1, {4, 4, 4, 2, 0, 3, 5});
    ASSERT_TRUE(Decode(cleared.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({2, 0, 3}));
}

TEST_F(GifReadTest, CodeWidthGrowsWhenTheNextFreeCodePassesTheWidth) {
    // clear 1 2 (adds 6) 3 (adds 7; next 8 > 7: width 4) then 4-bit codes.
    std::vector<Code> codes = {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}, {6, 4}, {5, 4}};
    GifBuilder gif = TwoBitImage(6, 1, {});
    gif.data = test::PackCodes(codes);
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({1, 2, 3, 0, 1, 2}));
}

TEST_F(GifReadTest, FullTableKeepsDecodingTwelveBitCodes) {
    // Minimum code size 8. Single-byte codes with no repeated pair fill the
    // table: code k (from 1) adds entry 257 + k, widths grow after 511,
    // 1023 and 2047 are added. No clear code follows the full table. Such
    // data takes more than 5/4 bytes per pixel and must still be read whole.
    const size_t singles = 3838 + 1;  // the last one adds entry 4095
    const Bytes sequence = test::UniquePairs(singles + 300);
    std::vector<Code> codes = {{256, 9}};
    int width = 9;
    int32_t next = 258;
    for (size_t i = 0; i < singles; ++i) {
        codes.emplace_back(sequence[i], width);
        if (i > 0 && next < 4096) {
            ++next;
            if (width < 12 && next > (1 << width) - 1) ++width;
        }
    }
    ASSERT_EQ(next, 4096);
    ASSERT_EQ(width, 12);
    Bytes expected(sequence.begin(), sequence.begin() + long(singles));
    // More 12-bit codes: single bytes and the entry 258 (the first pair).
    for (size_t i = singles; i < sequence.size(); ++i) {
        codes.emplace_back(sequence[i], 12);
        expected.push_back(sequence[i]);
    }
    codes.emplace_back(258, 12);
    expected.push_back(sequence[0]);
    expected.push_back(sequence[1]);
    codes.emplace_back(257, 12);

    GifBuilder gif;
    gif.globalBits = 8;
    gif.minimumCodeSize = 8;
    gif.screenWidth = gif.width = uint32_t(expected.size());
    gif.screenHeight = gif.height = 1;
    gif.data = test::PackCodes(codes);
    ASSERT_TRUE(Decode(gif.Build()));
    const Bytes decoded = test::TopDownIndices(image);
    ASSERT_EQ(decoded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(decoded[i], expected[i]) << "pixel " << i;
}

TEST_F(GifReadTest, InterlacedRowsAreMappedByPass) {
    // Height 5: passes hold rows 0 | 4 | 2 | 1 3. Decoded row r is all r.
    GifBuilder gif = TwoBitImage(1, 5, {4, 0, 1, 4, 2, 3, 4, 0, 5});
    gif.interlaced = true;
    gif.localBits = 3;
    gif.minimumCodeSize = 3;  // clear 8, end 9, four-bit codes
    gif.data = test::PackTracked({8, 0, 1, 2, 3, 4, 9}, 3);
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({0, 3, 2, 4, 1}));
    EXPECT_EQ(state.resultInterlaced, 1);

    gif.screenHeight = gif.height = 1;
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({0}));

    // Height 10: passes 0 8 | 4 | 2 6 | 1 3 5 7 9.
    gif.screenHeight = gif.height = 10;
    gif.data = test::PackTracked({8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 9}, 3);
    // After the second clear: 1 and 2 are decoded rows 8 and 9.
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({0, 5, 3, 6, 2, 7, 4, 1, 1, 2}));
}

TEST_F(GifReadTest, DamagedDataNeverFailsTheRead) {
    // Data that ends without an end code: the rest of the image stays 0.
    GifBuilder shortData = TwoBitImage(4, 2, {4, 1, 2, 3});
    shortData.backgroundIndex = 1;
    ASSERT_TRUE(Decode(shortData.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({1, 2, 3, 0, 0, 0, 0, 0}));

    // A string that crosses the end of the image is cut.
    GifBuilder tooLong = TwoBitImage(3, 1, {4, 1, 6, 6, 6, 5});
    ASSERT_TRUE(Decode(tooLong.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({1, 1, 1}));

    // A first code above the end code is one pixel of its low byte; later
    // codes go on from it.
    GifBuilder odd = TwoBitImage(4, 1, {4, 7, 6, 5});
    ASSERT_TRUE(Decode(odd.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({7, 7, 7, 0}));

    // Data after the end code is ignored.
    GifBuilder excess = TwoBitImage(2, 1, {4, 2, 3, 5});
    excess.data.resize(400, 0xFF);
    ASSERT_TRUE(Decode(excess.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({2, 3}));
}

TEST_F(GifReadTest, ExtensionsBeforeTheImageAreSkipped) {
    GifBuilder gif = TwoBitImage(2, 1, {4, 3, 1, 5});
    const Bytes comment = {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    Bytes application = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    Bytes plainText = {0x21, 0x01, 12};
    plainText.resize(15, 0);
    plainText.insert(plainText.end(), {2, 'h', 'i', 0});
    gif.extensions = comment;
    gif.extensions.insert(gif.extensions.end(), application.begin(), application.end());
    gif.extensions.insert(gif.extensions.end(), plainText.begin(), plainText.end());
    gif.AddGraphicControl(true, 1);
    gif.AddGraphicControl(false, 0);  // the last one before the image counts
    ASSERT_TRUE(Decode(gif.Build()));
    EXPECT_EQ(test::TopDownIndices(image), Bytes({3, 1}));
    EXPECT_EQ(state.resultTransparent, 0);
}

TEST_F(GifReadTest, MalformedFilesAreRefusedWithTheirCodes) {
    const Bytes good = TwoBitImage(2, 2, {4, 1, 2, 3, 0, 5}).Build();
    ASSERT_TRUE(Decode(good));

    EXPECT_EQ(FailureOf(Bytes(good.begin(), good.begin() + 12)), kStatusMalformed);
    Bytes version = good;
    version[4] = '8';
    EXPECT_EQ(FailureOf(version), kStatusMalformed);
    Bytes zeroWidth = good;
    zeroWidth[6] = zeroWidth[7] = 0;
    EXPECT_EQ(FailureOf(zeroWidth), kStatusUnsupported);
    // Every truncation of the file fails cleanly (the trailer is not needed).
    for (size_t cut = 13; cut + 2 < good.size(); ++cut)
        EXPECT_EQ(FailureOf(Bytes(good.begin(), good.begin() + long(cut))), kStatusMalformed) << cut;

    GifBuilder gif = TwoBitImage(2, 2, {4, 1, 2, 3, 0, 5});
    gif.extensions = {0x21, 0x02, 0};  // unknown extension label
    EXPECT_EQ(FailureOf(gif.Build()), kStatusCannotOpen);
    gif.extensions = {0x3B};  // trailer before the image
    EXPECT_EQ(FailureOf(gif.Build()), kStatusMalformed);
    gif.extensions = {0x00};  // unknown block
    EXPECT_EQ(FailureOf(gif.Build()), kStatusCannotOpen);
    gif.extensions = {0x21, 0xFE, 9, 'x'};  // comment running past the end
    EXPECT_EQ(FailureOf(gif.Head()), kStatusMalformed);
    gif.extensions.clear();
    for (int i = 0; i < 20000; ++i) gif.extensions.insert(gif.extensions.end(), {0x21, 0xFE, 0});
    EXPECT_EQ(FailureOf(gif.Head()), kStatusMalformed);  // extensions up to the end of the file
    gif.extensions.clear();

    for (uint8_t size : {0, 1, 9, 12}) {
        GifBuilder bad = gif;
        bad.minimumCodeSize = size;
        EXPECT_EQ(FailureOf(bad.Build()), kStatusMalformed) << int(size);
    }
    GifBuilder outside = gif;
    outside.left = 1;
    EXPECT_EQ(FailureOf(outside.Build()), kStatusMalformed);
    outside = gif;
    outside.top = 65535;
    EXPECT_EQ(FailureOf(outside.Build()), kStatusMalformed);
    GifBuilder noTable = gif;
    noTable.globalBits = 0;
    EXPECT_EQ(FailureOf(noTable.Build()), kStatusMalformed);
    GifBuilder empty = gif;
    empty.data.clear();
    EXPECT_EQ(FailureOf(empty.Build()), kStatusMalformed);
    // A sub-block that runs past the end of the file.
    Bytes overrun = gif.Head();
    const Bytes descriptor = gif.Descriptor();
    overrun.insert(overrun.end(), descriptor.begin(), descriptor.end());
    overrun.insert(overrun.end(), {2, 200, 1, 2, 3});
    EXPECT_EQ(FailureOf(overrun), kStatusMalformed);
    // A global table that does not fit.
    GifBuilder bigTable = gif;
    bigTable.globalBits = 8;
    bigTable.globalTable = Bytes(100, 1);
    EXPECT_EQ(FailureOf(bigTable.Head()), kStatusMalformed);
}

TEST_F(GifReadTest, ReadsFromAFileAndKeepsItsSizeAndTime) {
    test::TempFolder folder;
    const WideString path = folder.File(u"small.gif");
    const Bytes file = TwoBitImage(2, 2, {4, 1, 2, 3, 0, 5}).Build();
    ASSERT_TRUE(test::WriteBytes(path, file.data(), file.size()));
    ASSERT_TRUE(ReadGifImage(state, path, &image));
    EXPECT_EQ(image.fileSize, file.size());
    EXPECT_NE(image.lastWriteTime, 0u);
    EXPECT_EQ(test::TopDownIndices(image), Bytes({1, 2, 3, 0}));
    EXPECT_FALSE(state.input.file.IsOpen());
    image.pixels.Reset();

    EXPECT_FALSE(ReadGifImage(state, folder.File(u"missing.gif"), &image));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);
    // A record of its own when none is given, released again on failure.
    const WideString broken = folder.File(u"broken.gif");
    ASSERT_TRUE(test::WriteBytes(broken, file.data(), 20));
    EXPECT_FALSE(ReadGifImage(state, broken, nullptr));
    EXPECT_EQ(state.input.status, kStatusMalformed);
    EXPECT_EQ(state.input.image, nullptr);
}

}  // namespace
}  // namespace qdx
