// Our Exif reader and writer on blocks built byte by byte: values come out
// little-endian whatever the source's order, the policies keep what they name,
// the written block is upright, and damaged blocks read what can be read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/common/exif_orientation.h"
#include "codecs/common/exif_tags.h"
#include "core/os/owned_memory.h"
#include "tests/support/tiff_file_builder.h"

namespace qdx {
namespace {

using test::TiffFileBuilder;

// A camera's block: Make (inline), Model, orientation 6, a resolution, a GPS
// pointer and an Exif directory with exposure, ISO, maker note and a size.
std::string CameraBlock(bool little) {
    TiffFileBuilder b(little);
    const uint32_t model = b.AddBytes({'P', 'h', 'o', 'n', 'e', ' ', '1', '2', 0});
    const uint32_t resolution = b.AddRational(72, 1);
    const uint32_t exposure = b.AddRational(1, 120);
    const uint32_t note = b.AddBytes(std::vector<uint8_t>(40, 'N'));
    std::vector<uint8_t> exif;
    b.Put16(exif, 4);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        b.Put16(exif, tag);
        b.Put16(exif, type);
        b.Put32(exif, count);
        if (type == TiffFileBuilder::kShort) {
            b.Put16(exif, uint16_t(value));
            b.Put16(exif, 0);
        } else {
            b.Put32(exif, value);
        }
    };
    entry(33434, TiffFileBuilder::kRational, 1, exposure);
    entry(34855, TiffFileBuilder::kShort, 1, 50);
    entry(37500, 7, 40, note);
    entry(40962, TiffFileBuilder::kLong, 1, 4000);
    b.Put32(exif, 0);
    const uint32_t exifAt = b.AddBytes(exif);
    b.RawEntry(271, TiffFileBuilder::kAscii, 4, {'C', 'a', 'm', 0});
    b.Entry(272, TiffFileBuilder::kAscii, 9, model);
    b.Entry(274, TiffFileBuilder::kShort, 1, 6);
    b.Entry(282, TiffFileBuilder::kRational, 1, resolution);
    b.Entry(34665, TiffFileBuilder::kLong, 1, exifAt);
    b.Entry(34853, TiffFileBuilder::kLong, 1, exifAt);  // GPS: never read
    return b.Build();
}

const ExifEntry* Find(const ExifTags& tags, uint16_t tag) {
    for (uint32_t i = 0; i < tags.count; ++i)
        if (tags.entries[i].tag == tag) return &tags.entries[i];
    return nullptr;
}

uint32_t Little32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

TEST(ExifTags, PoliciesKeepTheirTagsInEitherByteOrderAndTheOutputIsUpright) {
    auto tags = os::MakeHeapObject<ExifTags>();
    auto again = os::MakeHeapObject<ExifTags>();
    std::vector<uint8_t> out(kExifMaxBlockBytes);
    for (bool little : {true, false}) {
        const std::string block = CameraBlock(little);
        const auto* data = reinterpret_cast<const uint8_t*>(block.data());
        for (MetadataPolicy policy : {MetadataPolicy::DateAndCamera, MetadataPolicy::AllButLocation}) {
            SCOPED_TRACE(std::to_string(little) + " " + std::to_string(int(policy)));
            const uint32_t size = MakeOutputExif(data, block.size(), policy, 640, 480, *tags, out.data());
            ASSERT_GT(size, 0u);
            EXPECT_EQ(ReadTiffOrientation(out.data(), size), kOrientationUpright);
            ASSERT_TRUE(ReadExifTags(out.data(), size, *again));
            const ExifEntry* make = Find(*again, 271);
            const ExifEntry* model = Find(*again, 272);
            const ExifEntry* exposure = Find(*again, 33434);
            const ExifEntry* iso = Find(*again, 34855);
            ASSERT_TRUE(make && model && exposure && iso);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(again->values + model->valueAt)), "Phone 12");
            EXPECT_EQ(exposure->directory, kExifDirectoryExif);
            EXPECT_EQ(Little32(again->values + exposure->valueAt), 1u);
            EXPECT_EQ(Little32(again->values + exposure->valueAt + 4), 120u);
            EXPECT_EQ(again->values[iso->valueAt], 50);
            // Never: maker notes, GPS, the source's resolution, orientation or size.
            for (uint16_t dropped : {37500, 34853, 282, 274, 40962}) EXPECT_EQ(Find(*again, dropped), nullptr);
        }
        EXPECT_EQ(MakeOutputExif(data, block.size(), MetadataPolicy::Nothing, 640, 480, *tags, out.data()), 0u);
    }
}

TEST(ExifTags, DamagedBlocksReadWhatCanBeRead) {
    const std::string good = CameraBlock(true);
    auto tags = os::MakeHeapObject<ExifTags>();
    struct Case {
        const char* what;
        std::string block;
        bool reads;
        uint32_t count;
    };
    std::string truncated = good.substr(0, good.size() - 30);  // the directory's tail cut off
    std::string selfPointing = good;
    std::string badModel = good;
    {
        // Point the Exif directory at the first one, and the Model's value past the end.
        const uint32_t first = Little32(reinterpret_cast<const uint8_t*>(good.data()) + 4);
        for (size_t at = first + 2; at + 12 <= good.size(); at += 12) {
            const uint16_t tag = uint16_t(uint8_t(good[at]) | uint8_t(good[at + 1]) << 8);
            if (tag == 34665) std::memcpy(&selfPointing[at + 8], &first, 4);
            if (tag == 272) badModel[at + 8] = char(0xF0);
        }
    }
    const Case cases[] = {
        {"not a TIFF structure", "XX*\0\0\0\0\0", false, 0},
        {"first directory beyond the end", std::string("II*\0\xFF\0\0\0", 8), false, 0},
        {"directory cut short", truncated, true, 2},
        {"Exif directory is the first one", selfPointing, true, 2},
        {"a value beyond the end", badModel, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadExifTags(reinterpret_cast<const uint8_t*>(c.block.data()), c.block.size(), *tags), c.reads);
        EXPECT_EQ(tags->count, c.count);
    }
}

}  // namespace
}  // namespace qdx
