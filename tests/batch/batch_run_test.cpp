#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/paths.h"

namespace qdx {
namespace {

using test::FakeCodecs;
using test::FolderEntries;

using Names = std::vector<std::string>;

class BatchRunTest : public ::testing::Test {
protected:
    BatchRunTest() : temporary(root.File(u"tmp")), scoped(CreateTemporary()) {}
    void SetUp() override { FakeCodecs::Get().Reset(); }

    const WideString& CreateTemporary() {
        os::CreateFolder(temporary.Text());
        return temporary;
    }
    // A folder under the test's root, created.
    WideString Folder(const char* name) {
        WideString folder = root.File(name);
        EXPECT_TRUE(os::CreateFolder(folder.Text()));
        return folder;
    }
    static WideString In(const WideString& folder, const char* name) {
        WideString path;
        WideString wideName;
        AppendUtf8(wideName, name);
        SetFolderPlusName(path, folder.Text(), wideName.Text());
        return path;
    }
    uint32_t Run(const std::vector<WideString>& paths, std::initializer_list<int> presets) {
        uint8_t selection[4] = {};
        for (int p : presets) selection[p] = 1;
        return RunConversion(host, static_cast<uint32_t>(paths.size()), paths.data(), selection, settings,
                             FakeCodecs::Steps());
    }

    test::TempFolder root;
    WideString temporary;
    test::ScopedTemporaryFolder scoped;
    Settings settings = test::BlankSettings();
    test::RecordingHost host;
};

TEST_F(BatchRunTest, WritesEveryDecodedFileUnderItsNewName) {
    const WideString in = Folder("in"), out = Folder("out");
    const std::vector<WideString> paths = {In(in, "a.b.c"), In(in, "写真 🎨.v1.bmp"), In(in, "no dot")};
    for (const auto& p : paths) ASSERT_TRUE(test::WriteBytes(p, std::string("IMG8")));
    Preset& preset = settings.presets[1];
    preset.outputFormat = kOutputPng;
    preset.suffix.Assign(u"_800x600");
    preset.outputFolder = out;

    EXPECT_EQ(Run(paths, {1}), 3u);
    EXPECT_EQ(host.events, (Names{"busy", "restore"}));
    EXPECT_EQ(FolderEntries(out), (Names{"a.b_800x600.png", "no dot_800x600.png", "写真 🎨.v1_800x600.png"}));
    // What the output step wrote is what was copied, with the decoded depth.
    EXPECT_EQ(test::ReadBytes(In(out, "a.b_800x600.png")), "1|a.b.c|8");
    EXPECT_EQ(test::ReadBytes(In(out, "no dot_800x600.png")), "1|no dot|8");
    // The sources are untouched.
    EXPECT_EQ(FolderEntries(in).size(), 3u);
    EXPECT_EQ(test::ReadBytes(paths[0]), "IMG8");
}

TEST_F(BatchRunTest, NeverReplacesAnExistingFile) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "x.bmp")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG")));
    settings.presets[0].outputFormat = kOutputPng;
    settings.presets[0].suffix.Assign(u"_800x600");
    ASSERT_TRUE(test::WriteBytes(In(in, "x_800x600.png"), std::string("precious 0")));
    ASSERT_TRUE(test::WriteBytes(In(in, "x_800x600+1.png"), std::string("precious 1")));

    EXPECT_EQ(Run(paths, {0}), 1u);
    EXPECT_EQ(test::ReadBytes(In(in, "x_800x600.png")), "precious 0");
    EXPECT_EQ(test::ReadBytes(In(in, "x_800x600+1.png")), "precious 1");
    EXPECT_EQ(test::ReadBytes(In(in, "x_800x600+2.png")), "1|x.bmp|24");

    // Converting again goes on counting; a source whose own name is the
    // target (no suffix, same format) is not replaced either.
    settings.presets[0].suffix.Clear();
    settings.presets[0].outputFormat = 0;
    EXPECT_EQ(Run(paths, {0}), 1u);
    EXPECT_EQ(test::ReadBytes(paths[0]), "IMG");
    EXPECT_EQ(test::ReadBytes(In(in, "x+1.bmp")), "0|x.bmp|24");
}

TEST_F(BatchRunTest, PassWhereEveryFileFailsRemovesItsSubfolderAndReportsOnce) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "bad1.png"), In(in, "bad2.png"), In(in, "missing.png"),
                                           In(in, "nowrite.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("not an image")));
    ASSERT_TRUE(test::WriteBytes(paths[1], std::string("")));
    ASSERT_TRUE(test::WriteBytes(paths[3], std::string("IMG")));  // decodes, but its writing fails
    settings.presets[2].subfolder.Assign(u"converted/deep");

    EXPECT_EQ(Run(paths, {2}), 0u);
    EXPECT_EQ(host.events, (Names{"busy", "error 30002", "restore"}));
    EXPECT_FALSE(os::PathExists(In(in, "converted").Text()));
    EXPECT_EQ(FolderEntries(in), (Names{"bad1.png", "bad2.png", "nowrite.png"}));
    // The missing file was skipped before decoding.
    EXPECT_EQ(FakeCodecs::Get().decoded.size(), 3u);
}

