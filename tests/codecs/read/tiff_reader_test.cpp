#include "codecs/read/tiff_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/os/wide_string.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tiff_file_builder.h"

namespace qdx {
namespace {

using test::BuildSimpleTiff;
using test::SimpleTiff;
using test::TiffFileBuilder;
using B = TiffFileBuilder;

class TiffReaderTest : public ::testing::Test {
protected:

    bool Read(const std::string& bytes) {
        image.pixels.Reset();
        const WideString path = folder.File(u"input.tif");
        EXPECT_TRUE(test::WriteBytes(path, bytes));
        return ReadTiffImage(state, path, &image);
    }
    // Reads a file that must be refused and returns the code.
    uint32_t Refused(const std::string& bytes) {
        const bool ok = Read(bytes);
        EXPECT_FALSE(ok);
        EXPECT_EQ(image.pixels.Get(), nullptr);
        EXPECT_FALSE(state.stripOffsets);
        EXPECT_FALSE(state.joined);
        return ok ? 0 : state.input.status;
    }
    // Pixel (x, y) with y counted from the top of the picture.
    const uint8_t* Pixel(int x, int y) {
        const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
        return image.pixels.Get() + uint64_t(image.header.biHeight - 1 - y) * stride + x * (image.header.biBitCount / 8);
    }

