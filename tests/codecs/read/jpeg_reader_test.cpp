#include "codecs/read/jpeg_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/jpeg_fixtures.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::EncodeJpeg;
using test::JpegFixture;
using test::MakeFixture;

struct ReadResult {
    bool ok = false;
    uint32_t status = 0;
    std::string message;
};

// Writes the bytes to a file and reads them back with the reader.
ReadResult ReadBytesAsJpeg(const std::string& bytes, JpegReaderState& state, DecodedImage& image) {
    test::TempFolder folder;
    const WideString path = folder.File(u"input.jpg");
    EXPECT_TRUE(test::WriteBytes(path, bytes));
    ReadResult result;
    result.ok = ReadJpegImage(state, path, &image);
    result.status = state.input.status;
    result.message = test::Narrow(state.message);
    return result;
}

const uint8_t* PixelAt(const DecodedImage& image, int x, int yFromTop) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
    const int storedRow = image.header.biHeight - 1 - yFromTop;
    return image.pixels.Get() + size_t(storedRow) * stride + size_t(x) * (image.header.biBitCount / 8);
}

struct OwnedImage {
    DecodedImage image;
};

TEST(JpegReader, GreyscaleBecomesEightBitsWithAGreyRamp) {
    // 13 x 16: the top eight rows dark, the bottom eight light. Uniform 8 x 8
    // blocks at quality 100 decode exactly.
    JpegFixture fixture = MakeFixture(13, 16, 1, [](int, int y, int) { return y < 8 ? 0x20 : 0xE0; });
    const std::string bytes = EncodeJpeg(fixture);
    ASSERT_FALSE(bytes.empty());
    JpegReaderState state;
    OwnedImage out;
    const ReadResult result = ReadBytesAsJpeg(bytes, state, out.image);
    ASSERT_TRUE(result.ok) << result.message;
    const DecodedImage& image = out.image;
    EXPECT_EQ(image.header.biSize, 40u);
    EXPECT_EQ(image.header.biWidth, 13);
    EXPECT_EQ(image.header.biHeight, 16);
    EXPECT_EQ(image.header.biPlanes, 1);
    EXPECT_EQ(image.header.biBitCount, 8);
    EXPECT_EQ(image.header.biCompression, 0u);
    EXPECT_EQ(image.header.biXPelsPerMeter, 0);
    EXPECT_EQ(image.sourceKind, 3u);
    EXPECT_EQ(image.sourceBitDepth, 8u);
    EXPECT_EQ(image.fileSize, bytes.size());
    EXPECT_NE(image.lastWriteTime, 0u);
    EXPECT_EQ(state.greyscale, 1);
    EXPECT_EQ(state.progressive, 0);
    EXPECT_EQ(state.imageWidth, 13);
    EXPECT_EQ(state.imageHeight, 16);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(image.palette[i].rgbBlue, i);
        EXPECT_EQ(image.palette[i].rgbGreen, i);
        EXPECT_EQ(image.palette[i].rgbRed, i);
        EXPECT_EQ(image.palette[i].rgbReserved, 0);
    }
    // Rows are bottom-up with a stride of 16: the first stored row is the light one.
    for (int x = 0; x < 13; ++x) {
        EXPECT_EQ(image.pixels.Get()[x], 0xE0) << x;
        EXPECT_EQ(image.pixels.Get()[15 * 16 + x], 0x20) << x;
    }
}

TEST(JpegReader, ColourArrivesBlueGreenRedBottomUp) {
    // 10 x 16 (stride 32): top half red on the left, green on the right;
    // bottom half blue, then a mixed colour.
    auto colour = [](int x, int y, int c) {
        static const int kColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {200, 100, 50}};
        return kColours[(y < 8 ? 0 : 2) + (x < 8 ? 0 : 1)][c];
    };
    const std::string bytes = EncodeJpeg(MakeFixture(10, 16, 3, colour));
    JpegReaderState state;
    OwnedImage out;
    const ReadResult result = ReadBytesAsJpeg(bytes, state, out.image);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(out.image.header.biBitCount, 24);
    EXPECT_EQ(state.greyscale, 0);
    EXPECT_EQ(out.image.sourceBitDepth, 24u);
    for (int y : {0, 7, 8, 15})
        for (int x : {0, 7, 8, 9}) {
            const uint8_t* bgr = PixelAt(out.image, x, y);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(bgr[c], colour(x, y, 2 - c), 2) << x << "," << y << " c" << c;
        }
    // The top row of the picture is the last row in memory.
    EXPECT_NEAR(out.image.pixels.Get()[15 * 32 + 2], 255, 2);  // red of the top-left pixel
    EXPECT_NEAR(out.image.pixels.Get()[0], 255, 2);            // blue of the bottom-left pixel
}

