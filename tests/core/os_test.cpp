#include "core/os/os.h"

#include <cstring>

#include <gtest/gtest.h>

#include "core/decoded_image.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

TEST(OsFiles, ReadWriteSeekTruncate) {
    test::TempFolder folder;
    const WideString path = folder.File(u"rw.bin");
    os::File file;
    ASSERT_TRUE(os::OpenReadWriteExclusive(path.Text(), file));  // created when absent
    ASSERT_TRUE(os::WriteAll(file, "0123456789", 10));
    ASSERT_TRUE(os::SeekTo(file, 4));
    ASSERT_TRUE(os::TruncateHere(file));
    uint64_t size = 0;
    ASSERT_TRUE(os::FileSize(file, size));
    EXPECT_EQ(size, 4u);
    ASSERT_TRUE(os::SeekTo(file, 1));
    char two[2];
    EXPECT_TRUE(os::ReadExact(file, two, 2));
    EXPECT_EQ(std::string(two, 2), "12");
    EXPECT_FALSE(os::ReadExact(file, two, 2));  // only one byte is left
    uint64_t end = 0;
    ASSERT_TRUE(os::SeekToEnd(file, &end));
    EXPECT_EQ(end, 4u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(os::Read(file, two, 2), 0u);
}

TEST(OsFiles, ExistenceFoldersCopyAndDelete) {
    test::TempFolder folder;
    const WideString a = folder.File(u"a.txt"), b = folder.File(u"b.txt"), sub = folder.File(u"sub");
    EXPECT_FALSE(os::PathExists(a.Text()));
    ASSERT_TRUE(test::WriteBytes(a, std::string("alpha")));
    ASSERT_TRUE(test::WriteBytes(b, std::string("beta")));
    EXPECT_TRUE(os::FileExists(a.Text()));
    EXPECT_FALSE(os::FolderExists(a.Text()));
    EXPECT_TRUE(os::FolderExists(folder.Path().Text()));
    EXPECT_FALSE(os::FileExists(folder.Path().Text()));

    // Copy refuses to replace, and leaves the existing target untouched.
    EXPECT_FALSE(os::CopyFileNoReplace(a.Text(), b.Text()));
    EXPECT_EQ(test::ReadBytes(b), "beta");
    const WideString c = folder.File(u"c.txt");
    EXPECT_TRUE(os::CopyFileNoReplace(a.Text(), c.Text()));
    EXPECT_EQ(test::ReadBytes(c), "alpha");

    ASSERT_TRUE(os::CreateFolder(sub.Text()));
    EXPECT_FALSE(os::CreateFolder(sub.Text()));
    EXPECT_TRUE(os::FolderExists(sub.Text()));
    EXPECT_TRUE(os::RemoveFolder(sub.Text()));
    EXPECT_FALSE(os::PathExists(sub.Text()));
    EXPECT_TRUE(os::RemoveFile(c.Text()));
    EXPECT_FALSE(os::RemoveFile(c.Text()));

    // Atomic replacement: the target takes the new bytes, the source is gone.
    EXPECT_TRUE(os::ReplaceFileAtomically(a.Text(), b.Text()));
    EXPECT_EQ(test::ReadBytes(b), "alpha");
    EXPECT_FALSE(os::PathExists(a.Text()));
}

TEST(OsFiles, UnicodeNames) {
    test::TempFolder folder;
    const WideString name = folder.File("写真 \xF0\x9F\x93\xB7 a.b.c");
    ASSERT_TRUE(test::WriteBytes(name, std::string("x")));
    EXPECT_TRUE(os::FileExists(name.Text()));
    EXPECT_EQ(test::ReadBytes(name), "x");
}

TEST(OsFiles, TemporaryFileAndTimes) {
    WideString tempFolder, temp;
    ASSERT_TRUE(os::TemporaryFolder(tempFolder));
    ASSERT_TRUE(os::CreateTemporaryFile(tempFolder, temp));
    EXPECT_TRUE(os::FileExists(temp.Text()));
    WideString name(temp);
    KeepFileName(name);
    EXPECT_EQ(std::u16string(name.Text(), 3), u"tmp");
    os::File file;
    ASSERT_TRUE(os::OpenForReadShared(temp.Text(), file));
    uint64_t fileTime = 0;
    ASSERT_TRUE(os::LastWriteTime(file, fileTime));
    // After 2020-01-01 on the 100-ns-since-1601 scale.
    EXPECT_GT(fileTime, 132223104000000000ull);
    file.Close();
    EXPECT_TRUE(os::RemoveFile(temp.Text()));
}

// A large buffer freed in a batch may be handed out again: it must come back
// zero-filled, and none may be left after the batch's end.
TEST(OsMemory, ReusedPixelBuffersComeBackZeroFilled) {
    constexpr size_t kSize = size_t(3) << 20;
    auto* first = static_cast<uint8_t*>(os::AllocatePixels(kSize));
    ASSERT_NE(first, nullptr);
    std::memset(first, 0xA5, kSize);
    os::FreePixels(first);
    auto* second = static_cast<uint8_t*>(os::AllocatePixels(kSize - 4096));
    ASSERT_NE(second, nullptr);
#if !defined(QDX_PIXELS_FROM_HEAP)
    EXPECT_EQ(second, first);  // kept, except where the checked heap serves
#endif
    size_t nonzero = 0;
    for (size_t i = 0; i < kSize - 4096; ++i) nonzero += second[i] != 0;
    EXPECT_EQ(nonzero, 0u);
    os::FreePixels(second);
    os::ReleaseKeptPixels();
    os::ReleaseKeptPixels();  // nothing left: a second call does nothing
}

// Rows the caller fills may come from an earlier picture's buffer, but the
// bytes it does not write (each row's padding, the slack) are zero.
TEST(OsMemory, PixelRowsComeWithZeroPaddingAndSlack) {
    constexpr uint32_t kWidth = 1001, kHeight = 400;  // 3,003 bytes of 3,004 a row, 1.2 MB
    uint32_t size = 0;
    ASSERT_TRUE(PixelBufferSize(kWidth, kHeight, 24, size));
    {
        os::PixelMemory earlier = AllocatePixelBuffer(kWidth, kHeight, 24);
        ASSERT_TRUE(earlier);
        std::memset(earlier.Get(), 0xA5, size);
    }
    os::PixelMemory rows = AllocatePixelRows(kWidth, kHeight, 24);
    ASSERT_TRUE(rows);
    const uint32_t stride = RowStride(kWidth, 24);
    size_t nonzero = 0;
    for (uint32_t y = 0; y < kHeight; ++y) nonzero += rows.Get()[uint64_t(y) * stride + kWidth * 3] != 0;
    for (uint32_t i = stride * kHeight; i < size; ++i) nonzero += rows.Get()[i] != 0;
    EXPECT_EQ(nonzero, 0u);
    rows.Reset();
    os::ReleaseKeptPixels();
}

TEST(OsMemory, PixelsAndHeapsAreZeroFilled) {
    auto* pixels = static_cast<uint8_t*>(os::AllocatePixels(100000));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[99999], 0);
    pixels[99999] = 1;
    os::FreePixels(pixels);
    os::FreePixels(nullptr);

    auto* block = static_cast<uint8_t*>(os::PrivateAlloc(10));
    ASSERT_NE(block, nullptr);
    block[9] = 5;
    block = static_cast<uint8_t*>(os::PrivateRealloc(block, 5000));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[9], 5);
    EXPECT_EQ(block[4999], 0);
    os::PrivateFree(block);
}

TEST(Utf, RoundTripsAndReplacesBrokenInput) {
    const char* text = "a\xC3\xA9\xE5\x86\x99\xF0\x9F\x93\xB7";
    WideString wide;
    ASSERT_TRUE(AppendUtf8(wide, text));
    EXPECT_EQ(wide.Length(), 5u);  // a, é, 写, and a surrogate pair
    EXPECT_EQ(ToUtf8(wide.Text(), wide.Length()), text);
    const char16_t lone[] = {0xD800, u'x', 0};
    EXPECT_EQ(ToUtf8(lone), "\xEF\xBF\xBDx");
    WideString broken;
    AppendUtf8(broken, "\xC3x\xFF");
    EXPECT_EQ(std::u16string(broken.Text()), u"\uFFFDx\uFFFD");
}

}  // namespace
}  // namespace qdx
