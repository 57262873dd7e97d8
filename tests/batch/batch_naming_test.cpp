#include <gtest/gtest.h>

#include <string>

#include "batch/batch.h"
#include "batch/output_steps.h"
#include "codecs/write/bmp_writer.h"
#include "codecs/write/gif_writer.h"
#include "codecs/write/jpeg_writer.h"
#include "codecs/write/png_writer.h"
#include "codecs/write/tiff_writer.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/text_ids.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/paths.h"

namespace qdx {
namespace {

using test::P;

std::u16string TargetFor(const char16_t* folder, const char16_t* source, const char16_t* suffix,
                         const char16_t* extension) {
    WideString target(P(folder).c_str());
    EXPECT_TRUE(AppendTargetName(target, WideString(P(source).c_str()), WideString(suffix), extension));
    return target.Text();
}

TEST(BatchNaming, TargetNameIsBaseNameSuffixAndExtension) {
    EXPECT_EQ(TargetFor(u"out\\", u"in\\a.b.c", u"_800x600", u".png"), P(u"out\\a.b_800x600.png"));
    EXPECT_EQ(TargetFor(u"out\\", u"in\\photo.bmp", u"_800x600", u".jpg"), P(u"out\\photo_800x600.jpg"));
    // A name without any dot is kept whole.
    EXPECT_EQ(TargetFor(u"out\\", u"in\\noext", u"_s", u".gif"), P(u"out\\noext_s.gif"));
    // A dot in a folder name is not an extension.
    EXPECT_EQ(TargetFor(u"out\\", u"in.dir\\noext", u"_s", u".tif"), P(u"out\\noext_s.tif"));
    EXPECT_EQ(TargetFor(u"out\\", u"noslash.png", u"", u".bmp"), P(u"out\\noslash.bmp"));
    EXPECT_EQ(TargetFor(u"out\\", u"in\\.hidden", u"_s", u".png"), P(u"out\\_s.png"));
    EXPECT_EQ(TargetFor(u"out\\", u"in\\trailing.", u"", u".png"), P(u"out\\trailing.png"));
    EXPECT_EQ(TargetFor(u"out\\", u"in\\my photo.v2.final.jpeg", u" small", u".png"),
              P(u"out\\my photo.v2.final small.png"));
    EXPECT_EQ(TargetFor(u"出力\\", u"入力\\写真 🎨.v1.bmp", u"_縮小", u".jpg"), P(u"出力\\写真 🎨.v1_縮小.jpg"));
}

TEST(BatchNaming, UniqueNameKeepsAFreeName) {
    test::TempFolder folder;
    WideString target = folder.File(u"x_800x600.png");
    const std::u16string before = target.Text();
    ASSERT_TRUE(MakeUniqueName(target, u".png"));
    EXPECT_EQ(std::u16string(target.Text()), before);
}

TEST(BatchNaming, UniqueNameTakesTheFirstFreeCounter) {
    test::TempFolder folder;
    ASSERT_TRUE(test::WriteBytes(folder.File(u"x_800x600.png"), std::string("0")));
    ASSERT_TRUE(test::WriteBytes(folder.File(u"x_800x600+1.png"), std::string("1")));
    WideString target = folder.File(u"x_800x600.png");
    ASSERT_TRUE(MakeUniqueName(target, u".png"));
    EXPECT_EQ(std::u16string(target.Text()), std::u16string(folder.File(u"x_800x600+2.png").Text()));

    // A gap is filled: +3 exists but +2 does not.
    ASSERT_TRUE(test::WriteBytes(folder.File(u"x_800x600+3.png"), std::string("3")));
    target = folder.File(u"x_800x600.png");
    ASSERT_TRUE(MakeUniqueName(target, u".png"));
    EXPECT_EQ(std::u16string(target.Text()), std::u16string(folder.File(u"x_800x600+2.png").Text()));
}

TEST(BatchNaming, UniqueNameCountsPastNineAndTreatsFoldersAsTaken) {
    test::TempFolder folder;
    ASSERT_TRUE(test::WriteBytes(folder.File(u"a.b.jpg"), std::string("0")));
    for (int n = 1; n <= 9; ++n)
        ASSERT_TRUE(test::WriteBytes(folder.File(("a.b+" + std::to_string(n) + ".jpg").c_str()), std::string("n")));
    ASSERT_TRUE(os::CreateFolder(folder.File(u"a.b+10.jpg").Text()));  // a folder takes the name too
    WideString target = folder.File(u"a.b.jpg");
    ASSERT_TRUE(MakeUniqueName(target, u".jpg"));
    // The cut is at the last dot only: "a.b" stays whole.
    EXPECT_EQ(std::u16string(target.Text()), std::u16string(folder.File(u"a.b+11.jpg").Text()));
}

// A stored suffix holding a NUL: the system sees the name cut there, which
// exists, whatever counter follows. The search gives up at once.
TEST(BatchNaming, UniqueNameRefusesANameWithANul) {
    test::TempFolder folder;
    ASSERT_TRUE(test::WriteBytes(folder.File(u"photo_"), std::string("0")));
    WideString target = folder.File(u"photo_");
    const char16_t rest[] = u"\0cut.png";
    ASSERT_TRUE(target.Append(rest, 8));
    EXPECT_FALSE(MakeUniqueName(target, u".png"));
}

TEST(BatchNaming, UniqueNameHandlesUnicodeNames) {
    test::TempFolder folder;
    ASSERT_TRUE(test::WriteBytes(folder.File("写真 😀_s.png"), std::string("taken")));
    WideString target = folder.File("写真 😀_s.png");
    ASSERT_TRUE(MakeUniqueName(target, u".png"));
    EXPECT_EQ(test::Narrow(target), test::Narrow(folder.File("写真 😀_s+1.png")));
}

// Makes a folder inside `root` so that folder + separator + `name` is exactly
// `length` code units long.
WideString FolderForPathLength(const test::TempFolder& root, uint32_t length, const std::u16string& name) {
    const uint32_t fixed = root.Path().Length() + 2 + static_cast<uint32_t>(name.size());
    EXPECT_LT(fixed + 1, length);
    const std::u16string padding(length - fixed, u'p');
    WideString folder = root.File(padding.c_str());
    EXPECT_TRUE(os::CreateFolder(folder.Text()));
    return folder;
}

TEST(BatchNaming, UniqueNameStopsAt259CodeUnits) {
    // x.png exists in a folder chosen so that x.png's path has 257 units:
    // x+1.png then has 259 units and is allowed.
    {
        test::TempFolder root;
        const WideString folder = FolderForPathLength(root, 257, u"x.png");
        WideString target;
        SetFolderPlusName(target, folder.Text(), u"x.png");
        ASSERT_EQ(target.Length(), 257u);
        ASSERT_TRUE(test::WriteBytes(target, std::string("taken")));
        ASSERT_TRUE(MakeUniqueName(target, u".png"));
        EXPECT_EQ(target.Length(), 259u);
    }
    // One unit more and x+1.png would have 260 units: no name is found.
    {
        test::TempFolder root;
        const WideString folder = FolderForPathLength(root, 258, u"x.png");
        WideString target;
        SetFolderPlusName(target, folder.Text(), u"x.png");
        ASSERT_EQ(target.Length(), 258u);
        ASSERT_TRUE(test::WriteBytes(target, std::string("taken")));
        EXPECT_FALSE(MakeUniqueName(target, u".png"));
    }
    // x.png at 257 units with +1 to +9 (259 units) taken: +10 would have 260.
    {
        test::TempFolder root;
        const WideString folder = FolderForPathLength(root, 257, u"x.png");
        WideString target;
        SetFolderPlusName(target, folder.Text(), u"x.png");
        ASSERT_TRUE(test::WriteBytes(target, std::string("taken")));
        for (int n = 1; n <= 9; ++n) {
            WideString taken;
            SetFolderPlusName(taken, folder.Text(), (u"x+" + std::u16string(1, char16_t(u'0' + n)) + u".png").c_str());
            ASSERT_TRUE(test::WriteBytes(taken, std::string("taken")));
        }
        EXPECT_FALSE(MakeUniqueName(target, u".png"));
    }
}

class OutputFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.Initialise());
        context.settings = &settings;
        context.preset = &settings.presets[0];
    }
    const char16_t* Prepare(const WideString& firstPath) {
        return PrepareOutputFolder(host, context, folder, firstPath, created, test::FakeCodecs::Steps());
    }
    test::TempFolder root;
    Settings settings = test::BlankSettings();
    ConversionContext context;
    test::RecordingHost host;
    WideString folder;
    bool created = true;
};

