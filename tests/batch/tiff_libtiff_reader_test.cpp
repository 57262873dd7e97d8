// The batch's TIFF branch for files our own reader refuses for their layout:
// libtiff reads them, palette files keep their indices, alpha is flattened,
// and sizes are checked before anything is allocated.
#include "codecs/read/tiff_libtiff_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/read/tiff_reader.h"
#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "core/os/wide_string.h"
#include "tests/support/blank_settings.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tiff_file_builder.h"

namespace qdx {
namespace {

using test::TiffFileBuilder;

class TiffThroughLibtiff : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.Initialise());
        settings.backgroundColour = 0x030201;  // red 1, green 2, blue 3
        context.settings = &settings;
    }
    // Our own reader first, as the batch does; returns its status too.
    bool Decode(const std::string& bytes, uint32_t& ownStatus) {
        context.image.pixels.Reset();
        EXPECT_TRUE(test::WriteBytes(path, bytes));
        TiffReaderState own;
        DecodedImage ownImage;
        EXPECT_FALSE(ReadTiffImage(own, path, &ownImage)) << "meant for files our reader refuses";
        ownStatus = own.input.status;
        return DecodeTiffInput(context, path);
    }
    std::vector<uint8_t> StoredRow(uint32_t y, uint32_t bytes) const {
        const uint32_t stride = RowStride(uint32_t(context.image.header.biWidth), context.image.header.biBitCount);
        const uint8_t* row = context.image.pixels.Get() + size_t(y) * stride;
        return std::vector<uint8_t>(row, row + bytes);
    }
    test::TempFolder folder;
    WideString path = folder.File(u"in.tif");
    Settings settings = test::BlankSettings();
    ConversionContext context;
};

TEST_F(TiffThroughLibtiff, TwoBitPaletteKeepsItsIndicesAndColours) {
    test::SimpleTiff tiff;
    tiff.width = 4;
    tiff.height = 2;
    tiff.photometric = 3;
    tiff.bitsPerSample = 2;
    tiff.strip = {0x1B, 0xE4};  // 0 1 2 3 / 3 2 1 0
    tiff.colourMap = {0xFF00, 0, 0, 0x1200,   // red
                      0, 0xFF00, 0, 0x3400,   // green
                      0, 0, 0xFF00, 0x5600};  // blue
    uint32_t ownStatus = 0;
    ASSERT_TRUE(Decode(test::BuildSimpleTiff(tiff), ownStatus));
    EXPECT_TRUE(LibtiffMayRead(ownStatus)) << ownStatus;
    EXPECT_EQ(context.image.header.biBitCount, 8);
    EXPECT_EQ(context.image.sourceBitDepth, 2u);
    EXPECT_EQ(context.image.sourceKind, 4u);
    EXPECT_EQ(StoredRow(0, 4), (std::vector<uint8_t>{3, 2, 1, 0}));  // the bottom row
    EXPECT_EQ(StoredRow(1, 4), (std::vector<uint8_t>{0, 1, 2, 3}));
    const RGBQUAD last = context.image.palette[3];
    EXPECT_EQ((std::vector<int>{last.rgbRed, last.rgbGreen, last.rgbBlue}), (std::vector<int>{0x12, 0x34, 0x56}));
}

TEST_F(TiffThroughLibtiff, PackBitsWithUnassociatedAlphaIsFlattened) {
    TiffFileBuilder b(false);  // big-endian, for a change
    // A PackBits literal run of 8 bytes: two pixels red, green, blue, alpha.
    const uint32_t strip = b.AddBytes({7, 10, 20, 30, 255, 200, 100, 50, 0});
    b.Entry(256, TiffFileBuilder::kShort, 1, 2);
    b.Entry(257, TiffFileBuilder::kShort, 1, 1);
    b.Entry(258, TiffFileBuilder::kShort, 4, b.AddShorts({8, 8, 8, 8}));
    b.Entry(259, TiffFileBuilder::kShort, 1, 32773);
    b.Entry(262, TiffFileBuilder::kShort, 1, 2);
    b.Entry(273, TiffFileBuilder::kLong, 1, strip);
    b.Entry(277, TiffFileBuilder::kShort, 1, 4);
    b.Entry(278, TiffFileBuilder::kShort, 1, 1);
    b.Entry(279, TiffFileBuilder::kLong, 1, 9);
    b.Entry(338, TiffFileBuilder::kShort, 1, 2);  // unassociated alpha
    uint32_t ownStatus = 0;
    ASSERT_TRUE(Decode(b.Build(), ownStatus)) << context.tiffLibraryReader->input.status;
    EXPECT_EQ(context.image.header.biBitCount, 24);
    EXPECT_EQ(context.image.sourceBitDepth, 32u);
    EXPECT_EQ(StoredRow(0, 6), (std::vector<uint8_t>{30, 20, 10, 3, 2, 1}));  // clear: the background
}

TEST_F(TiffThroughLibtiff, HugeOrBrokenFilesFailWithoutPixels) {
    test::SimpleTiff huge;
    huge.width = 2000000;
    huge.height = 65535;  // 393 GB as 24 bits: refused before any allocation
    huge.compression = 5;
    huge.strip = {0x80, 0};
    uint32_t ownStatus = 0;
    EXPECT_FALSE(Decode(test::BuildSimpleTiff(huge), ownStatus));
    // Our reader refuses the layout; the check before libtiff allocates
    // refuses the size.
    EXPECT_EQ(context.tiffLibraryReader->input.status, kStatusTooManyPixels);
    EXPECT_EQ(context.budget.refusedWidth, 2000000u);
    EXPECT_EQ(context.image.pixels.Get(), nullptr);

    // A directory that points past the end of the file.
    std::string broken = "II*\0\xF0\xFF\0\0" + std::string(8, '\0');
    EXPECT_FALSE(Decode(broken, ownStatus));
    EXPECT_EQ(context.image.pixels.Get(), nullptr);
    EXPECT_FALSE(LibtiffMayRead(kStatusCannotOpen)) << "damaged files stay refused";
}

}  // namespace
}  // namespace qdx
