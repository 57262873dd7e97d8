#include "codecs/read/bmp_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/file_helpers.h"
#include "core/os/wide_string.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// A bitmap file assembled field by field: headers, then `table` (colour
// entries or masks) at 54, then the pixel bytes at bfOffBits (54 + table
// size unless given).
struct BmpFields {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    int32_t xPels = 2835;
    int32_t yPels = 2835;
    std::vector<uint8_t> table;
    std::vector<uint8_t> pixels;
    int64_t offBits = -1;
};

std::string Build(const BmpFields& fields) {
    const uint32_t offBits = fields.offBits >= 0 ? uint32_t(fields.offBits) : uint32_t(54 + fields.table.size());
    std::string out(std::max<size_t>(54 + fields.table.size(), offBits + fields.pixels.size()), '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    p[0] = 'B';
    p[1] = 'M';
    StoreLittleEndian32(p + 2, uint32_t(out.size()));
    StoreLittleEndian32(p + 10, offBits);
    StoreLittleEndian32(p + 14, 40);
    StoreLittleEndian32(p + 18, uint32_t(fields.width));
    StoreLittleEndian32(p + 22, uint32_t(fields.height));
    StoreLittleEndian16(p + 26, 1);
    StoreLittleEndian16(p + 28, fields.bitCount);
    StoreLittleEndian32(p + 30, fields.compression);
    StoreLittleEndian32(p + 38, uint32_t(fields.xPels));
    StoreLittleEndian32(p + 42, uint32_t(fields.yPels));
    StoreLittleEndian32(p + 46, fields.clrUsed);
    std::copy(fields.table.begin(), fields.table.end(), p + 54);
    std::copy(fields.pixels.begin(), fields.pixels.end(), p + offBits);
    return out;
}

uint32_t EntryBits(const RGBQUAD& entry) {
    uint32_t bits;
    std::memcpy(&bits, &entry, 4);
    return bits;
}

std::vector<uint8_t> Masks(uint32_t red, uint32_t green, uint32_t blue) {
    std::vector<uint8_t> bytes(12);
    StoreLittleEndian32(&bytes[0], red);
    StoreLittleEndian32(&bytes[4], green);
    StoreLittleEndian32(&bytes[8], blue);
    return bytes;
}

std::vector<uint8_t> Table(uint32_t entries) {
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < entries; ++i)
        for (uint8_t b : {uint8_t(i), uint8_t(i * 3), uint8_t(255 - i), uint8_t(i % 5)}) bytes.push_back(b);
    return bytes;
}

// Reads the bytes as a file through ReadBmpImage.
struct Reader {
    test::TempFolder folder;
    BmpReaderState state;
    DecodedImage image;

    bool Read(const std::string& bytes) {
        image.pixels.Reset();
        const WideString path = folder.File(u"input.bmp");
        EXPECT_TRUE(test::WriteBytes(path, bytes));
        return ReadBmpImage(state, path, &image);
    }
    uint32_t Status() const { return state.input.status; }
    const uint8_t* Row(uint32_t y) const {
        return image.pixels.Get() + y * RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
    }
};

TEST(BmpReader, OnePixelOneBit) {
    Reader reader;
    BmpFields fields;
    fields.bitCount = 1;
    fields.table = {10, 20, 30, 40, 50, 60, 70, 80};
    fields.pixels = {0x80, 0xFF, 0xFF, 0xFF};  // leftmost pixel in bit 7; the rest is padding
    ASSERT_TRUE(reader.Read(Build(fields)));
    const DecodedImage& image = reader.image;
    EXPECT_EQ(image.header.biBitCount, 8);
    EXPECT_EQ(image.header.biWidth, 1);
    EXPECT_EQ(image.header.biHeight, 1);
    EXPECT_EQ(image.header.biSize, 40u);
    EXPECT_EQ(image.header.biPlanes, 1);
    EXPECT_EQ(image.header.biClrUsed, 0u);
    EXPECT_EQ(image.sourceBitDepth, 1u);
    EXPECT_EQ(image.sourceKind, 1u);
    EXPECT_EQ(image.fileSize, 54u + 8 + 4);
    EXPECT_NE(image.lastWriteTime, 0u);
    const uint8_t row[4] = {1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(image.pixels.Get(), row, 4), 0);
    EXPECT_EQ(std::memcmp(image.palette, fields.table.data(), 8), 0);
    EXPECT_EQ(image.palette[2].rgbBlue, 0);

    fields.pixels = {0x7F, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.image.pixels.Get()[0], 0);
}

