// The plug-in bridge with real plug-in libraries: our Netpbm reader from the
// shipped plugins folder and the misbehaving test plug-ins. Each test builds
// a plug-in folder of its own from copies of them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "codecs/read/bmp_reader.h"
#include "codecs/read/plugin_bridge.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

// Paths built from the folders CMake names, with Windows separators (the
// batch takes a file's name from after the last backslash).
WideString FromUtf8(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    WideString out;
    AppendUtf8(out, text.c_str());
    return out;
}

class PluginFolderTest : public ::testing::Test {
protected:
    PluginFolderTest() : scoped(temporary) {
        os::CreateFolder(plugins.Text());
        os::CreateFolder(out.Text());
        os::CreateFolder(temporary.Text());
        settings.pluginFolder = plugins;
        settings.presets[0].outputFolder = out;
        bridge.folder = &settings.pluginFolder;
        bridge.excluded = &settings.excludedPlugins;
    }

    WideString PluginPath(const char* name) const {
        WideString path;
        SetFolderPlusName(path, plugins.Text(), FromUtf8(name).Text());
        return path;
    }
    // Copies a built plug-in into this test's plug-in folder as `name`.
    void Install(const char* built, const char* name) {
        const bool shipped = std::string(built) == "netpbm.spi";
        const WideString from = FromUtf8(std::string(shipped ? QDX_PLUGIN_DIR : QDX_TEST_PLUGIN_DIR) + "/" + built);
        ASSERT_TRUE(os::CopyFileNoReplace(from.Text(), PluginPath(name).Text())) << built;
    }
    // A file in the test folder: `start`, padded to the header block's size.
    WideString Input(const char* name, const std::string& start, size_t atLeast = kPluginHeaderBlockBytes) {
        std::string bytes = start;
        bytes.resize(std::max(atLeast, start.size()), '\n');
        const WideString path = root.File(name);
        EXPECT_TRUE(test::WriteBytes(path, bytes));
        return path;
    }
    bool Read(const WideString& path) {
        return ReadWithPlugins(bridge, path, &image) != nullptr;
    }
    uint32_t Convert(const std::vector<WideString>& paths) {
        const uint8_t selection[4] = {1, 0, 0, 0};
        return RunConversion(host, uint32_t(paths.size()), paths.data(), selection, settings);
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const WideString& name : EnumeratePlugins(bridge)) names.push_back(test::Narrow(name));
        return names;
    }

    test::TempFolder root;
    WideString plugins = root.File(u"plugins");
    WideString out = root.File(u"out");
    WideString temporary = root.File(u"tmp");
    test::ScopedTemporaryFolder scoped;
    Settings settings = test::BlankSettings();
    PluginBridge bridge;
    DecodedImage image;
    test::RecordingHost host;
};

// A one-row P5 picture exactly `size` bytes long (a 4-digit width).
constexpr size_t kGreymapHeader = 14;  // "P5\nwwww 1\n255\n"
std::string Greymap(size_t size) {
    const size_t width = size - kGreymapHeader;
    return "P5\n" + std::to_string(width) + " 1\n255\n" + std::string(width, '\x7F');
}

TEST_F(PluginFolderTest, NetpbmFilesThroughTheBatchMatchAnIndependentDecoder) {
    Install("netpbm.spi", "netpbm.spi");
    std::ifstream manifest(std::string(QDX_NETPBM_FIXTURES) + "/manifest.txt");
    std::vector<std::string> names;
    for (std::string name; std::getline(manifest, name);)
        if (!name.empty()) names.push_back(name);
    ASSERT_EQ(names.size(), 10u) << "fixtures missing from " << QDX_NETPBM_FIXTURES;
    std::vector<WideString> paths;
    for (const std::string& name : names) paths.push_back(FromUtf8(std::string(QDX_NETPBM_FIXTURES) + "/" + name));
    ASSERT_EQ(Convert(paths), names.size());

    BmpReaderState reader;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::ifstream ref(std::string(QDX_NETPBM_FIXTURES) + "/" + name + ".ref", std::ios::binary);
        int width = 0, height = 0;
        ref >> width >> height;
        ref.get();
        const std::string rgb((std::istreambuf_iterator<char>(ref)), std::istreambuf_iterator<char>());
        WideString output = out;
        AppendPathComponent(output, FromUtf8(name.substr(0, name.rfind('.')) + ".bmp").Text());
        image.pixels.Reset();
        ASSERT_TRUE(ReadBmpImage(reader, output, &image));
        ASSERT_EQ(image.header.biWidth, width);
        ASSERT_EQ(image.header.biHeight, height);
        const uint32_t stride = RowStride(uint32_t(width), image.header.biBitCount);
        int mismatches = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* row = image.pixels.Get() + uint64_t(height - 1 - y) * stride;
                uint8_t got[3];
                if (image.header.biBitCount == 24) {
                    got[0] = row[3 * x + 2], got[1] = row[3 * x + 1], got[2] = row[3 * x];
                } else {
                    const RGBQUAD& c = image.palette[row[x]];
                    got[0] = c.rgbRed, got[1] = c.rgbGreen, got[2] = c.rgbBlue;
                }
                for (int c = 0; c < 3; ++c) mismatches += got[c] != uint8_t(rgb[size_t(3 * (y * width + x) + c)]);
            }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST_F(PluginFolderTest, AFileOneByteShortOfTheHeaderBlockIsNotOffered) {
    Install("netpbm.spi", "netpbm.spi");
    EXPECT_FALSE(Read(Input("short.pgm", Greymap(kPluginHeaderBlockBytes - 1), 0)));
    ASSERT_TRUE(Read(Input("whole.pgm", Greymap(kPluginHeaderBlockBytes))));
    EXPECT_EQ(image.header.biWidth, int32_t(kPluginHeaderBlockBytes - kGreymapHeader));
    EXPECT_EQ(image.sourceKind, 0u);
    EXPECT_EQ(image.sourceBitDepth, 8u);
    EXPECT_EQ(image.fileSize, kPluginHeaderBlockBytes);
}

