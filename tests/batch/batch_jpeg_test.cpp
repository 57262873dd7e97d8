// The batch's JPEG branch end to end: a JPEG photo converted to JPEG by the
// real reader and writer.
#include <gtest/gtest.h>

#include "batch/batch.h"
#include "codecs/read/jpeg_reader.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/jpeg_fixtures.h"

namespace qdx {
namespace {

TEST(BatchJpeg, AJpegPhotoBecomesAJpegFileBesideIt) {
    test::TempFolder folder;
    test::ScopedTemporaryFolder temp(folder.Path());
    test::JpegFixture photo = test::MakeFixture(120, 90, 3, [](int x, int y, int c) { return (x * 2 + y * 3 + c * 60) & 255; });
    photo.quality = 90;
    photo.fullChroma = false;
    photo.densityUnit = 1;
    photo.xDensity = photo.yDensity = 96;
    const WideString source = folder.File(u"photo.jpg");
    ASSERT_TRUE(test::WriteBytes(source, test::EncodeJpeg(photo)));

    Settings settings;
    for (Preset& preset : settings.presets) {  // quality 75, no resize, beside the source
        preset = Preset();
        preset.outputFormat = kOutputJpeg;
    }
    settings.presets[0].suffix.Assign(u"_a");
    settings.presets[1].suffix.Assign(u"_b");
    settings.presets[1].limitFileSize = 1;
    settings.presets[1].maxFileSizeKiB = 2;
    const uint8_t selection[4] = {1, 1, 0, 0};
    test::RecordingHost host;
    EXPECT_EQ(RunConversion(host, 1, &source, selection, settings), 2u);
    EXPECT_EQ(host.Count("error 30002"), 0);

    for (const char* name : {"photo_a.jpg", "photo_b.jpg"}) {
        JpegReaderState reader;
        DecodedImage image;
        ASSERT_TRUE(ReadJpegImage(reader, folder.File(name), &image)) << name;
        EXPECT_EQ(image.header.biWidth, 120);
        EXPECT_EQ(image.header.biHeight, 90);
        EXPECT_EQ(image.header.biXPelsPerMeter, 3780) << name;  // 96 dpi kept
        if (std::string(name) == "photo_b.jpg") {
            EXPECT_LE(image.fileSize, 2048u);
        }
    }
}

}  // namespace
}  // namespace qdx