TEST(BmpReader, PackedIndicesAcrossRows) {
    Reader reader;
    BmpFields fields;
    fields.bitCount = 4;
    fields.width = 3;
    fields.height = 2;
    fields.table = Table(16);
    // File rows of 4 bytes: two pixels a byte, high nibble left.
    fields.pixels = {0x12, 0x3F, 0xEE, 0xEE, 0xAB, 0xC0, 0x00, 0x00};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.image.header.biBitCount, 8);
    EXPECT_EQ(reader.image.sourceBitDepth, 4u);
    const uint8_t expected[8] = {1, 2, 3, 0, 10, 11, 12, 0};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expected, 8), 0);
    EXPECT_EQ(std::memcmp(reader.image.palette, fields.table.data(), 64), 0);

    // 1 bit, 10 pixels wide: two bytes of bits in a 4-byte row.
    fields.bitCount = 1;
    fields.width = 10;
    fields.height = 1;
    fields.table = Table(2);
    fields.pixels = {0xA5, 0xC0, 0, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    const uint8_t bits[12] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), bits, 12), 0);
}

TEST(BmpReader, ColourTableSizes) {
    Reader reader;
    BmpFields fields;
    fields.bitCount = 8;
    fields.width = 2;
    fields.height = 1;
    fields.clrUsed = 16;
    fields.table = Table(16);
    fields.pixels = {15, 200, 0, 0};
    std::string bytes = Build(fields);
    bytes.insert(54 + 64, std::string(64, '\x77'));  // bytes after the table are not read as entries
    StoreLittleEndian32(reinterpret_cast<uint8_t*>(bytes.data()) + 10, 54 + 128);
    ASSERT_TRUE(reader.Read(bytes));
    EXPECT_EQ(std::memcmp(reader.image.palette, fields.table.data(), 64), 0);
    for (int i = 16; i < 256; ++i) EXPECT_EQ(EntryBits(reader.image.palette[i]), 0u);
    EXPECT_EQ(reader.image.pixels.Get()[0], 15);
    EXPECT_EQ(reader.image.pixels.Get()[1], 200);

    // A count beyond 256 takes 256 entries and no more.
    fields.clrUsed = 0xFFFFFFFFu;
    fields.table = Table(256);
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(std::memcmp(reader.image.palette, fields.table.data(), 1024), 0);
    fields.bitCount = 1;
    fields.table = Table(256);
    fields.pixels = {0x40, 0, 0, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(std::memcmp(reader.image.palette, fields.table.data(), 8), 0);
    EXPECT_EQ(EntryBits(reader.image.palette[2]), 0u);

    // A 4-bit file whose table holds one entry: the other 15 stay 0.
    fields.bitCount = 4;
    fields.clrUsed = 1;
    fields.table = Table(1);
    fields.pixels = {0x01, 0, 0, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(std::memcmp(reader.image.palette, fields.table.data(), 4), 0);
    EXPECT_EQ(EntryBits(reader.image.palette[1]), 0u);
}

TEST(BmpReader, MasksAndFieldScaling) {
    Reader reader;
    BmpFields fields;
    fields.bitCount = 16;
    fields.compression = 3;
    fields.width = 2;
    fields.height = 1;
    fields.table = Masks(0xF800, 0x07E0, 0x001F);
    fields.pixels = {0xFF, 0xFF, 0x41, 0x08};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.image.header.biBitCount, 24);
    EXPECT_EQ(reader.image.sourceBitDepth, 16u);
    const uint8_t expected565[6] = {255, 255, 255, 8, 8, 8};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expected565, 6), 0);
    EXPECT_EQ(reader.Status(), kStatusUnspecified);  // success leaves the entry code

    // 5-5-5 without masks: 31 -> 255, 16 -> 131 (blue 31, green 16, red 1).
    fields.compression = 0;
    fields.table.clear();
    const uint16_t v = uint16_t(31 | (16 << 5) | (1 << 10));
    fields.pixels = {uint8_t(v), uint8_t(v >> 8), 0, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    const uint8_t expected555[6] = {255, 131, 8, 0, 0, 0};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expected555, 6), 0);

    // 32 bits without masks: the first three bytes, the fourth dropped.
    fields.bitCount = 32;
    fields.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(reader.Read(Build(fields)));
    const uint8_t expected32[6] = {1, 2, 3, 5, 6, 7};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expected32, 6), 0);

    // Fields laid out with bit 31 in the red mask, blue above the lowest
    // byte: each field is taken where it lies.
    fields.compression = 3;
    fields.table = Masks(0xFF000000u, 0x00FF0000u, 0x0000FF00u);
    fields.pixels = {0, 0x10, 0x20, 0x30, 0, 0, 0, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    const uint8_t expectedHigh[3] = {0x10, 0x20, 0x30};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expectedHigh, 3), 0);

    // A 31-bit field: the product wraps in 32 bits: (2^31 - 1) * 255 mod 2^32
    // = 2^31 - 255, below the range, so 0.
    fields.table = Masks(0, 0, 0x7FFFFFFFu);
    fields.pixels = {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.image.pixels.Get()[0], 0);
}

