// Dropped folders: walked in a fixed order without links, hidden files or
// what lies outside, converted into the same tree below the output folder
// (or beside each source), and left alone when folders are not walked.
#include "batch/dropped_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "batch/batch.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/sample_images.h"

namespace qdx {
namespace {

namespace fs = std::filesystem;

WideString Wide(const fs::path& path) {
    WideString text;
    AppendUtf8(text, path.string().c_str());
    return text;
}

// The part of `path` below `base`, with "/" between names.
std::string Below(const WideString& path, const fs::path& base) {
    return fs::path(test::Narrow(path)).lexically_relative(base).generic_string();
}

// Trip/ (17 files), Trip/a/ (17 with a hidden one) and Trip/a/b/ (16): 35
// pictures and 14 files that are none, named so that a plain code-unit order
// ("p10" before "p2") would differ from the logical one; Trip/link points at
// a folder outside the tree.
class DroppedTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::path(test::Narrow(root.Path()));
        const struct Level {
            const char* folder;
            int pictures, others;
        } levels[] = {{"Trip", 12, 5}, {"Trip/a", 12, 4}, {"Trip/a/b", 11, 5}};
        for (const Level& level : levels) {
            fs::create_directories(base / level.folder);
            for (int i = 1; i <= level.pictures; ++i) {
                const std::string name = std::string(level.folder) + "/p" + std::to_string(i) + ".bmp";
                ASSERT_TRUE(test::WriteBytes(Wide(base / name), test::MakeBmp24(3 + i, 2, uint32_t(i))));
                expected.push_back(name);
                pictures.push_back(name);
            }
            for (int i = 1; i <= level.others; ++i) {
                const std::string name = std::string(level.folder) + "/q" + std::to_string(i) + ".txt";
                ASSERT_TRUE(test::WriteBytes(Wide(base / name), std::string("not a picture")));
                expected.push_back(name);
            }
        }
        // A dot file is hidden natively and under Wine alike.
        ASSERT_TRUE(test::WriteBytes(Wide(base / "Trip/a/.hidden.bmp"), test::MakeBmp24(2, 2)));
        fs::create_directories(base / "outside");
        ASSERT_TRUE(test::WriteBytes(Wide(base / "outside/o1.bmp"), test::MakeBmp24(2, 2)));
        std::error_code error;
        fs::create_directory_symlink(base / "outside", base / "Trip/link", error);
#if !defined(_WIN32)
        ASSERT_FALSE(error) << "the link is part of the tree natively";
#endif
        ASSERT_TRUE(test::WriteBytes(Wide(base / "loose.bmp"), test::MakeBmp24(2, 2)));
        fs::create_directories(base / "out");
    }

    test::TempFolder root;
    fs::path base;
    std::vector<std::string> expected;  // the walk's files in order, below base
    std::vector<std::string> pictures;
};

TEST_F(DroppedTreeTest, AWalkListsEveryVisibleFileInNameOrderFolderByFolder) {
    const WideString items[] = {Wide(base / "Trip"), Wide(base / "loose.bmp"), Wide(base / "missing.bmp")};
    DroppedFiles files;
    ASSERT_TRUE(CollectDroppedFiles(items, 3, true, files));
    std::vector<std::string> walked, subfolders;
    for (size_t i = 0; i < files.paths.size(); ++i) {
        walked.push_back(Below(files.paths[i], base));
        subfolders.push_back(fs::path(test::Narrow(files.outputSubfolders[i])).generic_string());
    }
    std::vector<std::string> want = expected;
    want.push_back("loose.bmp");
    EXPECT_EQ(walked, want);  // no hidden file, nothing through the link
    ASSERT_EQ(files.paths.size(), 50u);
    EXPECT_EQ(subfolders[0], "Trip");
    EXPECT_EQ(subfolders[20], "Trip/a");
    EXPECT_EQ(subfolders[48], "Trip/a/b");
    EXPECT_EQ(subfolders[49], "");
    EXPECT_EQ(files.items[48], 0u);
    EXPECT_EQ(files.items[49], 1u);
    EXPECT_EQ(files.itemWasFolder, (std::vector<uint8_t>{1, 0, 0}));

    // Without walking, the folder is skipped as it always was.
    ASSERT_TRUE(CollectDroppedFiles(items, 3, false, files));
    ASSERT_EQ(files.paths.size(), 1u);
    EXPECT_EQ(Below(files.paths[0], base), "loose.bmp");
    EXPECT_EQ(files.itemWasFolder, (std::vector<uint8_t>{1, 0, 0}));
}

// A drop with convertFolders 1: every picture below the output folder at its
// place in the tree, each file that is no picture reported once, the count
// covering the whole walk. With 0 the folder is skipped as it always was.
TEST_F(DroppedTreeTest, ATreeConvertsIntoTheSameTreeBelowTheOutputFolder) {
    Settings settings = test::BlankSettings();
    Preset& preset = settings.presets[0];
    preset.outputFormat = kOutputPng;
    preset.outputFolder = Wide(base / "out");
    preset.subfolder.Assign(u"Sub");
    const uint8_t selection[4] = {1, 0, 0, 0};
    const WideString item = Wide(base / "Trip");
    test::RecordingHost skipped;
    EXPECT_EQ(ConvertDroppedItems(skipped, &item, 1, selection, settings), 0u);
    EXPECT_EQ(skipped.announced, 0u);
    EXPECT_TRUE(fs::is_empty(base / "out"));

    settings.convertFolders = 1;
    test::RecordingHost host;
    EXPECT_EQ(ConvertDroppedItems(host, &item, 1, selection, settings), 35u);
    EXPECT_EQ(host.announced, 49u);
    std::set<std::string> outputs, want;
    for (const auto& entry : fs::recursive_directory_iterator(base / "out"))
        if (entry.is_regular_file()) outputs.insert(entry.path().lexically_relative(base).generic_string());
    for (const std::string& picture : pictures)
        want.insert("out/Sub/" + fs::path(picture).replace_extension(".png").generic_string());
    EXPECT_EQ(outputs, want);
    int unreadable = 0;
    for (const std::string& file : host.files) unreadable += file.find("unreadable") != std::string::npos;
    EXPECT_EQ(unreadable, 14);
    EXPECT_EQ(host.Count("error 30002"), 0);
}

// With no output folder the folder holding the first item is the output
// folder: the outputs of items dropped from one folder land beside their
// sources.
TEST_F(DroppedTreeTest, WithoutAnOutputFolderOutputsLandBesideTheirSources) {
    Settings settings = test::BlankSettings();
    settings.presets[0].outputFormat = kOutputGif;
    const uint8_t selection[4] = {1, 0, 0, 0};
    const WideString items[] = {Wide(base / "Trip/a"), Wide(base / "Trip/p2.bmp")};
    DroppedFiles files;
    ASSERT_TRUE(CollectDroppedFiles(items, 2, true, files));
    test::RecordingHost host;
    EXPECT_EQ(RunConversion(host, files, items[0], selection, settings), 24u);
    EXPECT_TRUE(fs::exists(base / "Trip/a/p12.gif"));
    EXPECT_TRUE(fs::exists(base / "Trip/a/b/p11.gif"));
    EXPECT_TRUE(fs::exists(base / "Trip/p2.gif"));
    EXPECT_FALSE(fs::exists(base / "Trip/p1.gif"));  // not dropped
}

}  // namespace
}  // namespace qdx
