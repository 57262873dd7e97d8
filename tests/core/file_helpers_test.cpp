#include "core/file_helpers.h"

#include <gtest/gtest.h>

#include "codecs/common/adam7.h"
#include "codecs/common/compression_alloc.h"
#include "codecs/common/png_crc.h"
#include "core/decoded_image.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

TEST(ChunkCrc, KnownChecksums) {
    const uint8_t iend[4] = {'I', 'E', 'N', 'D'};
    EXPECT_EQ(chunkCrc(iend, nullptr, 0), 0xAE426082u);
    // IHDR of a 1x1 8-bit greyscale image, as every encoder writes it.
    const uint8_t ihdr[4] = {'I', 'H', 'D', 'R'};
    const uint8_t data[13] = {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0};
    EXPECT_EQ(chunkCrc(ihdr, data, 13), 0x3A7E9B55u);
}

TEST(InterlaceGeometry, PassSizesOfSmallAndOddImages) {
    uint32_t w[7], h[7], bytes[7];
    InterlacePassGeometry(8, 8, 8, w, h, bytes);
    const uint32_t w8[7] = {1, 1, 2, 2, 4, 4, 8}, h8[7] = {1, 1, 1, 2, 2, 4, 4};
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(w[p], w8[p]) << p;
        EXPECT_EQ(h[p], h8[p]) << p;
        EXPECT_EQ(bytes[p], w8[p] + 1) << p;
    }
    // A 1x1 image has only the first pass.
    InterlacePassGeometry(1, 1, 24, w, h, bytes);
    EXPECT_EQ(bytes[0], 4u);
    for (int p = 1; p < 7; ++p) EXPECT_EQ(bytes[p], 0u) << p;
    // Packed sub-byte rows: 9 pixels of 1 bit in the last pass are 2 bytes.
    InterlacePassGeometry(9, 2, 1, w, h, bytes);
    EXPECT_EQ(w[6], 9u);
    EXPECT_EQ(h[6], 1u);
    EXPECT_EQ(bytes[6], 3u);
    InterlacePassGeometry(5, 1, 2, w, h, bytes);
    EXPECT_EQ(w[5], 2u);  // columns 1 and 3
    EXPECT_EQ(bytes[5], 2u);
    InterlacePassGeometry(3, 1, 4, w, h, bytes);
    EXPECT_EQ(w[4], 2u);      // columns 0 and 2...
    EXPECT_EQ(h[4], 0u);      // ...but the pass starts at row 2
    EXPECT_EQ(bytes[4], 0u);  // so it is empty
}

TEST(ImageRecord, StrideAndBufferSizes) {
    EXPECT_EQ(RowStride(1, 8), 4u);
    EXPECT_EQ(RowStride(1, 24), 4u);
    EXPECT_EQ(RowStride(5, 24), 16u);
    EXPECT_EQ(RowStride(4, 8), 4u);
    EXPECT_EQ(RowStride(5, 8), 8u);
    uint32_t size = 0;
    ASSERT_TRUE(PixelBufferSize(5, 3, 24, size));
    EXPECT_EQ(size, 16u * 3 + 4);
    EXPECT_FALSE(PixelBufferSize(65536, 65536, 24, size));  // more than 32 bits
    EXPECT_FALSE(PixelBufferSize(1, 0x7FFFFFFF, 24, size));
    EXPECT_FALSE(PixelBufferSize(0, 1, 8, size));
    EXPECT_FALSE(AllocatePixelBuffer(0x40000000, 0x40000000, 24));
    const os::PixelMemory pixels = AllocatePixelBuffer(5, 3, 24);
    ASSERT_TRUE(pixels);
    for (uint32_t i = 0; i < 52; ++i) EXPECT_EQ(pixels.Get()[i], 0) << i;
    pixels.Get()[51] = 7;  // the slack after the last row is ours to touch
}

TEST(FileHelpers, BigEndianWriteAndCompressionAllocator) {
    test::TempFolder folder;
    const WideString path = folder.File(u"be.bin");
    {
        os::File file;
        ASSERT_TRUE(os::CreateForWrite(path.Text(), file));
        EXPECT_EQ(WriteBigEndian32(file, 0x01020304u), 4u);
    }
    EXPECT_EQ(test::ReadBytes(path), std::string("\x01\x02\x03\x04", 4));
    os::File closed;
    EXPECT_EQ(WriteBigEndian32(closed, 1), 0u);

    auto* block = static_cast<uint8_t*>(CompressionAlloc(nullptr, 10, 7));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 70; ++i) EXPECT_EQ(block[i], 0);
    CompressionFree(nullptr, block);
    EXPECT_EQ(CompressionAlloc(nullptr, 0x10000, 0x10000), nullptr);  // 2^32 bytes
}

}  // namespace
}  // namespace qdx