// Reads that find their library missing fail their files; the batch names
// the missing files once, before the pass's own message, however many passes
// and side-by-side workers met it.
TEST_F(BatchRunTest, AMissingLibraryIsNamedOnceABatch) {
    const WideString in = Folder("in");
    std::vector<WideString> paths;
    for (const char* name : {"a.heic", "b.heic", "c.heic"}) {
        paths.push_back(In(in, name));
        ASSERT_TRUE(test::WriteBytes(paths.back(), std::string("ftyp")));
    }
    static const CodecSteps steps{[](ConversionContext& context, const WideString&) {
                                      context.missingLibrary = u"libheif.dll, libde265.dll";
                                      return false;
                                  },
                                  FakeCodecs::StepFor, true};
    const uint8_t selection[4] = {1, 1, 0, 0};
    EXPECT_EQ(RunConversion(host, 3, paths.data(), selection, settings, steps), 0u);
    EXPECT_EQ(host.events, (Names{"busy", "error 30010 libheif.dll, libde265.dll", "error 30002", "error 30002",
                                  "restore"}));
}

TEST_F(BatchRunTest, FailedPassKeepsASubfolderItDidNotCreate) {
    const WideString in = Folder("in");
    Folder("in/existing");
    const std::vector<WideString> paths = {In(in, "bad.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("junk")));
    settings.presets[0].subfolder.Assign(u"existing");
    EXPECT_EQ(Run(paths, {0}), 0u);
    EXPECT_EQ(host.Count("error 30002"), 1);
    EXPECT_TRUE(os::FolderExists(In(in, "existing").Text()));
}

TEST_F(BatchRunTest, TwoPresetsDecodeEveryFileTwiceIntoTheirOwnFolders) {
    const WideString in = Folder("in"), outA = Folder("out A"), outB = Folder("out B");
    const std::vector<WideString> paths = {In(in, "one.gif"), In(in, "two.tif")};
    for (const auto& p : paths) ASSERT_TRUE(test::WriteBytes(p, std::string("IMG8")));
    settings.presets[0].outputFolder = outA;
    settings.presets[0].outputFormat = kOutputJpeg;
    settings.presets[3].outputFolder = outB;
    settings.presets[3].outputFormat = kOutputTiff;
    settings.presets[3].suffix.Assign(u"_b");

    EXPECT_EQ(Run(paths, {3, 0}), 4u);
    const auto& decoded = FakeCodecs::Get().decoded;
    ASSERT_EQ(decoded.size(), 4u);
    // Preset order, then path order.
    EXPECT_EQ(decoded[0], test::Narrow(paths[0]));
    EXPECT_EQ(decoded[1], test::Narrow(paths[1]));
    EXPECT_EQ(decoded[2], test::Narrow(paths[0]));
    EXPECT_EQ(FolderEntries(outA), (Names{"one.jpg", "two.jpg"}));
    EXPECT_EQ(FolderEntries(outB), (Names{"one_b.tif", "two_b.tif"}));
    EXPECT_EQ(FakeCodecs::Get().pixelsLeftOver, 0);
    EXPECT_EQ(test::ReadBytes(In(outB, "two_b.tif")), "4|two.tif|8");
    EXPECT_EQ(host.events, (Names{"busy", "restore"}));
}

TEST_F(BatchRunTest, WithoutPresetOrGlobalFolderEverythingGoesToTheFirstPathsFolder) {
    const WideString first = Folder("first"), second = Folder("second");
    const std::vector<WideString> paths = {In(first, "a.png"), In(second, "b.png"), In(second, "c")};
    for (const auto& p : paths) ASSERT_TRUE(test::WriteBytes(p, std::string("IMG")));
    settings.presets[0].suffix.Assign(u"_s");
    EXPECT_EQ(Run(paths, {0}), 3u);
    EXPECT_EQ(FolderEntries(first), (Names{"a.png", "a_s.bmp", "b_s.bmp", "c_s.bmp"}));
    EXPECT_EQ(FolderEntries(second), (Names{"b.png", "c"}));
}

TEST_F(BatchRunTest, FolderMessagesEndOnlyTheirOwnPass) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "a.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG")));
    settings.presets[0].outputFolder = root.File(u"missing");        // 30003
    // Two levels are made, the third is too long a name: 30004.
    settings.presets[1].subfolder.Assign((test::P(u"no\\such\\") + std::u16string(300, u'x')).c_str());
    settings.presets[2].subfolder.Assign(u"fine");

    EXPECT_EQ(Run(paths, {0, 1, 2}), 1u);
    EXPECT_EQ(host.events, (Names{"busy", "error 30003", "error 30004", "restore"}));
    EXPECT_EQ(FolderEntries(In(in, "fine")), (Names{"a.bmp"}));
    EXPECT_FALSE(os::PathExists(In(in, "no").Text()));
    // Nothing was decoded for the passes that could not start.
    EXPECT_EQ(FakeCodecs::Get().decoded.size(), 1u);
}