TEST(JpegReader, CmykGoesThroughTheProductTable) {
    // Four uniform 8 x 8 blocks of C, M, Y, K values as the library delivers them.
    static const int kCmyk[4][4] = {{255, 255, 255, 255}, {10, 20, 30, 0}, {0, 255, 128, 255}, {200, 100, 50, 128}};
    const std::string bytes = EncodeJpeg(MakeFixture(32, 8, 4, [](int x, int, int c) { return kCmyk[x / 8][c]; }));
    ASSERT_FALSE(bytes.empty());
    JpegReaderState state;
    OwnedImage out;
    const ReadResult result = ReadBytesAsJpeg(bytes, state, out.image);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(out.image.header.biBitCount, 24);
    EXPECT_EQ(out.image.sourceBitDepth, 24u);
    // blue = C2*K/255, green = C1*K/255, red = C0*K/255, rounded down.
    static const int kBgr[4][3] = {{255, 255, 255}, {0, 0, 0}, {128, 255, 0}, {25, 50, 100}};
    for (int block = 0; block < 4; ++block)
        for (int y : {0, 7}) {
            const uint8_t* bgr = PixelAt(out.image, block * 8 + 3, y);
            EXPECT_EQ(bgr[0], kBgr[block][0]) << "block " << block;
            EXPECT_EQ(bgr[1], kBgr[block][1]) << "block " << block;
            EXPECT_EQ(bgr[2], kBgr[block][2]) << "block " << block;
        }
    ASSERT_TRUE(state.productTable);
}

TEST(JpegReader, ResolutionComesFromTheJfifDensity) {
    struct Case {
        int unit, x, y;
        int32_t expectX, expectY;
    };
    const Case cases[] = {
        {1, 72, 72, 2835, 2835},      // dots per inch
        {2, 28, 28, 2800, 2800},      // dots per centimetre
        {1, 300, 150, 11811, 5906},   // 150 / 0.0254 = 5905.5 rounds up
        {0, 3, 2, 0, 0},              // an aspect ratio only
        {3, 72, 72, 0, 0},            // no such unit
    };
    JpegReaderState state;  // reused, as in a batch
    for (const Case& c : cases) {
        JpegFixture fixture = MakeFixture(8, 8, 3, [](int, int, int) { return 128; });
        fixture.densityUnit = c.unit;
        fixture.xDensity = c.x;
        fixture.yDensity = c.y;
        OwnedImage out;
        const ReadResult result = ReadBytesAsJpeg(EncodeJpeg(fixture), state, out.image);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(out.image.header.biXPelsPerMeter, c.expectX) << "unit " << c.unit << " x " << c.x;
        EXPECT_EQ(out.image.header.biYPelsPerMeter, c.expectY) << "unit " << c.unit << " y " << c.y;
    }
}

std::string SmoothPicture(int width, int height, bool progressive = false) {
    JpegFixture fixture = MakeFixture(width, height, 3, [](int x, int y, int c) {
        return (x * 3 + y * 5 + c * 40 + ((x * y) % 17)) & 0xFF;
    });
    fixture.quality = 90;
    fixture.fullChroma = false;
    fixture.progressive = progressive;
    return EncodeJpeg(fixture);
}

TEST(JpegReader, AFileCutInTheEntropyDataStillDecodes) {
    const std::string whole = SmoothPicture(64, 64);
    const auto segments = test::JpegHeaderSegments(whole);
    const test::JpegSegment* scan = test::FindSegment(segments, 0xDA);
    ASSERT_NE(scan, nullptr);
    const size_t dataStart = scan->offset + 4 + scan->payload.size();
    const std::string cut = whole.substr(0, dataStart + (whole.size() - dataStart) / 2);

    JpegReaderState state;
    OwnedImage full, partial;
    ASSERT_TRUE(ReadBytesAsJpeg(whole, state, full.image).ok);
    const ReadResult result = ReadBytesAsJpeg(cut, state, partial.image);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(result.message.empty());  // a warning is not an error
    ASSERT_EQ(partial.image.header.biWidth, 64);
    ASSERT_EQ(partial.image.header.biHeight, 64);
    // The first row of 16 x 16 blocks lies wholly in the data that is there
    // (its last rows are smoothed with the next row's chroma).
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(0, std::memcmp(PixelAt(full.image, 0, y), PixelAt(partial.image, 0, y), 64 * 3)) << "row " << y;
    EXPECT_EQ(partial.image.fileSize, cut.size());
}

TEST(JpegReader, ProgressiveFilesDecodeAndAreFlagged) {
    const std::string bytes = SmoothPicture(40, 24, true);
    JpegReaderState state;
    OwnedImage out;
    const ReadResult result = ReadBytesAsJpeg(bytes, state, out.image);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(state.progressive, 1);
    EXPECT_EQ(out.image.header.biWidth, 40);

    // Missing scans: everything after the second scan is gone.
    size_t second = bytes.find("\xFF\xDA", 2);
    ASSERT_NE(second, std::string::npos);
    second = bytes.find("\xFF\xDA", second + 2);
    ASSERT_NE(second, std::string::npos);
    OwnedImage partial;
    const ReadResult cut = ReadBytesAsJpeg(bytes.substr(0, second), state, partial.image);
    ASSERT_TRUE(cut.ok) << cut.message;
    EXPECT_EQ(partial.image.header.biHeight, 24);
}