    test::TempFolder folder;
    TiffReaderState state;
    DecodedImage image;
};

TEST_F(TiffReaderTest, BilevelWhiteIsZeroMapsBitZeroToWhite) {
    SimpleTiff s;
    s.width = 10;  // two bytes per row, six bits of padding
    s.height = 2;
    s.photometric = 0;
    s.bitsPerSample = 1;
    s.strip = {0b10110000, 0b01000000, 0b00000001, 0b10000000};
    const std::string file = BuildSimpleTiff(s);
    ASSERT_TRUE(Read(file)) << state.input.status;
    EXPECT_EQ(image.header.biSize, 40u);
    EXPECT_EQ(image.header.biWidth, 10);
    EXPECT_EQ(image.header.biHeight, 2);
    EXPECT_EQ(image.header.biPlanes, 1);
    EXPECT_EQ(image.header.biBitCount, 8);
    EXPECT_EQ(image.header.biCompression, 0u);
    EXPECT_EQ(image.sourceKind, 4u);
    EXPECT_EQ(image.sourceBitDepth, 1u);
    EXPECT_EQ(image.fileSize, file.size());
    EXPECT_NE(image.lastWriteTime, 0u);
    EXPECT_EQ(image.palette[0].rgbRed, 255);
    EXPECT_EQ(image.palette[0].rgbGreen, 255);
    EXPECT_EQ(image.palette[0].rgbBlue, 255);
    EXPECT_EQ(image.palette[1].rgbRed, 0);
    EXPECT_EQ(image.palette[1].rgbGreen, 0);
    EXPECT_EQ(image.palette[2].rgbRed, 0);  // entries beyond the source's stay 0
    const uint8_t top[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    const uint8_t bottom[10] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 0};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(*Pixel(x, 0), top[x]) << x;
        EXPECT_EQ(*Pixel(x, 1), bottom[x]) << x;
    }
    // The first row of the file is the last row in memory.
    EXPECT_EQ(image.pixels.Get()[12 + 0], 1);
    EXPECT_EQ(image.pixels.Get()[0 + 7], 1);
}

TEST_F(TiffReaderTest, GreyRampsFollowTheBitDepthAndPhotometricSense) {
    struct Case {
        uint32_t photometric, bits;
        uint8_t entry1, lastIndex, lastLevel;
    } cases[] = {{1, 1, 255, 1, 255}, {1, 4, 17, 15, 255}, {1, 8, 1, 255, 255},
                 {0, 4, 238, 15, 0},  {0, 8, 254, 255, 0}};
    for (const Case& c : cases) {
        SimpleTiff s;
        s.photometric = c.photometric;
        s.bitsPerSample = c.bits;
        s.strip = {0x00};
        ASSERT_TRUE(Read(BuildSimpleTiff(s))) << c.photometric << "/" << c.bits;
        EXPECT_EQ(image.palette[0].rgbGreen, c.photometric == 0 ? 255 : 0);
        EXPECT_EQ(image.palette[1].rgbRed, c.entry1);
        EXPECT_EQ(image.palette[c.lastIndex].rgbBlue, c.lastLevel);
        EXPECT_EQ(image.palette[c.lastIndex].rgbReserved, 0);
        EXPECT_EQ(image.sourceBitDepth, c.bits);
    }
}

TEST_F(TiffReaderTest, FourBitPaletteReadsFortyEightColourMapValuesInFileOrder) {
    for (bool little : {true, false}) {
        SimpleTiff s;
        s.littleEndian = little;
        s.width = 3;  // odd: the last nibble of a row lands in the padding
        s.height = 2;
        s.photometric = 3;
        s.bitsPerSample = 4;
        s.strip = {0x12, 0xF7, 0x0E, 0x5A};
        s.colourMap.assign(48, 0);
        s.colourMap[1] = 0xFF00;        // red of entry 1
        s.colourMap[16 + 1] = 0x80FF;   // green of entry 1: high byte only
        s.colourMap[32 + 1] = 0x00FF;   // blue of entry 1
        s.colourMap[15] = 0x1234;       // red of entry 15
        s.colourMap[32 + 15] = 0xABCD;  // blue of entry 15
        ASSERT_TRUE(Read(BuildSimpleTiff(s))) << state.input.status;
        EXPECT_EQ(image.sourceBitDepth, 4u);
        EXPECT_EQ(image.palette[1].rgbRed, 255);
        EXPECT_EQ(image.palette[1].rgbGreen, 0x80);
        EXPECT_EQ(image.palette[1].rgbBlue, 0);
        EXPECT_EQ(image.palette[15].rgbRed, 0x12);
        EXPECT_EQ(image.palette[15].rgbBlue, 0xAB);
        EXPECT_EQ(image.palette[16].rgbRed, 0);
        // Stride 4: top row (last in memory) 1, 2, 15 and the padding nibble 7.
        const uint8_t expected[8] = {0, 14, 5, 10, 1, 2, 15, 7};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(image.pixels.Get()[i], expected[i]) << i;
    }
}

TEST_F(TiffReaderTest, PaletteOfOneAndEightBits) {
    SimpleTiff s;
    s.width = 9;
    s.photometric = 3;
    s.bitsPerSample = 1;
    s.strip = {0x80, 0x80};
    s.colourMap = {0x1100, 0x2200, 0x3300, 0x4400, 0x5500, 0x6600};
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(image.palette[0].rgbRed, 0x11);
    EXPECT_EQ(image.palette[1].rgbRed, 0x22);
    EXPECT_EQ(image.palette[0].rgbGreen, 0x33);
    EXPECT_EQ(image.palette[1].rgbBlue, 0x66);
    EXPECT_EQ(*Pixel(0, 0), 1);
    EXPECT_EQ(*Pixel(1, 0), 0);
    EXPECT_EQ(*Pixel(8, 0), 1);

    s.width = 2;
    s.bitsPerSample = 8;
    s.strip = {200, 7};
    s.colourMap.assign(768, 0);
    s.colourMap[200] = 0xC800;
    s.colourMap[512 + 7] = 0x0700;
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(image.sourceBitDepth, 8u);
    EXPECT_EQ(*Pixel(0, 0), 200);
    EXPECT_EQ(*Pixel(1, 0), 7);
    EXPECT_EQ(image.palette[200].rgbRed, 200);
    EXPECT_EQ(image.palette[7].rgbBlue, 7);
}

TEST_F(TiffReaderTest, RgbSamplesBecomeBlueGreenRed) {
    SimpleTiff s;
    s.width = 2;
    s.height = 2;
    s.photometric = 2;
    s.samples = 3;
    s.strip = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(image.header.biBitCount, 24);
    EXPECT_EQ(image.sourceBitDepth, 24u);
    // Stride 8; the top row is stored last.
    const uint8_t expected[16] = {9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(image.pixels.Get()[i], expected[i]) << i;
}

TEST_F(TiffReaderTest, SixteenBitRgbTakesTheHighByteOfEachSample) {
    SimpleTiff s;
    s.width = 1;
    s.photometric = 2;
    s.samples = 3;
    s.bitsPerSample = 16;
    s.strip = {0xA0, 0xA1, 0xB0, 0xB1, 0xC0, 0xC1};
    s.littleEndian = true;  // bytes 1, 3 and 5
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(image.sourceBitDepth, 48u);
    EXPECT_EQ(Pixel(0, 0)[0], 0xC1);
    EXPECT_EQ(Pixel(0, 0)[1], 0xB1);
    EXPECT_EQ(Pixel(0, 0)[2], 0xA1);
    s.littleEndian = false;  // bytes 0, 2 and 4
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(Pixel(0, 0)[0], 0xC0);
    EXPECT_EQ(Pixel(0, 0)[1], 0xB0);
    EXPECT_EQ(Pixel(0, 0)[2], 0xA0);
}

TEST_F(TiffReaderTest, StripArraysInTheEntryOrAtTheirOffsetAreJoinedInOrder) {
    for (bool little : {true, false}) {
        // Two SHORT offsets standing in the entry itself, strips stored in
        // reverse order in the file.
        B b(little);
        const uint32_t second = b.AddBytes({30, 40});
        const uint32_t first = b.AddBytes({10, 20});
        b.Entry(256, B::kShort, 1, 2);
        b.Entry(257, B::kLong, 1, 2);
        b.Entry(258, B::kShort, 1, 8);
        b.Entry(262, B::kShort, 1, 1);
        b.TwoShortsEntry(273, uint16_t(first), uint16_t(second));
        b.TwoShortsEntry(279, 2, 2);
        ASSERT_TRUE(Read(b.Build())) << state.input.status;
        EXPECT_EQ(*Pixel(0, 0), 10);
        EXPECT_EQ(*Pixel(1, 0), 20);
        EXPECT_EQ(*Pixel(0, 1), 30);
        EXPECT_EQ(*Pixel(1, 1), 40);
    }
    // Three LONG offsets and three SHORT counts at their offsets.
    B b(true);
    const uint32_t s0 = b.AddBytes({1, 2, 3});
    const uint32_t s1 = b.AddBytes({4, 5, 6});
    const uint32_t s2 = b.AddBytes({7, 8, 9});
    b.Entry(256, B::kShort, 1, 3);
    b.Entry(257, B::kShort, 1, 3);
    b.Entry(258, B::kShort, 1, 8);
    b.Entry(262, B::kShort, 1, 1);
    b.Entry(273, B::kLong, 3, b.AddLongs({s0, s1, s2}));
    b.Entry(279, B::kShort, 3, b.AddShorts({3, 3, 3}));
    ASSERT_TRUE(Read(b.Build()));
    EXPECT_EQ(*Pixel(2, 0), 3);
    EXPECT_EQ(*Pixel(0, 1), 4);
    EXPECT_EQ(*Pixel(2, 2), 9);
}

TEST_F(TiffReaderTest, ShortStripDataLeavesTheMissingPixelsZero) {
    // Four 8-bit rows of 5 pixels are needed; the strip holds 1.6 rows.
    SimpleTiff s;
    s.width = 5;
    s.height = 4;
    s.photometric = 1;
    s.strip = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(*Pixel(4, 0), 5);
    EXPECT_EQ(*Pixel(2, 1), 8);
    EXPECT_EQ(*Pixel(3, 1), 0);
    EXPECT_EQ(*Pixel(0, 3), 0);

    // The same for 16-bit RGB (only whole pixels are taken) and 1 and 4 bits.
    s.photometric = 2;
    s.samples = 3;
    s.bitsPerSample = 16;
    s.width = 2;
    s.strip.assign(9, 0xEE);
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(Pixel(0, 0)[2], 0xEE);
    EXPECT_EQ(Pixel(1, 0)[0], 0);
    s.samples = 1;
    s.photometric = 1;
    for (uint32_t bits : {1u, 4u}) {
        s.bitsPerSample = bits;
        s.width = 20;
        s.strip = {0xFF};
        ASSERT_TRUE(Read(BuildSimpleTiff(s)));
        EXPECT_EQ(*Pixel(0, 0), bits == 1 ? 1 : 15);
        EXPECT_EQ(*Pixel(bits == 1 ? 8 : 2, 0), 0);
    }
    // No strip data at all.
    s.strip.clear();
    ASSERT_TRUE(Read(BuildSimpleTiff(s)));
    EXPECT_EQ(*Pixel(0, 0), 0);
}

TEST_F(TiffReaderTest, ResolutionComesFromBothRationalsInTheUnit) {
    struct Case {
        bool x, y;
        uint32_t xNum, xDen, yNum, yDen;
        int unit;  // 0: tag absent (inch)
        int32_t expectX, expectY;
    } cases[] = {
        {false, false, 0, 0, 0, 0, 0, 0, 0},     // no XResolution: 0
        {true, true, 72, 1, 144, 2, 0, 2835, 2835},
        {true, true, 300, 1, 150, 1, 2, 11811, 5906},
        {true, true, 4724, 100, 1, 1, 3, 4724, 100},  // centimetres
        {true, true, 72, 1, 72, 1, 1, 0, 0},     // no absolute unit
        {true, false, 72, 1, 0, 0, 0, 0, 0},     // only one of the two
        {true, true, 72, 0, 72, 1, 0, 0, 0},     // zero denominator
        {true, true, 0xFFFFFFFFu, 1, 72, 1, 2, 0, 2835},  // beyond 32 bits
    };
    for (const Case& c : cases) {
        B b(false);
        if (c.x) b.Entry(282, B::kRational, 1, b.AddRational(c.xNum, c.xDen));
        if (c.y) b.Entry(283, B::kRational, 1, b.AddRational(c.yNum, c.yDen));
        if (c.unit) b.Entry(296, B::kShort, 1, uint32_t(c.unit));
        SimpleTiff s;
        s.littleEndian = false;
        s.strip = {0};
        ASSERT_TRUE(Read(BuildSimpleTiff(s, &b)));
        EXPECT_EQ(image.header.biXPelsPerMeter, c.expectX) << c.xNum << "/" << c.xDen << " unit " << c.unit;
        EXPECT_EQ(image.header.biYPelsPerMeter, c.expectY) << c.yNum << "/" << c.yDen << " unit " << c.unit;
    }
    // A rational past the end of the file leaves both at 0.
    B b(true);
    b.Entry(282, B::kRational, 1, 0xFFFFFFF0u);
    b.Entry(283, B::kRational, 1, b.AddRational(72, 1));
    SimpleTiff s;
    s.strip = {0};
    ASSERT_TRUE(Read(BuildSimpleTiff(s, &b)));
    EXPECT_EQ(image.header.biXPelsPerMeter, 0);
    EXPECT_EQ(image.header.biYPelsPerMeter, 0);
}

TEST_F(TiffReaderTest, UnsupportedContentIsRefusedWith50002) {
    SimpleTiff rgba;
    rgba.photometric = 2;
    rgba.samples = 4;
    rgba.strip = {1, 2, 3, 4};
    EXPECT_EQ(Refused(BuildSimpleTiff(rgba)), kStatusUnsupported);

    for (uint32_t compression : {5u, 32773u, 2u, 7u}) {  // LZW, PackBits, fax, JPEG
        SimpleTiff s;
        s.compression = compression;
        s.strip = {0};
        EXPECT_EQ(Refused(BuildSimpleTiff(s)), kStatusUnsupported) << compression;
    }
    struct Layout {
        uint32_t photometric, bits, samples;
    } layouts[] = {{1, 2, 1}, {1, 16, 1}, {0, 16, 1}, {3, 2, 1}, {2, 8, 1}, {5, 8, 1}, {6, 8, 3}, {4, 1, 1}};
    for (const Layout& l : layouts) {
        SimpleTiff s;
        s.photometric = l.photometric;
        s.bitsPerSample = l.bits;
        s.samples = l.samples;
        s.strip.assign(16, 0);
        if (l.photometric == 3) s.colourMap.assign(12, 0);
        EXPECT_EQ(Refused(BuildSimpleTiff(s)), kStatusUnsupported) << l.photometric << "/" << l.bits;
    }
    // A palette image without its colour map.
    SimpleTiff palette;
    palette.photometric = 3;
    palette.strip = {0};
    EXPECT_EQ(Refused(BuildSimpleTiff(palette)), kStatusUnsupported);

    // No PhotometricInterpretation at all.
    B b(true);
    const uint32_t strip = b.AddBytes({0});
    b.Entry(256, B::kShort, 1, 1);
    b.Entry(257, B::kShort, 1, 1);
    b.Entry(258, B::kShort, 1, 8);
    b.Entry(273, B::kLong, 1, strip);
    b.Entry(279, B::kLong, 1, 1);
    EXPECT_EQ(Refused(b.Build()), kStatusUnsupported);
}

TEST_F(TiffReaderTest, SizeLimitsAreRefusedWith50002) {
    // A negative width, a missing height.
    SimpleTiff s;
    s.strip = {0};
    s.width = 0x80000000u;
    EXPECT_EQ(Refused(BuildSimpleTiff(s)), kStatusUnsupported);
    B noHeight(true);
    const uint32_t strip = noHeight.AddBytes({0});
    noHeight.Entry(256, B::kShort, 1, 1);
    noHeight.Entry(262, B::kShort, 1, 1);
    noHeight.Entry(273, B::kLong, 1, strip);
    noHeight.Entry(279, B::kLong, 1, 1);
    EXPECT_EQ(Refused(noHeight.Build()), kStatusUnsupported);

    // A pixel buffer of 2^32 bytes or more (stride 65540 x 65535 rows), or 24
    // bits of 0x7FFFFFFF pixels: both over the pixel limit before anything else.
    s.width = 65537;
    s.height = 65535;  // SHORT
    EXPECT_EQ(Refused(BuildSimpleTiff(s)), kStatusTooManyPixels);
    s.width = 0x7FFFFFFF;
    s.height = 1;
    s.photometric = 2;
    s.samples = 3;
    EXPECT_EQ(Refused(BuildSimpleTiff(s)), kStatusTooManyPixels);

    // Strip arrays of 2^30 entries; strips summing to 2^32 bytes.
    B huge(true);
    huge.Entry(256, B::kShort, 1, 1);
    huge.Entry(257, B::kShort, 1, 1);
    huge.Entry(262, B::kShort, 1, 1);
    huge.Entry(273, B::kLong, 1u << 30, 8);
    EXPECT_EQ(Refused(huge.Build()), kStatusUnsupported);
    B sum(true);
    const uint32_t data = sum.AddBytes({1, 2, 3, 4});
    sum.Entry(256, B::kShort, 1, 1);
    sum.Entry(257, B::kShort, 1, 1);
    sum.Entry(262, B::kShort, 1, 1);
    sum.Entry(273, B::kLong, 2, sum.AddLongs({data, data}));
    sum.Entry(279, B::kLong, 2, sum.AddLongs({0x80000000u, 0x80000000u}));
    EXPECT_EQ(Refused(sum.Build()), kStatusUnsupported);
    // One byte less is a valid total, but the strips are not in the file.
    B justBelow(true);
    const uint32_t strips = justBelow.AddBytes({1, 2, 3, 4});
    justBelow.Entry(256, B::kShort, 1, 1);
    justBelow.Entry(257, B::kShort, 1, 1);
    justBelow.Entry(262, B::kShort, 1, 1);
    justBelow.Entry(273, B::kLong, 2, justBelow.AddLongs({strips, strips}));
    justBelow.Entry(279, B::kLong, 2, justBelow.AddLongs({0x7FFFFFFFu, 0x80000000u}));
    EXPECT_EQ(Refused(justBelow.Build()), kStatusCannotOpen);
}

TEST_F(TiffReaderTest, MalformedStructureIsRefusedWith50007) {
    SimpleTiff s;
    s.strip = {0};
    std::string file = BuildSimpleTiff(s);
    std::string bad = file;
    bad[0] = 'I';
    bad[1] = 'M';
    EXPECT_EQ(Refused(bad), kStatusMalformed);
    bad = file;
    bad[2] = 43;  // not 42
    EXPECT_EQ(Refused(bad), kStatusMalformed);
    // Directory offset past the end, or entries running past it.
    bad = file;
    bad[4] = char(0xF0);
    bad[5] = char(0xFF);
    EXPECT_EQ(Refused(bad), kStatusMalformed);
    bad = file.substr(0, file.size() - 10);
    EXPECT_EQ(Refused(bad), kStatusMalformed);

    // A zero width.
    s.width = 0;
    EXPECT_EQ(Refused(BuildSimpleTiff(s)), kStatusMalformed);

    // Three unequal bit depths, three of 4 bits, or three outside the file.
    B unequal(true);
    unequal.Entry(258, B::kShort, 3, unequal.AddShorts({8, 8, 16}));
    EXPECT_EQ(Refused(unequal.Build()), kStatusMalformed);
    B four(true);
    four.Entry(258, B::kShort, 3, four.AddShorts({4, 4, 4}));
    EXPECT_EQ(Refused(four.Build()), kStatusMalformed);
    B outside(true);
    outside.Entry(258, B::kShort, 3, 0xFFFFFFF0u);
    EXPECT_EQ(Refused(outside.Build()), kStatusMalformed);

    // A repeated strip tag, unequal strip counts, a missing strip array.
    for (int variant = 0; variant < 4; ++variant) {
        B b(variant % 2 == 0);
        const uint32_t strip = b.AddBytes({5, 6});
        b.Entry(256, B::kShort, 1, 1);
        b.Entry(257, B::kShort, 1, 1);
        b.Entry(262, B::kShort, 1, 1);
        b.Entry(273, B::kLong, 1, strip);
        if (variant == 0) b.Entry(273, B::kLong, 1, strip);
        if (variant == 1) b.TwoShortsEntry(279, 1, 1);
        if (variant != 1 && variant != 2) b.Entry(279, B::kLong, 1, 1);
        if (variant == 3) b.Entry(279, B::kLong, 1, 1);
        EXPECT_EQ(Refused(b.Build()), kStatusMalformed) << variant;
    }
}

TEST_F(TiffReaderTest, DataOutsideTheFileIsRefusedWith50004) {
    EXPECT_EQ(Refused(std::string("II*\0\x08\0", 6)), kStatusCannotOpen);
    EXPECT_EQ(Refused(std::string()), kStatusCannotOpen);
    const WideString missing = folder.File(u"missing.tif");
    EXPECT_FALSE(ReadTiffImage(state, missing, &image));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);

    // A strip beyond the end, a strip whose length runs past it.
    for (uint32_t offset : {0xFFFFFFF0u, 20u}) {
        B b(true);
        b.Entry(256, B::kShort, 1, 1);
        b.Entry(257, B::kShort, 1, 1);
        b.Entry(262, B::kShort, 1, 1);
        b.Entry(273, B::kLong, 1, offset);
        b.Entry(279, B::kLong, 1, 0x10000);
        EXPECT_EQ(Refused(b.Build()), kStatusCannotOpen);
    }
    // A colour map (96 bytes for 4 bits) that ends one byte past the end of
    // the file: the pixel buffer taken before it is given back.
    const auto withColourMapAt = [](uint32_t offset) {
        SimpleTiff s;
        s.photometric = 3;
        s.bitsPerSample = 4;
        s.strip = {0};
        B b(true);
        b.Entry(320, B::kShort, 48, offset);
        return BuildSimpleTiff(s, &b);
    };
    const uint32_t size = uint32_t(withColourMapAt(0).size());
    ASSERT_TRUE(Read(withColourMapAt(size - 96)));
    EXPECT_EQ(Refused(withColourMapAt(size - 95)), kStatusCannotOpen);
}

TEST_F(TiffReaderTest, UnusableStripArraysLeaveTheGeneralFailure) {
    struct Variant {
        uint16_t type;
        uint32_t count, value;
    } variants[] = {
        {B::kRational, 1, 8},      // neither SHORT nor LONG
        {B::kByte, 1, 8},
        {B::kLong, 4, 0xFFFFFF00u},  // array beyond the end of the file
        {B::kLong, 0, 8},          // no offsets at all
        {B::kLong, (1u << 30) - 1, 8},  // just below the limit, but not in the file
    };
    for (const Variant& v : variants) {
        B b(false);
        b.AddBytes({0, 0, 0, 0});
        b.Entry(256, B::kShort, 1, 1);
        b.Entry(257, B::kShort, 1, 1);
        b.Entry(262, B::kShort, 1, 1);
        b.Entry(273, v.type, v.count, v.value);
        b.Entry(279, B::kLong, 1, 1);
        EXPECT_EQ(Refused(b.Build()), kStatusUnspecified) << v.type << " " << v.count;
    }
}

TEST_F(TiffReaderTest, StateAndRecordAreReusableAfterAFailure) {
    SimpleTiff good;
    good.width = 2;
    good.strip = {9, 8};
    SimpleTiff bad = good;
    bad.compression = 5;
    EXPECT_EQ(Refused(BuildSimpleTiff(bad)), kStatusUnsupported);
    ASSERT_TRUE(Read(BuildSimpleTiff(good)));
    EXPECT_EQ(*Pixel(1, 0), 8);
    EXPECT_FALSE(state.joined);  // working buffers are not kept between files

    // Reading into a record of the reader's own.
    TiffReaderState own;
    const WideString path = folder.File(u"own.tif");
    ASSERT_TRUE(test::WriteBytes(path, BuildSimpleTiff(good)));
    ASSERT_TRUE(ReadTiffImage(own, path, nullptr));
    ASSERT_NE(own.input.image, nullptr);
    EXPECT_EQ(own.input.image->pixels.Get()[0], 9);
    CloseMappedInput(own.input);  // releases the record and its pixels
}

}  // namespace
}  // namespace qdx