TEST_F(BatchRunTest, CountsFilesOfEveryPassAndStopsAfterTheCurrentFile) {
    const WideString in = Folder("in"), outA = Folder("out A"), outB = Folder("out B");
    const std::vector<WideString> paths = {In(in, "a"), In(in, "b"), In(in, "c")};
    for (const auto& p : paths) ASSERT_TRUE(test::WriteBytes(p, std::string("IMG")));
    settings.presets[0].outputFolder = outA;
    settings.presets[2].outputFolder = outB;
    settings.presets[2].subfolder.Assign(u"sub");
    // The stop comes with the last file of the first pass: the second never starts.
    host.stopAfter = 3;
    EXPECT_EQ(Run(paths, {0, 2}), 3u);
    EXPECT_EQ(host.announced, 6u);
    EXPECT_EQ(host.files, (Names{"0 written", "1 written", "2 written"}));
    EXPECT_EQ(host.events, (Names{"busy", "stopped 3", "restore"}));
    EXPECT_EQ(FolderEntries(outA), (Names{"a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_TRUE(FolderEntries(outB).empty());
    EXPECT_TRUE(FolderEntries(temporary).empty());

    // A stop inside a pass that has written nothing yet: no message that
    // nothing was converted, and the pass's fresh subfolder goes again.
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("bad")));
    host = test::RecordingHost();
    host.stopAfter = 1;
    EXPECT_EQ(Run(paths, {2}), 0u);
    EXPECT_EQ(host.files, (Names{"0 unreadable"}));
    EXPECT_EQ(host.events, (Names{"busy", "stopped 0", "restore"}));
    EXPECT_TRUE(FolderEntries(outB).empty());
    EXPECT_TRUE(FolderEntries(temporary).empty());

    // A stop that comes with the very last file leaves nothing undone: the
    // batch ends as usual, without the message about a stop.
    host = test::RecordingHost();
    host.stopAfter = 3;
    EXPECT_EQ(Run(paths, {2}), 2u);
    EXPECT_EQ(host.events, (Names{"busy", "restore"}));
}

TEST_F(BatchRunTest, TemporaryFileLivesExactlyAsLongAsTheBatch) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "a.png"), In(in, "b.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG")));
    ASSERT_TRUE(test::WriteBytes(paths[1], std::string("IMG")));
    EXPECT_EQ(Run(paths, {0, 1}), 4u);

    const auto& seen = FakeCodecs::Get().tempPathsSeen;
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(FakeCodecs::Get().tempExistedWhenWriting);
    for (const auto& p : seen) EXPECT_EQ(p, seen[0]);  // one file for the whole batch
    // In a folder of the batch's own inside the temporary folder.
    const std::filesystem::path temp(seen[0]);
    EXPECT_EQ(temp.parent_path().parent_path(), std::filesystem::path(test::Narrow(temporary))) << seen[0];
    EXPECT_EQ(temp.filename().string().substr(0, 3), "tmp");
    EXPECT_TRUE(FolderEntries(temporary).empty());
}

TEST_F(BatchRunTest, TemporaryFileIsDeletedWhenEveryPassFails) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "bad.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("junk")));
    settings.presets[1].outputFolder = root.File(u"missing");
    EXPECT_EQ(Run(paths, {0, 1}), 0u);
    EXPECT_EQ(host.events, (Names{"busy", "error 30002", "error 30003", "restore"}));
    EXPECT_TRUE(FolderEntries(temporary).empty());
}

TEST_F(BatchRunTest, NoTemporaryFileMeansNothingIsConverted) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "a.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG")));
    ASSERT_TRUE(os::RemoveFolder(temporary.Text()));  // the temporary folder is gone
    EXPECT_EQ(Run(paths, {0, 1, 2, 3}), 0u);
    EXPECT_EQ(host.events, (Names{"error 30005"}));
    EXPECT_TRUE(FakeCodecs::Get().decoded.empty());
    EXPECT_EQ(FolderEntries(in), (Names{"a.png"}));
}