TEST(JpegReader, EndlessScansAreRefused) {
    // A progressive file whose last scan is repeated over and over: the
    // library would only warn, and rework the picture once per scan.
    const std::string bytes = SmoothPicture(16, 16, true);
    const size_t last = bytes.rfind("\xFF\xDA");
    ASSERT_NE(last, std::string::npos);
    const std::string scan = bytes.substr(last, bytes.size() - 2 - last);
    std::string endless = bytes.substr(0, last);
    for (int i = 0; i < kMaxJpegScans + 10; ++i) endless += scan;
    endless += "\xFF\xD9";
    JpegReaderState state;
    OwnedImage out;
    const ReadResult result = ReadBytesAsJpeg(endless, state, out.image);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.status, kStatusUnspecified);
    EXPECT_NE(result.message.find("scans"), std::string::npos) << result.message;
    EXPECT_EQ(out.image.pixels.Get(), nullptr);
}

TEST(JpegReader, LibraryErrorsFailWithTheirMessageKept) {
    JpegReaderState state;
    {
        // Cut inside a marker segment the library skips: the skip runs past
        // the end, and the header never arrives.
        JpegFixture fixture = MakeFixture(8, 8, 3, [](int, int, int) { return 50; });
        fixture.extraMarkerBytes = 2000;
        const std::string bytes = EncodeJpeg(fixture);
        OwnedImage out;
        const ReadResult result = ReadBytesAsJpeg(bytes.substr(0, 600), state, out.image);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.status, kStatusUnspecified);
        EXPECT_FALSE(result.message.empty());
        EXPECT_EQ(out.image.pixels.Get(), nullptr);
    }
    {
        // Garbage after the start marker.
        std::string bytes("\xFF\xD8", 2);
        bytes += std::string(100, '\x11');
        OwnedImage out;
        const ReadResult result = ReadBytesAsJpeg(bytes, state, out.image);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.status, kStatusUnspecified);
        EXPECT_FALSE(result.message.empty());
    }
    {
        // A good file afterwards reads normally and clears the message.
        OwnedImage out;
        const ReadResult result = ReadBytesAsJpeg(SmoothPicture(8, 8), state, out.image);
        EXPECT_TRUE(result.ok);
        EXPECT_TRUE(result.message.empty());
    }
}

// Patches the frame size in the SOF segment.
std::string WithFrameSize(std::string bytes, int width, int height) {
    const auto segments = test::JpegHeaderSegments(bytes);
    const test::JpegSegment* frame = test::FindSegment(segments, 0xC0);
    if (!frame) frame = test::FindSegment(segments, 0xC2);
    if (!frame) return {};
    const size_t at = frame->offset + 4;  // precision, then height and width
    bytes[at + 1] = char(height >> 8);
    bytes[at + 2] = char(height & 0xFF);
    bytes[at + 3] = char(width >> 8);
    bytes[at + 4] = char(width & 0xFF);
    return bytes;
}

TEST(JpegReader, FramesTooLargeForTheImageRecordAreRefused) {
    JpegReaderState state;
    for (bool progressive : {false, true}) {
        OwnedImage out;
        const ReadResult result =
            ReadBytesAsJpeg(WithFrameSize(SmoothPicture(16, 16, progressive), 65500, 65500), state, out.image);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.status, kStatusTooManyPixels);
        EXPECT_EQ(state.imageWidth, 65500);
        EXPECT_EQ(state.imageHeight, 65500);
        EXPECT_EQ(out.image.pixels.Get(), nullptr);
    }
    // 10000 x 10000 is within the pixel limit; a cap set by the caller still refuses it.
    state.maxPixelBufferBytes = 1 << 20;
    OwnedImage out;
    const ReadResult result = ReadBytesAsJpeg(WithFrameSize(SmoothPicture(16, 16), 10000, 10000), state, out.image);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.status, kStatusUnsupported);
}

TEST(JpegReader, MissingAndEmptyFilesFailWith50004) {
    test::TempFolder folder;
    JpegReaderState state;
    DecodedImage image;
    EXPECT_FALSE(ReadJpegImage(state, folder.File(u"missing.jpg"), &image));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);
    ASSERT_TRUE(test::WriteBytes(folder.File(u"empty.jpg"), std::string()));
    EXPECT_FALSE(ReadJpegImage(state, folder.File(u"empty.jpg"), &image));
    EXPECT_EQ(state.input.status, kStatusCannotOpen);
    // Without a record of the caller's the reader uses its own and gives it back on failure.
    EXPECT_FALSE(ReadJpegImage(state, folder.File(u"missing.jpg"), nullptr));
    EXPECT_EQ(state.input.image, nullptr);
}

}  // namespace
}  // namespace qdx
