// Dropped folders: walked in a fixed order without links, hidden files or
// what lies outside, converted into the same tree below the output folder
// (or beside each source), and left alone when folders are not walked.
#include "batch/dropped_files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/dropped_tree.h"
#include "tests/support/sample_images.h"

namespace qdx {
namespace {

class DroppedTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeDroppedTree(root.Path(), tree);
        ASSERT_EQ(tree.error, "");
        ASSERT_EQ(tree.files.size(), test::kTreeWalkedFiles);
        ASSERT_TRUE(test::WriteBytes(test::Below(root.Path(), "loose.bmp"), test::MakeBmp24(2, 2)));
        ASSERT_TRUE(os::CreateFolder(out.Text()));
    }

    // A path with "/" between names.
    static std::string Slashed(const WideString& path) {
        std::string text = test::Narrow(path);
        for (char& c : text)
            if (c == char(os::kPathSeparator)) c = '/';
        return text;
    }
    // The part of `path` below the test's folder.
    std::string Relative(const WideString& path) const {
        return Slashed(path).substr(test::Narrow(root.Path()).size() + 1);
    }

    test::TempFolder root;
    test::DroppedTree tree;
    const WideString out = test::Below(root.Path(), "out");
};

TEST_F(DroppedTreeTest, AWalkListsEveryVisibleFileInNameOrderFolderByFolder) {
    const WideString items[] = {tree.folder, test::Below(root.Path(), "loose.bmp"),
                                test::Below(root.Path(), "missing.bmp")};
    DroppedFiles files;
    ASSERT_TRUE(CollectDroppedFiles(items, 3, true, files));
    std::vector<std::string> walked, subfolders, want, wantSubfolders;
    for (size_t i = 0; i < files.paths.size(); ++i) {
        walked.push_back(Relative(files.paths[i]));
        subfolders.push_back(Slashed(files.outputSubfolders[i]));
    }
    for (const test::TreeFile& file : tree.files) {
        want.push_back(file.path);
        wantSubfolders.push_back(test::FolderOf(file.path));
    }
    want.push_back("loose.bmp");
    wantSubfolders.push_back("");
    EXPECT_EQ(walked, want);  // no hidden file, nothing through the link
    EXPECT_EQ(subfolders, wantSubfolders);
    ASSERT_EQ(files.items.size(), want.size());
    EXPECT_EQ(files.items[want.size() - 2], 0u);
    EXPECT_EQ(files.items.back(), 1u);
    EXPECT_EQ(files.itemWasFolder, (std::vector<uint8_t>{1, 0, 0}));

    // Without walking, the folder is skipped as it always was.
    ASSERT_TRUE(CollectDroppedFiles(items, 3, false, files));
    ASSERT_EQ(files.paths.size(), 1u);
    EXPECT_EQ(Relative(files.paths[0]), "loose.bmp");
    EXPECT_EQ(files.itemWasFolder, (std::vector<uint8_t>{1, 0, 0}));
}

// A drop with convertFolders 1: every picture below the output folder at its
// place in the tree, each file that is no picture reported once, the count
// covering the whole walk. With 0 the folder is skipped as it always was.
TEST_F(DroppedTreeTest, ATreeConvertsIntoTheSameTreeBelowTheOutputFolder) {
    Settings settings = test::BlankSettings();
    Preset& preset = settings.presets[0];
    preset.outputFormat = kOutputPng;
    preset.outputFolder = out;
    preset.subfolder.Assign(u"Sub");
    const uint8_t selection[4] = {1, 0, 0, 0};
    test::RecordingHost skipped;
    EXPECT_EQ(ConvertDroppedItems(skipped, &tree.folder, 1, selection, settings), 0u);
    EXPECT_TRUE(skipped.events.empty());
    EXPECT_TRUE(skipped.files.empty());
    EXPECT_TRUE(test::FilesBelow(out).empty());

    settings.convertFolders = 1;
    test::RecordingHost host;
    const std::set<std::string> outputs = test::TreeOutputs(tree, "Sub/", ".png");
    EXPECT_EQ(ConvertDroppedItems(host, &tree.folder, 1, selection, settings), outputs.size());
    EXPECT_EQ(host.announced, test::kTreeWalkedFiles);
    std::vector<std::string> outcomes;
    for (size_t i = 0; i < tree.files.size(); ++i)
        outcomes.push_back(std::to_string(i) + (tree.files[i].picture ? " written" : " unreadable"));
    EXPECT_EQ(host.files, outcomes);
    EXPECT_EQ(host.events, (std::vector<std::string>{"busy", "restore"}));
    EXPECT_EQ(test::FilesBelow(out), outputs);
}

// With no output folder the folder holding the first item is the output
// folder: the outputs of items dropped from one folder land beside their
// sources.
TEST_F(DroppedTreeTest, WithoutAnOutputFolderOutputsLandBesideTheirSources) {
    Settings settings = test::BlankSettings();
    settings.presets[0].outputFormat = kOutputGif;
    settings.presets[0].suffix.Assign(u"_s");
    const uint8_t selection[4] = {1, 0, 0, 0};
    const WideString items[] = {test::Below(root.Path(), "Trip/a"), test::Below(root.Path(), "Trip/p2.png")};
    DroppedFiles files;
    ASSERT_TRUE(CollectDroppedFiles(items, 2, true, files));
    test::RecordingHost host;
    const uint32_t written = RunConversion(host, files, items[0], selection, settings);
    uint32_t expected = 0;
    for (const test::TreeFile& file : tree.files) {
        const bool dropped = file.path.rfind("Trip/a/", 0) == 0 || file.path == "Trip/p2.png";
        const WideString output =
            test::Below(root.Path(), file.path.substr(0, file.path.find_last_of('.')) + "_s.gif");
        EXPECT_EQ(os::FileExists(output.Text()), dropped && file.picture) << file.path;
        expected += dropped && file.picture;
    }
    EXPECT_EQ(written, expected);
}

}  // namespace
}  // namespace qdx