TEST_F(BatchRunTest, FailingFilesAreSkippedSilentlyBetweenGoodOnes) {
    const WideString in = Folder("in"), out = Folder("out");
    const std::vector<WideString> paths = {In(in, "good1.png"), In(in, "bad.png"), In(in, "nowrite.png"),
                                           In(in, "gone.png"), In(in, "good2.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG8")));
    ASSERT_TRUE(test::WriteBytes(paths[1], std::string("BM junk")));
    ASSERT_TRUE(test::WriteBytes(paths[2], std::string("IMG")));
    ASSERT_TRUE(test::WriteBytes(paths[4], std::string("IMG")));
    settings.presets[0].outputFolder = out;
    settings.presets[0].outputFormat = kOutputGif;
    EXPECT_EQ(Run(paths, {0}), 2u);
    EXPECT_EQ(host.events, (Names{"busy", "restore"}));
    EXPECT_EQ(FolderEntries(out), (Names{"good1.gif", "good2.gif"}));
    // The host hears what became of each file (the command line names them).
    EXPECT_EQ(host.files, (Names{"0 written", "1 unreadable", "2 not written", "3 missing", "4 written"}));
    // The 8-bit picture's depth is not carried over to the next file.
    EXPECT_EQ(test::ReadBytes(In(out, "good2.gif")), "3|good2.png|24");
    // Every decoded picture was released before the next file, written or not.
    EXPECT_EQ(FakeCodecs::Get().pixelsLeftOver, 0);
}

TEST_F(BatchRunTest, FileWithoutAFreeNameWithin259UnitsIsSkipped) {
    const WideString in = Folder("in");
    // An output folder deep enough that out\x.bmp has 258 units: x+1.bmp
    // would have 260.
    const uint32_t padding = 258 - root.Path().Length() - 2 - 5;
    const WideString out = root.File(std::u16string(padding, u'd').c_str());
    ASSERT_TRUE(os::CreateFolder(out.Text()));
    const WideString existing = In(out, "x.bmp");
    ASSERT_EQ(existing.Length(), 258u);
    ASSERT_TRUE(test::WriteBytes(existing, std::string("precious")));
    const std::vector<WideString> paths = {In(in, "x.png"), In(in, "y.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG")));
    settings.presets[0].outputFolder = out;

    EXPECT_EQ(Run(paths, {0}), 0u);  // y.png is not readable at all
    EXPECT_EQ(host.events, (Names{"busy", "error 30002", "restore"}));
    EXPECT_EQ(FolderEntries(out), (Names{"x.bmp"}));
    EXPECT_EQ(test::ReadBytes(existing), "precious");
    EXPECT_TRUE(FolderEntries(temporary).empty());
}

TEST_F(BatchRunTest, NothingSelectedOrNothingGivenDoesNothing) {
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "a.png")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("IMG")));
    EXPECT_EQ(Run({}, {0}), 0u);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(Run(paths, {}), 0u);
    EXPECT_EQ(host.events, (Names{"busy", "restore"}));
    EXPECT_EQ(FolderEntries(in), (Names{"a.png"}));
    EXPECT_TRUE(FolderEntries(temporary).empty());
}

TEST_F(BatchRunTest, BuiltInStepsFindNoReaderForUnknownFiles) {
    // Whatever readers exist, a file of unknown kind has none, and without a
    // plug-in folder the pass reports that nothing was converted.
    const WideString in = Folder("in");
    const std::vector<WideString> paths = {In(in, "unknown.xyz"), In(in, "short.bmp")};
    ASSERT_TRUE(test::WriteBytes(paths[0], std::string("this is no picture at all")));
    ASSERT_TRUE(test::WriteBytes(paths[1], std::string("BM")));
    uint8_t selection[4] = {1, 0, 0, 0};
    EXPECT_EQ(RunConversion(host, 2, paths.data(), selection, settings), 0u);
    EXPECT_EQ(host.events, (Names{"busy", "error 30002", "restore"}));
}

TEST(DecodeInput, ClearsTheTransparentColourAndFailsWithoutAReader) {
    test::TempFolder folder;
    Settings settings = test::BlankSettings();
    ConversionContext context;
    ASSERT_TRUE(context.Initialise());
    context.settings = &settings;
    context.preset = &settings.presets[0];
    const WideString path = folder.File(u"unknown.bin");
    ASSERT_TRUE(test::WriteBytes(path, std::string("no known signature")));
    context.transparent.hasTransparentColour = 1;
    EXPECT_FALSE(DecodeInput(context, path));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
    EXPECT_EQ(context.image.pixels.Get(), nullptr);

    // A plug-in folder that does not exist is not tried either.
    settings.pluginFolder = folder.File(u"no plug-ins here");
    context.transparent.hasTransparentColour = 1;
    EXPECT_FALSE(DecodeInput(context, folder.File(u"missing.png")));
    EXPECT_EQ(context.transparent.hasTransparentColour, 0);
}

}  // namespace
}  // namespace qdx
