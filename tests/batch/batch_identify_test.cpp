#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "batch/batch.h"
#include "core/os/os.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

struct LeadingBytesCase {
    const char* what;
    std::string bytes;
    InputKind expected;
};

std::string B(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

TEST(IdentifyInput, ClassifiesLeadingBytes) {
    const std::string tail(24, '\x11');  // enough bytes after the signature
    const LeadingBytesCase cases[] = {
        {"BMP", "BM" + tail, kInputBmp},
        {"BMP, exactly 8 bytes", B({0x42, 0x4D, 0, 0, 0, 0, 0, 0}), kInputBmp},
        {"PNG", B({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) + tail, kInputPng},
        {"PNG, wrong eighth byte", B({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x00}) + tail, kInputNotRecognised},
        {"PNG, wrong third byte", B({0x89, 0x50, 0x4F, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) + tail, kInputNotRecognised},
        {"PNG, reversed first two bytes", B({0x50, 0x89, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) + tail,
         kInputNotRecognised},
        {"JPEG", B({0xFF, 0xD8, 0xFF, 0xE0}) + tail, kInputJpeg},
        {"JPEG, reversed", B({0xD8, 0xFF, 0xFF, 0xE0}) + tail, kInputNotRecognised},
        {"TIFF, II*", B({0x49, 0x49, 0x2A, 0x00}) + tail, kInputTiff},
        {"II and another third byte", B({0x49, 0x49, 0x2B, 0x00}) + tail, kInputNotRecognised},
        {"II, * in the fourth byte", B({0x49, 0x49, 0x00, 0x2A}) + tail, kInputNotRecognised},
        {"TIFF, MM 0 *", B({0x4D, 0x4D, 0x00, 0x2A}) + tail, kInputTiff},
        {"TIFF, MM any *", B({0x4D, 0x4D, 0x7F, 0x2A}) + tail, kInputTiff},
        {"MM * 0", B({0x4D, 0x4D, 0x2A, 0x00}) + tail, kInputNotRecognised},
        {"GIF87a", "GIF87a" + tail, kInputGif},
        {"GIF and anything", "GIF\xff\xff\xff\xff\xff", kInputGif},
        {"GI and not F", "GIX89a" + tail, kInputNotRecognised},
        {"lower-case bm", "bm" + tail, kInputNotRecognised},
        {"text", "Hello, world", kInputNotRecognised},
        {"all zero", std::string(8, '\0'), kInputNotRecognised},
        {"5-byte BMP start", "BM\x01\x02\x03", kInputUnreadable},
        {"7 bytes of PNG signature", B({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A}), kInputUnreadable},
        {"empty file", "", kInputUnreadable},
        {"WebP", std::string("RIFF\x24\0\0\0WEBPVP8 ", 16) + tail, kInputWebp},
        {"RIFF of another kind", std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + tail, kInputNotRecognised},
        {"RIFF cut before its form type", std::string("RIFF\x24\0\0\0WE", 10), kInputNotRecognised},
        {"HEIC", std::string("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24) + tail, kInputHeif},
        {"AVIF", std::string("\0\0\0\x1C" "ftypavif\0\0\0\0avifmif1miaf", 28) + tail, kInputHeif},
        {"generic HEIF brand", std::string("\0\0\0\x10" "ftypmif1\0\0\0\0", 16) + tail, kInputHeif},
        {"HEIF brand among the compatible ones",
         std::string("\0\0\0\x1C" "ftypmiaf\0\0\0\0isommiafheix", 28) + tail, kInputHeif},
        {"ftyp cut after the major brand", std::string("\0\0\0\x18" "ftypavis", 12), kInputHeif},
        {"MP4 video", std::string("\0\0\0\x18" "ftypisom\0\0\0\0isommp41", 24) + tail, kInputNotRecognised},
        {"HEIF brand after the end of the ftyp box",
         std::string("\0\0\0\x14" "ftypisom\0\0\0\0mp41heic", 24) + tail, kInputNotRecognised},
        {"HEIF brand outside an ftyp box", std::string("\0\0\0\x18" "moovheic\0\0\0\0mif1heic", 24) + tail,
         kInputNotRecognised},
    };
    test::TempFolder folder;
    int index = 0;
    for (const auto& c : cases) {
        const WideString path = folder.File(("case" + std::to_string(index++) + ".bin").c_str());
        ASSERT_TRUE(test::WriteBytes(path, c.bytes)) << c.what;
        EXPECT_EQ(IdentifyInput(path), c.expected) << c.what;
        uint8_t lead[kLeadingBytes] = {};
        if (c.bytes.size() >= kMinimumLeadingBytes) {
            const uint32_t count = uint32_t(std::min<size_t>(c.bytes.size(), kLeadingBytes));
            for (uint32_t i = 0; i < count; ++i) lead[i] = static_cast<uint8_t>(c.bytes[i]);
            EXPECT_EQ(ClassifyLeadingBytes(lead, count), c.expected) << c.what;
        }
    }
}

TEST(IdentifyInput, UnopenableInputsAreUnreadable) {
    test::TempFolder folder;
    EXPECT_EQ(IdentifyInput(folder.File(u"missing.png")), kInputUnreadable);
    EXPECT_EQ(IdentifyInput(folder.Path()), kInputUnreadable);  // a folder
    EXPECT_EQ(IdentifyInput(WideString()), kInputUnreadable);   // no path at all
}

TEST(IdentifyInput, ReadsFilesWithAwkwardNames) {
    test::TempFolder folder;
    const char* names[] = {"写真 2024.final.png", "emoji 🎨😀.bmp", "no dot at all", "several.dots.in.name.gif",
                           " leading and trailing space .jpg"};
    const std::string bytes[] = {B({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}), "BM000000", "BM000000",
                                 "GIF89a00", B({0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 0, 0})};
    const InputKind expected[] = {kInputPng, kInputBmp, kInputBmp, kInputGif, kInputJpeg};
    for (int i = 0; i < 5; ++i) {
        const WideString path = folder.File(names[i]);
        ASSERT_TRUE(test::WriteBytes(path, bytes[i])) << names[i];
        EXPECT_EQ(IdentifyInput(path), expected[i]) << names[i];
    }
}

TEST(IdentifyInput, LeavesTheFileUntouchedAndClosed) {
    test::TempFolder folder;
    const WideString path = folder.File(u"keep.bmp");
    const std::string bytes = "BM" + std::string(100, 'x');
    ASSERT_TRUE(test::WriteBytes(path, bytes));
    EXPECT_EQ(IdentifyInput(path), kInputBmp);
    // Closed again: the file can be removed at once (Windows refuses while open).
    EXPECT_EQ(test::ReadBytes(path), bytes);
    EXPECT_TRUE(os::RemoveFile(path.Text()));
}

}  // namespace
}  // namespace qdx