TEST(BmpReader, MasksWithoutRoom) {
    Reader reader;
    BmpFields fields;
    fields.bitCount = 32;
    fields.compression = 3;
    fields.width = 2;
    fields.pixels = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // A blue field reaching bit 31 has no range in 32 bits: black, 50004, success.
    fields.table = Masks(0, 0, 0x80000000u);
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.Status(), kStatusCannotOpen);
    EXPECT_EQ(reader.image.header.biBitCount, 24);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(reader.image.pixels.Get()[i], 0);
    // Masks of 0: fields of width 1 holding nothing: black.
    fields.table = Masks(0, 0, 0);
    ASSERT_TRUE(reader.Read(Build(fields)));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(reader.image.pixels.Get()[i], 0);
    // All masks full: blue takes all 32 bits.
    fields.table = Masks(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu);
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.Status(), kStatusCannotOpen);
    // Blue 31 bits, green 1 bit: red lies beyond bit 31 and reads as 0.
    fields.table = Masks(0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu);
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.Status(), kStatusUnspecified);
    EXPECT_EQ(reader.image.pixels.Get()[1], 255);  // green: 1 * 255 / 1
    EXPECT_EQ(reader.image.pixels.Get()[2], 0);
}

// 4 bits, 8 wide, 2 high: file rows of 4 bytes.
BmpFields PackedFile() {
    BmpFields fields;
    fields.bitCount = 4;
    fields.width = 8;
    fields.height = 2;
    fields.table = Table(16);
    fields.pixels = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF1};
    return fields;
}

// 16 bits with 5-6-5 masks, 2 x 2.
BmpFields MaskedFile() {
    BmpFields fields;
    fields.bitCount = 16;
    fields.compression = 3;
    fields.width = 2;
    fields.height = 2;
    fields.table = Masks(0xF800, 0x07E0, 0x001F);
    fields.pixels = {0xFF, 0xFF, 0xFF, 0xFF, 0x1F, 0x00, 0x1F, 0x00};
    return fields;
}

// A 1 x 1 24-bit file changed by `change`.
template <typename Change>
std::string Changed(Change change) {
    BmpFields fields;
    fields.pixels = {1, 2, 3, 0};
    change(fields);
    return Build(fields);
}

