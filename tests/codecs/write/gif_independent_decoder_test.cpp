// Every file the GIF writer produces must read back the same through our
// reader and through an independent decoder installed from Debian: Python's
// imaging library (package python3-pil, installed by the setup; the test
// fails without it). The decoder runs natively, so the test is built there only.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "batch/conversion_context.h"
#include "batch/output_steps.h"
#include "codecs/read/gif_reader.h"
#include "codecs/write/gif_writer.h"
#include "core/os/wide_string.h"
#include "tests/support/gif_builder.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

#ifndef _WIN32
bool Runs(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Red, green, blue of every pixel, top-down, as our reader sees the file.
std::string OurRgb(const WideString& path) {
    GifReaderState reader;
    reader.flattenTransparency = 0;
    DecodedImage image;
    if (!ReadGifImage(reader, path, &image)) return "read failed";
    std::string rgb;
    rgb.reserve(size_t(image.header.biWidth) * image.header.biHeight * 3);
    for (int y = 0; y < image.header.biHeight; ++y)
        for (int x = 0; x < image.header.biWidth; ++x) {
            const RGBQUAD& c = image.palette[test::IndexAt(image, x, y)];
            rgb += char(c.rgbRed);
            rgb += char(c.rgbGreen);
            rgb += char(c.rgbBlue);
        }
    image.pixels.Reset();
    return rgb;
}

struct Case {
    int width, height, depth;
    bool manyColours;  // more than 256 distinct colours
};

TEST(GifIndependentDecoders, ReadWhatTheWriterWrites) {
    ASSERT_TRUE(Runs("/usr/bin/python3 -c 'import PIL.Image'")) << "python3-pil is not installed";

    test::TempFolder folder;
    const std::string root = test::Narrow(folder.Path());
    const Case cases[] = {{1, 1, 24, false},  {1, 1, 8, false},    {2, 3, 24, false},   {17, 5, 8, false},
                          {300, 1, 24, true}, {1, 300, 24, false}, {640, 480, 24, true}, {640, 480, 8, false},
                          {4000, 3000, 24, true}, {4000, 3000, 24, false}};
    std::mt19937 random(11);
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " depth " + std::to_string(c.depth) +
                     (c.manyColours ? " many colours" : ""));
        ConversionContext context;
        ASSERT_TRUE(context.Initialise());
        const WideString gif = folder.File(("out" + std::to_string(number++) + ".gif").c_str());
        context.tempPath = &gif;
        DecodedImage& image = context.image;
        SetImageHeader(image, c.width, c.height, uint16_t(c.depth));
        image.pixels = AllocatePixelBuffer(uint32_t(c.width), uint32_t(c.height), uint32_t(c.depth));
        ASSERT_NE(image.pixels.Get(), nullptr);
        for (int i = 0; i < 256; ++i)
            image.palette[i] = RGBQUAD{uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
        const uint32_t stride = RowStride(uint32_t(c.width), uint32_t(c.depth));
        for (int y = 0; y < c.height; ++y) {
            uint8_t* row = image.pixels.Get() + uint64_t(y) * stride;
            for (int x = 0; x < c.width; ++x) {
                if (c.depth == 8) {
                    row[x] = uint8_t((x / 7 + y / 5) * 31 + (random() & 3));
                } else if (c.manyColours) {
                    // Smooth colour fields with noise: far more than 256 colours.
                    row[3 * x] = uint8_t(x * 255 / c.width + (random() & 15));
                    row[3 * x + 1] = uint8_t(y * 255 / c.height + (random() & 15));
                    row[3 * x + 2] = uint8_t((x + y) + (random() & 15));
                } else {
                    const uint32_t n = (x / 9 + y / 11 * 7) % 200;
                    row[3 * x] = uint8_t(n);
                    row[3 * x + 1] = uint8_t(n * 5);
                    row[3 * x + 2] = uint8_t(255 - n);
                }
            }
        }
        ASSERT_TRUE(GifOutputStep(context)) << context.gifWriter->writeStatus;
        const std::string ours = OurRgb(gif);
        ASSERT_EQ(ours.size(), size_t(c.width) * c.height * 3);

        const std::string file = test::Narrow(gif);
        const std::string script =
            "import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
            "open(sys.argv[2], 'wb').write(im.convert('RGB').tobytes())";
        ASSERT_TRUE(Runs("/usr/bin/python3 -c \"" + script + "\" '" + file + "' '" + file + ".pil'"));
        const std::string theirs = test::ReadBytes(folder.File((file.substr(root.size() + 1) + ".pil").c_str()));
        EXPECT_TRUE(theirs == ours) << "Pillow decodes differently";
    }
}
#endif

}  // namespace
}  // namespace qdx
