#include "codecs/common/mapped_input.h"

#include <gtest/gtest.h>

#include "core/os/wide_string.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

TEST(MappedInput, MapsAWholeFile) {
    test::TempFolder folder;
    const WideString path = folder.File(u"data.bin");
    ASSERT_TRUE(test::WriteBytes(path, std::string("BM0123456789")));
    MappedInput input;
    DecodedImage image;
    image.palette[3].rgbRed = 9;
    image.pixels = AllocatePixelBuffer(2, 2, 8);  // a buffer left from an earlier read goes
    ASSERT_TRUE(PrepareImageRecord(input, &image));
    EXPECT_EQ(image.palette[3].rgbRed, 0);
    EXPECT_EQ(image.pixels.Get(), nullptr);
    EXPECT_EQ(OpenAndMapInput(input, path), 12u);
    ASSERT_NE(input.cursor, nullptr);
    EXPECT_EQ(input.cursor, input.dataStart);
    EXPECT_EQ(input.dataEnd - input.dataStart, 12);
    EXPECT_EQ(input.dataStart[0], 'B');
    EXPECT_EQ(input.dataEnd[-1], '9');
    FinishMappedRead(input);
    EXPECT_NE(image.lastWriteTime, 0u);
    EXPECT_FALSE(input.file.IsOpen());
    // The file can be removed once the reader has let go of it.
    EXPECT_TRUE(os::RemoveFile(path.Text()));
}

#if !defined(_WIN32)
// Another program shortens the file while it is being converted: the bytes
// read stay readable (a mapping would end the process at the first page past
// the new end).
TEST(MappedInput, AFileShortenedAfterOpeningKeepsItsBytes) {
    test::TempFolder folder;
    const WideString path = folder.File(u"shrinks.bin");
    const std::string bytes(3 * 65536, 'x');
    ASSERT_TRUE(test::WriteBytes(path, bytes));
    MappedInput input;
    ASSERT_EQ(OpenAndMapInput(input, path), bytes.size());
    ASSERT_TRUE(test::WriteBytes(path, std::string("short")));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(input.dataStart), bytes.size()), bytes);
}
#endif

TEST(MappedInput, EmptyMissingAndFolderInputsFailWith50004) {
    test::TempFolder folder;
    const WideString empty = folder.File(u"empty.bin");
    ASSERT_TRUE(test::WriteBytes(empty, std::string()));
    MappedInput input;
    input.status = kStatusUnspecified;
    EXPECT_EQ(OpenAndMapInput(input, empty), 0u);
    EXPECT_EQ(input.status, kStatusCannotOpen);
    EXPECT_FALSE(input.file.IsOpen());

    input.status = kStatusUnspecified;
    EXPECT_EQ(OpenAndMapInput(input, folder.File(u"missing.bin")), 0u);
    EXPECT_EQ(input.status, kStatusCannotOpen);

    input.status = kStatusUnspecified;
    EXPECT_EQ(OpenAndMapInput(input, folder.Path()), 0u);
    EXPECT_EQ(input.status, kStatusCannotOpen);
}

TEST(MappedInput, OwnRecordComesFromThePrivateHeapAndIsReleased) {
    MappedInput input;
    ASSERT_TRUE(PrepareImageRecord(input, nullptr));
    ASSERT_NE(input.image, nullptr);
    EXPECT_EQ(input.image, input.ownedImage.get());
    EXPECT_EQ(input.image->header.biWidth, 0);
    input.image->pixels = AllocatePixelBuffer(4, 4, 8);
    CloseMappedInput(input);  // a failed reader lets go of its own record
    EXPECT_EQ(input.image, nullptr);
    EXPECT_FALSE(input.ownedImage);
}

}  // namespace
}  // namespace qdx