// Every file the reader refuses, with the reason it gives; none leaves pixels.
TEST(BmpReader, RefusedFiles) {
    struct Case {
        std::string what;
        std::string bytes;
        uint32_t status;
    };
    BmpFields twoByTwo;
    twoByTwo.width = 2;
    twoByTwo.height = 2;
    twoByTwo.pixels.assign(16, 1);
    const std::string whole = Build(twoByTwo);
    std::string pastTheEnd = whole;
    StoreLittleEndian32(reinterpret_cast<uint8_t*>(pastTheEnd.data()) + 10, uint32_t(whole.size() + 1));
    const std::string packed = Build(PackedFile());
    const std::string masked = Build(MaskedFile());
    std::vector<Case> cases = {
        {"no top-down height to turn round", Changed([](BmpFields& f) { f.height = INT32_MIN; }), kStatusUnsupported},
        {"width 0", Changed([](BmpFields& f) { f.width = 0; }), kStatusUnsupported},
        {"24-bit buffer beyond 32 bits", Changed([](BmpFields& f) { f.width = 0x7FFFFFFF, f.height = 3; }),
         kStatusTooManyPixels},
        {"32-bit buffer beyond 32 bits",
         Changed([](BmpFields& f) { f.width = 0x7FFFFFFF, f.height = 3, f.bitCount = 32; }), kStatusTooManyPixels},
        {"too short for the 256 entries a huge count asks",
         Changed([](BmpFields& f) { f.width = 2, f.bitCount = 1, f.clrUsed = 0xFFFFFFFFu, f.table = Table(2); }),
         kStatusCannotOpen},
        {"one byte short", whole.substr(0, whole.size() - 1), kStatusCannotOpen},
        {"shorter than the headers", whole.substr(0, 53), kStatusCannotOpen},
        {"empty", std::string(), kStatusCannotOpen},
        {"pixels begin past the end", pastTheEnd, kStatusCannotOpen},
        {"4-bit rows one byte short", packed.substr(0, packed.size() - 1), kStatusCannotOpen},
        {"too short for its masks", masked.substr(0, 60), kStatusCannotOpen},
        {"masked rows one byte short", masked.substr(0, masked.size() - 1), kStatusCannotOpen},
    };
    // Bit counts and compressions not read.
    for (const std::pair<uint16_t, uint32_t>& layout :
         {std::pair<uint16_t, uint32_t>{8, 2}, {4, 1}, {2, 0}, {0, 0}, {24, 3}, {32, 4}, {16, 5}, {48, 0}, {8, 3}}) {
        cases.push_back({std::to_string(layout.first) + " bits, compression " + std::to_string(layout.second),
                         Changed([&](BmpFields& f) {
                             f.bitCount = layout.first, f.compression = layout.second, f.table = Table(256);
                             f.pixels.assign(16, 0);
                         }),
                         kStatusUnsupported});
    }
    Reader reader;
    for (const Case& c : cases) {
        EXPECT_FALSE(reader.Read(c.bytes)) << c.what;
        EXPECT_EQ(reader.Status(), c.status) << c.what;
        EXPECT_EQ(reader.image.pixels.Get(), nullptr) << c.what;
    }
}

TEST(BmpReader, ShortFilesAndOffsets) {
    Reader reader;
    BmpFields fields;
    fields.width = 2;
    fields.height = 2;
    fields.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    const std::string whole = Build(fields);
    ASSERT_TRUE(reader.Read(whole));
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), fields.pixels.data(), 16), 0);

    // bfOffBits at the very end is allowed (beyond it is refused, see
    // RefusedFiles): the pixels, all missing, stay black.
    std::string shifted = whole;
    StoreLittleEndian32(reinterpret_cast<uint8_t*>(shifted.data()) + 10, uint32_t(whole.size()));
    ASSERT_TRUE(reader.Read(shifted));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(reader.image.pixels.Get()[i], 0);

    // A pixel array that starts late runs off the end: the copy stops there
    // and the top row stays black.
    fields.offBits = 54 + 8;
    std::string late = Build(fields);
    late.resize(54 + 16);
    ASSERT_TRUE(reader.Read(late));
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), fields.pixels.data(), 8), 0);
    for (int i = 8; i < 16; ++i) EXPECT_EQ(reader.image.pixels.Get()[i], 0);

    // Resolution: negative values become 0.
    fields.offBits = -1;
    fields.xPels = -1;
    fields.yPels = 3780;
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(reader.image.header.biXPelsPerMeter, 0);
    EXPECT_EQ(reader.image.header.biYPelsPerMeter, 3780);
}

TEST(BmpReader, ShortPackedAndMaskedFiles) {
    Reader reader;
    BmpFields fields = PackedFile();
    // Starting 3 bytes late: the last 3 bytes (6 pixels) of the top row are missing.
    fields.offBits = 54 + 64 + 3;
    std::string bytes = Build(fields);
    bytes.resize(54 + 64 + 8);
    ASSERT_TRUE(reader.Read(bytes));
    const uint8_t expected[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expected, 16), 0);

    // 16 bits with masks starting 2 bytes late: the top row's second pixel
    // is missing and black.
    BmpFields masked = MaskedFile();
    masked.offBits = 54 + 12 + 2;
    bytes = Build(masked);
    bytes.resize(54 + 12 + 8);
    ASSERT_TRUE(reader.Read(bytes));
    const uint8_t expectedRows[16] = {255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(reader.image.pixels.Get(), expectedRows, 16), 0);
}