TEST_F(OutputFolderTest, PresetFolderThenGlobalFolderThenFirstPathsFolder) {
    const WideString presetFolder = root.File(u"preset"), globalFolder = root.File(u"global");
    const WideString sourceFolder = root.File(u"source dir.v1");
    for (const auto* f : {&presetFolder, &globalFolder, &sourceFolder}) ASSERT_TRUE(os::CreateFolder(f->Text()));
    WideString first;
    SetFolderPlusName(first, sourceFolder.Text(), u"photo.bmp");

    settings.presets[0].outputFolder = presetFolder;
    settings.globalOutputFolder = globalFolder;
    ASSERT_NE(Prepare(first), nullptr);
    EXPECT_EQ(test::Narrow(folder), test::Narrow(presetFolder));
    EXPECT_FALSE(created);

    settings.presets[0].outputFolder.Clear();
    ASSERT_NE(Prepare(first), nullptr);
    EXPECT_EQ(test::Narrow(folder), test::Narrow(globalFolder));

    settings.globalOutputFolder.Clear();
    ASSERT_NE(Prepare(first), nullptr);
    EXPECT_EQ(test::Narrow(folder), test::Narrow(sourceFolder));
    EXPECT_TRUE(host.events.empty());
}

TEST_F(OutputFolderTest, SelectsStepAndExtensionByFormat) {
    const WideString first = root.File(u"a.bmp");
    const struct {
        uint32_t format;
        const char16_t* extension;
        OutputStep step;
    } formats[] = {{0, u".bmp", BmpOutputStep},  {1, u".png", PngOutputStep},  {2, u".jpg", JpegOutputStep},
                   {3, u".gif", GifOutputStep},  {4, u".tif", TiffOutputStep}, {5, u".webp", WebpOutputStep},
                   {6, u".bmp", BmpOutputStep},
                   {0xFFFFFFFFu, u".bmp", BmpOutputStep}};
    for (const auto& f : formats) {
        settings.presets[0].outputFormat = f.format;
        context.outputStep = nullptr;
        const char16_t* extension = PrepareOutputFolder(host, context, folder, first, created);
        ASSERT_NE(extension, nullptr);
        EXPECT_EQ(std::u16string(extension), std::u16string(f.extension)) << f.format;
        EXPECT_EQ(context.outputStep, f.step) << f.format;
    }
}

