// The rules the plug-in bridge applies to what plug-ins say and deliver. The
// calls into real plug-in libraries are tested under Windows by plugin_tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/read/plugin_bridge.h"
#include "core/os/plugin_host.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// A delivered BITMAPINFO block: header and `colours` palette entries.
std::vector<uint8_t> InfoBlock(int32_t width, int32_t height, uint16_t bits, uint32_t colours = 0,
                               uint32_t compression = 0) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = compression;
    header.biXPelsPerMeter = -5;
    std::vector<uint8_t> block(sizeof header + colours * 4);
    std::memcpy(block.data(), &header, sizeof header);
    for (uint32_t i = 0; i < colours; ++i) block[sizeof header + 4 * i + 2] = uint8_t(10 + i);  // red
    return block;
}

struct Delivered {
    DecodedImage image;
    uint16_t bits = 0;
    bool headerTaken = false;
    bool converted = false;
};

void Deliver(Delivered& out, const std::vector<uint8_t>& info, const std::vector<uint8_t>& pixels) {
    out.headerTaken = TakeDeliveredHeader(info.data(), info.size(), out.image, out.bits);
    out.converted = out.headerTaken && ConvertDeliveredPixels(pixels.data(), pixels.size(), out.bits, out.image);
}

TEST(PluginBridgeDelivery, OneAndFourBitRowsBecomeOneBytePerPixelAndKeepThePalette) {
    // 10 x 2 at 1 bit: 2 bytes a row, padded to 4; most significant bit first.
    Delivered mono;
    Deliver(mono, InfoBlock(10, 2, 1, 2), {0b10110000, 0b01000000, 0xEE, 0xEE, 0xFF, 0xC0, 0, 0});
    ASSERT_TRUE(mono.converted);
    EXPECT_EQ(mono.image.header.biBitCount, 8);
    EXPECT_EQ(mono.image.palette[1].rgbRed, 11);
    const uint8_t bottom[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(0, std::memcmp(mono.image.pixels.Get(), bottom, 10));
    EXPECT_EQ(mono.image.pixels.Get()[12 + 9], 1);  // second row, stride 12

    // 3 x 1 at 4 bits: high nibble first.
    Delivered nibbles;
    Deliver(nibbles, InfoBlock(3, 1, 4, 16), {0x5A, 0xF0, 0, 0});
    ASSERT_TRUE(nibbles.converted);
    const uint8_t row[3] = {5, 10, 15};
    EXPECT_EQ(0, std::memcmp(nibbles.image.pixels.Get(), row, 3));
    EXPECT_EQ(nibbles.image.header.biXPelsPerMeter, 0);  // negative resolution stored as 0

    // One byte short of two padded 1-bit rows.
    Delivered shortMono;
    Deliver(shortMono, InfoBlock(10, 2, 1, 2), std::vector<uint8_t>(7, 0xFF));
    EXPECT_FALSE(shortMono.converted);
}

TEST(PluginBridgeDelivery, EightAndTwentyFourBitBlocksAreCopiedAndAShortBlockLeavesBlack) {
    Delivered full;
    std::vector<uint8_t> rows(2 * 8);  // 2 x 2 at 24 bits: stride 8
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint8_t(i + 1);
    rows.push_back(0x77);  // more than the picture: not copied
    Deliver(full, InfoBlock(2, 2, 24), rows);
    ASSERT_TRUE(full.converted);
    EXPECT_EQ(0, std::memcmp(full.image.pixels.Get(), rows.data(), 16));
    EXPECT_EQ(full.image.pixels.Get()[16], 0);

    Delivered shortGrey;
    Deliver(shortGrey, InfoBlock(3, 2, 8, 256), {9, 9, 9, 9, 9});
    ASSERT_TRUE(shortGrey.converted);
    EXPECT_EQ(shortGrey.image.pixels.Get()[4], 9);
    EXPECT_EQ(shortGrey.image.pixels.Get()[5], 0);
    EXPECT_EQ(shortGrey.image.palette[255].rgbRed, uint8_t(10 + 255));

    Delivered empty;
    Deliver(empty, InfoBlock(3, 2, 8), {});
    EXPECT_FALSE(empty.converted);
}

TEST(PluginBridgeDelivery, RefusesThirtyTwoBitsCompressionTopDownAndShortHeaders) {
    const std::vector<uint8_t> pixels(64, 1);
    Delivered deep, compressed, topDown, noWidth, truncated;
    Deliver(deep, InfoBlock(2, 2, 32), pixels);
    Deliver(compressed, InfoBlock(2, 2, 8, 0, 1), pixels);
    Deliver(topDown, InfoBlock(2, -2, 24), pixels);
    Deliver(noWidth, InfoBlock(0, 2, 24), pixels);
    std::vector<uint8_t> cut = InfoBlock(2, 2, 24);
    cut.pop_back();
    Deliver(truncated, cut, pixels);
    for (const Delivered* d : {&deep, &compressed, &topDown, &noWidth, &truncated}) {
        EXPECT_FALSE(d->headerTaken);
        EXPECT_EQ(d->image.pixels.Get(), nullptr);
    }
}

TEST(PluginBridgeRules, ExcludedNamesFoldOnlyAsciiLetters) {
    const std::vector<WideString> excluded{WideString(u"NetPBM.SPI"), WideString(u"\u00C9cran.spi")};
    EXPECT_TRUE(IsExcludedPlugin(&excluded, u"netpbm.spi"));
    EXPECT_FALSE(IsExcludedPlugin(&excluded, u"netpbm.sph"));
    EXPECT_TRUE(IsExcludedPlugin(&excluded, u"\u00C9CRAN.SPI"));
    EXPECT_FALSE(IsExcludedPlugin(&excluded, u"\u00E9cran.spi"));  // only A-Z fold
    EXPECT_FALSE(IsExcludedPlugin(nullptr, u"netpbm.spi"));
}

TEST(PluginBridgeRules, VersionTextsSayWhatIsListedAndWhatDecodes) {
    EXPECT_TRUE(IsImageReaderVersion("00IN"));
    EXPECT_TRUE(IsListedVersion("00AMxyz"));
    EXPECT_FALSE(IsImageReaderVersion("00AM"));
    EXPECT_FALSE(IsListedVersion("00I"));
    EXPECT_FALSE(IsListedVersion("00in"));
}

// A plug-in's GetPluginInfo texts by number.
struct FakeInfo {
    std::vector<std::string> texts;
    static int32_t Ask(void* context, int32_t number, char* text, int32_t size) {
        const auto& texts = static_cast<FakeInfo*>(context)->texts;
        if (number < 0 || size_t(number) >= texts.size()) return 0;
        std::snprintf(text, size_t(size), "%s", texts[size_t(number)].c_str());
        return int32_t(std::strlen(text));
    }
};

TEST(PluginBridgeRules, PatternsJoinWithSemicolonsAndNamesWithSlashesUpTo258Characters) {
    char patterns[kPluginTextBytes], names[kPluginTextBytes];
    FakeInfo two{{"00IN", "name", "*.a", "A files", "*.b", "B files"}};
    ASSERT_TRUE(JoinPluginTexts(FakeInfo::Ask, &two, patterns, names));
    EXPECT_STREQ(patterns, "*.a;*.b");
    EXPECT_STREQ(names, "A files/B files");

    // 250 + ";" + 7 = 258 fits; the next pattern would not, and its name
    // is never asked for.
    FakeInfo longOnes{{"00IN", "n", std::string(250, 'p'), "x", "*.seven", "y", "*.z", "z"}};
    ASSERT_TRUE(JoinPluginTexts(FakeInfo::Ask, &longOnes, patterns, names));
    EXPECT_EQ(std::strlen(patterns), 258u);
    EXPECT_STREQ(names, "x/y");

    FakeInfo nameless{{"00IN", "n", "*.a", ""}};
    EXPECT_FALSE(JoinPluginTexts(FakeInfo::Ask, &nameless, patterns, names));
}

#if !defined(_WIN32)
TEST(PluginBridgeWithoutPlugins, AFolderOfPluginFilesYieldsNothingHere) {
    test::TempFolder folder;
    const std::string header(kPluginHeaderBlockBytes, 'P');
    ASSERT_TRUE(test::WriteBytes(folder.File(u"reader.spi"), header));
    ASSERT_TRUE(test::WriteBytes(folder.File(u"input.xyz"), header));
    PluginBridge bridge;
    bridge.folder = &folder.Path();
    EXPECT_TRUE(EnumeratePlugins(bridge).empty());
    WideString patterns, names;
    EXPECT_FALSE(DescribePlugin(bridge, WideString(u"reader.spi"), patterns, names));
    EXPECT_EQ(ReadWithPlugins(bridge, folder.File(u"input.xyz"), nullptr), nullptr);
    EXPECT_FALSE(OpenPluginConfiguration(bridge, 0, WideString(u"reader.spi")));
}
#endif

}  // namespace
}  // namespace qdx