TEST(BmpReader, OwnRecordAndBytesEntry) {
    test::TempFolder folder;
    BmpFields fields;
    fields.bitCount = 8;
    fields.table = Table(256);
    fields.pixels = {7, 0, 0, 0};
    const std::string bytes = Build(fields);
    const WideString path = folder.File(u"own.bmp");
    ASSERT_TRUE(test::WriteBytes(path, bytes));
    BmpReaderState state;
    ASSERT_TRUE(ReadBmpImage(state, path, nullptr));
    ASSERT_NE(state.input.image, nullptr);
    EXPECT_EQ(state.input.image->pixels.Get()[0], 7);
    EXPECT_FALSE(ReadBmpImage(state, folder.File(u"missing.bmp"), nullptr));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);

    DecodedImage image;
    ASSERT_TRUE(DecodeBmpBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()), image));
    EXPECT_EQ(image.pixels.Get()[0], 7);
    EXPECT_EQ(image.palette[7].rgbGreen, 21);
    EXPECT_EQ(image.fileSize, bytes.size());
    image.pixels.Reset();
    EXPECT_FALSE(DecodeBmpBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()), 40, image));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);
}

// The same file with another info header: `header` replaces the 40 bytes at
// 14 (its own size first), the table and pixels follow it.
std::string WithHeader(const BmpFields& fields, std::vector<uint8_t> header) {
    std::string file = Build(fields);
    const std::string tail = file.substr(54);
    StoreLittleEndian32(header.data(), uint32_t(header.size()));
    file = file.substr(0, 14) + std::string(header.begin(), header.end()) + tail;
    StoreLittleEndian32(reinterpret_cast<uint8_t*>(file.data()) + 10, uint32_t(14 + header.size() + fields.table.size()));
    return file;
}

std::vector<uint8_t> InfoHeader(const BmpFields& fields, size_t size) {
    const std::string built = Build(fields);
    std::vector<uint8_t> header(built.begin() + 14, built.begin() + 54);
    header.resize(size, 0);
    return header;
}

TEST(BmpReaderVariants, RunLengthEncodedEightAndFourBits) {
    Reader reader;
    BmpFields fields;
    fields.width = 6;
    fields.height = 3;
    fields.bitCount = 8;
    fields.compression = 1;
    fields.table = Table(256);
    // Row 0: a run of 3 x 5, absolute 1 2 3 (padded), end of line; row 1:
    // delta right 2 up 1 lands in row 2 at x 2: a run of 9 x 7 cut at the edge.
    fields.pixels = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 9, 7, 0, 1};
    ASSERT_TRUE(reader.Read(Build(fields))) << reader.Status();
    EXPECT_EQ(reader.image.header.biBitCount, 8);
    EXPECT_EQ(reader.image.sourceBitDepth, 8u);
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 8), (std::vector<uint8_t>{5, 5, 5, 1, 2, 3, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(1), reader.Row(1) + 6), std::vector<uint8_t>(6, 0));  // skipped
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(2), reader.Row(2) + 8), (std::vector<uint8_t>{0, 0, 7, 7, 7, 7, 0, 0}));
    EXPECT_EQ(EntryBits(reader.image.palette[7]), EntryBits(RGBQUAD{7, 21, 248, 2}));

    fields.bitCount = 4;
    fields.compression = 2;
    fields.width = 5;
    fields.height = 1;
    fields.table = Table(16);
    // A run of 5 alternating nibbles, then nothing: the stream just ends.
    fields.pixels = {5, 0x12, 0, 3, 0x34, 0x50};
    ASSERT_TRUE(reader.Read(Build(fields))) << reader.Status();
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 5), (std::vector<uint8_t>{1, 2, 1, 2, 1}));
    fields.pixels = {0, 3, 0x34, 0x50, 0, 1};
    ASSERT_TRUE(reader.Read(Build(fields)));
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 5), (std::vector<uint8_t>{3, 4, 5, 0, 0}));
}

TEST(BmpReaderVariants, DamagedRunLengthsKeepWhatCameBefore) {
    Reader reader;
    BmpFields fields;
    fields.width = 4;
    fields.height = 2;
    fields.bitCount = 8;
    fields.compression = 1;
    fields.table = Table(4);
    fields.clrUsed = 4;
    // Absolute mode claims 200 bytes that the file does not hold; deltas far
    // beyond the picture and a lone escape byte must not reach outside it.
    for (const std::vector<uint8_t>& stream :
         {std::vector<uint8_t>{2, 9, 0, 200, 1, 2}, std::vector<uint8_t>{2, 9, 0, 2, 255, 255, 3, 3},
          std::vector<uint8_t>{2, 9, 0}}) {
        fields.pixels = stream;
        ASSERT_TRUE(reader.Read(Build(fields))) << reader.Status();
        EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 4), (std::vector<uint8_t>{9, 9, 0, 0}));
        EXPECT_EQ(std::vector<uint8_t>(reader.Row(1), reader.Row(1) + 4), std::vector<uint8_t>(4, 0));
    }
}