TEST_F(OutputFolderTest, MissingOutputFolderShows30003) {
    settings.presets[0].outputFolder = root.File(u"does not exist");
    EXPECT_EQ(Prepare(root.File(u"a.bmp")), nullptr);
    EXPECT_EQ(host.events, std::vector<std::string>{"error 30003"});

    // The same for a global folder and for a first path whose folder is gone.
    host.events.clear();
    settings.presets[0].outputFolder.Clear();
    settings.globalOutputFolder = root.File(u"gone");
    EXPECT_EQ(Prepare(root.File(u"a.bmp")), nullptr);
    settings.globalOutputFolder.Clear();
    WideString first;
    SetFolderPlusName(first, root.File(u"gone").Text(), u"a.bmp");
    EXPECT_EQ(Prepare(first), nullptr);
    EXPECT_EQ(host.Count("error 30003"), 2);

    // A file is not a folder.
    host.events.clear();
    const WideString file = root.File(u"plain.txt");
    ASSERT_TRUE(test::WriteBytes(file, std::string("x")));
    settings.presets[0].outputFolder = file;
    EXPECT_EQ(Prepare(first), nullptr);
    EXPECT_EQ(host.events, std::vector<std::string>{"error 30003"});
}

TEST_F(OutputFolderTest, SubfolderIsCreatedOnceAndReported) {
    settings.presets[0].outputFolder = root.Path();
    settings.presets[0].subfolder.Assign(u"縮小 small");
    ASSERT_NE(Prepare(root.File(u"a.bmp")), nullptr);
    EXPECT_TRUE(created);
    EXPECT_EQ(test::Narrow(folder), test::Narrow(root.File("縮小 small")));
    EXPECT_TRUE(os::FolderExists(folder.Text()));

    // Existing now: used as it is, not created again.
    ASSERT_NE(Prepare(root.File(u"a.bmp")), nullptr);
    EXPECT_FALSE(created);
    EXPECT_TRUE(host.events.empty());
}

TEST_F(OutputFolderTest, UncreatableSubfolderShows30004) {
    settings.presets[0].outputFolder = root.Path();
    // Only one level is created.
    settings.presets[0].subfolder.Assign(P(u"missing\\deeper").c_str());
    EXPECT_EQ(Prepare(root.File(u"a.bmp")), nullptr);
    EXPECT_FALSE(created);
    EXPECT_EQ(host.events, std::vector<std::string>{"error 30004"});

    // A file already holds the subfolder's name.
    host.events.clear();
    ASSERT_TRUE(test::WriteBytes(root.File(u"taken"), std::string("x")));
    settings.presets[0].subfolder.Assign(u"taken");
    EXPECT_EQ(Prepare(root.File(u"a.bmp")), nullptr);
    EXPECT_EQ(host.events, std::vector<std::string>{"error 30004"});
    EXPECT_EQ(test::ReadBytes(root.File(u"taken")), "x");
}

}  // namespace
}  // namespace qdx