TEST_F(PluginFolderTest, APrefixedFileIsReadAtOffset128InBothCalls) {
    Install("prefixed.sph", "prefixed.sph");
    ASSERT_TRUE(Read(Input("prefixed.qdo", std::string(128, 'x') + "QDXO")));
    EXPECT_EQ(bridge.headerOffset, 128);
    EXPECT_EQ(image.pixels.Get()[0], 128);  // offset seen by GetPictureInfo
    EXPECT_EQ(image.pixels.Get()[1], 128);  // offset seen by GetPicture
    EXPECT_EQ(image.sourceBitDepth, 4u);  // the depth GetPictureInfo reported

    WideString patterns, names;
    ASSERT_TRUE(DescribePlugin(bridge, WideString(u"prefixed.sph"), patterns, names));
    EXPECT_EQ(test::Narrow(patterns), "*.qdo;*.qdp");
    EXPECT_EQ(test::Narrow(names), "Offset test/Prefixed test");
}

TEST_F(PluginFolderTest, AnArchivePluginIsListedButNeverDecodes) {
    Install("archive.spi", "archive.spi");
    Install("netpbm.spi", "netpbm.sph");
    EXPECT_EQ(Names(), (std::vector<std::string>{"archive.spi", "netpbm.sph"}));
    EXPECT_FALSE(Read(Input("any.qdt", "QDXT")));
    ASSERT_TRUE(Read(Input("grey.pgm", Greymap(3000))));
    EXPECT_EQ(image.header.biWidth, int32_t(3000 - kGreymapHeader));  // the Netpbm reader's picture, not the archive's
}

TEST_F(PluginFolderTest, AnExcludedPluginIsListedButNotUsedWhateverTheCase) {
    Install("netpbm.spi", "Netpbm.spi");
    settings.excludedPlugins.push_back(WideString(u"NETPBM.SPI"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Netpbm.spi"});
    EXPECT_FALSE(Read(Input("grey.pgm", Greymap(3000))));
    settings.excludedPlugins.clear();
    EXPECT_TRUE(Read(Input("grey.pgm", Greymap(3000))));
}

TEST_F(PluginFolderTest, ThirtyTwoBitAndTopDownDeliveriesFail) {
    const WideString file = Input("any.qdt", "QDXT");
    Install("deep_pixels.spi", "deep_pixels.spi");
    EXPECT_FALSE(Read(file));
    EXPECT_EQ(image.pixels.Get(), nullptr);
    ASSERT_TRUE(os::RemoveFile(PluginPath("deep_pixels.spi").Text()));
    Install("top_down.spi", "top_down.spi");
    EXPECT_FALSE(Read(file));
    EXPECT_EQ(image.pixels.Get(), nullptr);
}

TEST_F(PluginFolderTest, PluginsThatFaultFailTheirFileAndTheBatchGoesOn) {
    // The faulting plug-ins come first ("*.spi"); the Netpbm reader after them.
    Install("crash_is_supported.spi", "crash_is_supported.spi");
    Install("crash_get_picture.spi", "crash_get_picture.spi");
    Install("netpbm.spi", "netpbm.sph");
    const WideString grey = Input("grey.pgm", Greymap(3000));
    const WideString test = Input("test.qdt", "QDXT");
    // An access violation and a division by zero, twice each.
    EXPECT_EQ(Convert({test, grey, test, grey}), 2u);
    EXPECT_EQ(test::FolderEntries(out), (std::vector<std::string>{"grey+1.bmp", "grey.bmp"}));
}

TEST_F(PluginFolderTest, AStackOverflowInAPluginIsCaughtEveryTime) {
    Install("overflow_info.spi", "overflow_info.spi");
    Install("netpbm.spi", "netpbm.sph");
    const WideString test = Input("test.qdt", "QDXT");
    // The second overflow is caught too: the stack's guard page is back.
    EXPECT_FALSE(Read(test));
    EXPECT_FALSE(Read(test));
    EXPECT_TRUE(Read(Input("grey.pgm", Greymap(3000))));
}

TEST_F(PluginFolderTest, ConfigurationGetsTheParentWindowAndCodeOne) {
    Install("prefixed.sph", "prefixed.sph");
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(OpenPluginConfiguration(bridge, reinterpret_cast<intptr_t>(window), WideString(u"prefixed.sph")));
    char title[32] = {};
    ::GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "configured 1");
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace qdx