TEST(BmpReaderVariants, TopDownRowsComeOutBottomUp) {
    Reader reader;
    BmpFields fields;
    fields.width = 1;
    fields.height = 3;
    fields.pixels = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    ASSERT_TRUE(reader.Read(Build(fields)));
    const std::vector<uint8_t> bottomUp(reader.image.pixels.Get(), reader.image.pixels.Get() + 12);
    fields.height = -3;
    fields.pixels = {7, 8, 9, 0, 4, 5, 6, 0, 1, 2, 3, 0};
    ASSERT_TRUE(reader.Read(Build(fields))) << reader.Status();
    EXPECT_EQ(reader.image.header.biHeight, 3);
    EXPECT_EQ(std::vector<uint8_t>(reader.image.pixels.Get(), reader.image.pixels.Get() + 12), bottomUp);
}

TEST(BmpReaderVariants, OtherHeadersFindTheirColourTable) {
    Reader reader;
    BmpFields fields;
    fields.width = 2;
    fields.bitCount = 8;
    fields.clrUsed = 2;
    fields.table = Table(2);
    fields.pixels = {1, 0, 0, 0};
    for (size_t size : {size_t(108), size_t(124), size_t(64)}) {  // V4, V5, OS/2 2.x
        ASSERT_TRUE(reader.Read(WithHeader(fields, InfoHeader(fields, size)))) << size;
        EXPECT_EQ(EntryBits(reader.image.palette[1]), EntryBits(RGBQUAD{1, 3, 254, 1})) << size;
        EXPECT_EQ(reader.Row(0)[0], 1) << size;
    }
    // OS/2 1.x: 16-bit sizes and 3-byte entries, so smaller than 54 bytes.
    std::vector<uint8_t> core(12);
    StoreLittleEndian16(&core[4], 2);
    StoreLittleEndian16(&core[6], 1);
    StoreLittleEndian16(&core[8], 1);
    StoreLittleEndian16(&core[10], 1);
    fields.bitCount = 1;
    fields.table = {10, 20, 30, 40, 50, 60};
    fields.pixels = {0x40, 0, 0, 0};
    const std::string os2 = WithHeader(fields, core);
    ASSERT_LT(os2.size(), 54u);
    ASSERT_TRUE(reader.Read(os2)) << reader.Status();
    EXPECT_EQ(reader.image.header.biWidth, 2);
    EXPECT_EQ(EntryBits(reader.image.palette[1]), EntryBits(RGBQUAD{40, 50, 60, 0}));
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 2), (std::vector<uint8_t>{0, 1}));
}

TEST(BmpReaderVariants, AlphaMaskFlattenedUnlessEveryAlphaIsZero) {
    Reader reader;
    BmpFields fields;
    fields.width = 2;
    fields.bitCount = 32;
    fields.compression = 3;
    // A V5 header with an alpha mask: alpha 0 gives the background, 255 the
    // colour; every alpha 0 means the writer left it unset: opaque.
    std::vector<uint8_t> v5 = InfoHeader(fields, 124);
    const std::vector<uint8_t> masks = Masks(0x00FF0000u, 0x0000FF00u, 0x000000FFu);
    std::copy(masks.begin(), masks.end(), v5.begin() + 40);
    StoreLittleEndian32(&v5[52], 0xFF000000u);
    fields.table.clear();
    reader.state.backgroundColour[0] = 200, reader.state.backgroundColour[1] = 100, reader.state.backgroundColour[2] = 50;
    fields.pixels = {1, 2, 3, 0, 4, 5, 6, 255};
    ASSERT_TRUE(reader.Read(WithHeader(fields, v5))) << reader.Status();
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 6), (std::vector<uint8_t>{50, 100, 200, 4, 5, 6}));
    fields.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    ASSERT_TRUE(reader.Read(WithHeader(fields, v5)));
    EXPECT_EQ(std::vector<uint8_t>(reader.Row(0), reader.Row(0) + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace qdx
