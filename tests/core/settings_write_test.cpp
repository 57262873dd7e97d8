#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "core/os/path_edit.h"
#include "core/settings_file.h"
#include "tests/support/customised_settings.h"
#include "tests/support/settings_bytes.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using namespace settings_file;
using test::GetU32;
using test::SettingsBytes;

uint32_t EntryA(const std::string& file, uint32_t index) { return GetU32(file, 4 + 8 * index); }
uint32_t EntryB(const std::string& file, uint32_t index) { return GetU32(file, 8 + 8 * index); }
std::string BlockOf(const std::string& file, uint32_t index) {
    return file.substr(EntryA(file, index), EntryB(file, index));
}

// Every field away from its default, and every text but two present.
Settings Unusual(const WideString& pluginFolder) {
    Settings s = test::CustomisedSettings();
    s.pluginFolder = pluginFolder;
    s.excludedPlugins.emplace_back(u"\u5199\u771F.sph");
    s.presets[2].suffix.Clear();
    s.presets[1].outputFolder.Clear();
    return s;
}

class SettingsWrite : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder.File(u"Quillodex.ini");
        plugins = folder.File(u"plugins");
        ASSERT_TRUE(os::CreateFolder(plugins.Text()));
    }
    void AddPlugin(const char16_t* name) {
        WideString file;
        SetFolderPlusName(file, plugins.Text(), name);
        ASSERT_TRUE(test::WriteBytes(file, std::string("MZ")));
    }
    Settings Reload() {
        Settings s;
        LoadSettings(path.Text(), s);
        return s;
    }

    test::TempFolder folder;
    WideString path, plugins;
};

TEST_F(SettingsWrite, SaveThenLoadGivesBackEveryField) {
    AddPlugin(u"ifjpeg.spi");
    AddPlugin(u"\u5199\u771F.sph");
    const Settings saved = Unusual(plugins);
    ASSERT_TRUE(SaveSettings(path.Text(), saved));
    EXPECT_TRUE(Reload() == saved);

    // Saving over the file just written changes nothing.
    const std::string first = test::ReadBytes(path);
    ASSERT_TRUE(SaveSettings(path.Text(), Reload()));
    EXPECT_EQ(test::ReadBytes(path), first);

    // The defaults survive the trip too (with the menu font filled in).
    Settings defaults;
    os::MenuFontFace(defaults.fontFace);
    ASSERT_TRUE(SaveSettings(path.Text(), defaults));
    EXPECT_TRUE(Reload() == defaults);
}

TEST_F(SettingsWrite, EmptySuffixStaysEmpty) {
    Settings s;
    s.presets[0].suffix.Clear();
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    const std::string file = test::ReadBytes(path);
    EXPECT_EQ(EntryA(file, kSuffix), 0u);
    EXPECT_EQ(EntryB(file, kSuffix), 0u);
    const Settings back = Reload();
    EXPECT_TRUE(back.presets[0].suffix.IsEmpty());
    EXPECT_EQ(std::u16string(back.presets[0].subfolder.Text()), u"Output");
}

TEST_F(SettingsWrite, LayoutHeaderTableAndDataOrder) {
    AddPlugin(u"ifjpeg.spi");
    const Settings s = Unusual(plugins);
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    const std::string file = test::ReadBytes(path);
    ASSERT_GE(file.size(), kDataStart);
    EXPECT_EQ(GetU32(file, 0), kHeader);
    EXPECT_EQ(EntryA(file, kFontHeight), 1u);
    EXPECT_EQ(EntryB(file, kFontHeight), uint32_t(-16));
    EXPECT_EQ(EntryA(file, kUnused), 0u);
    EXPECT_EQ(EntryB(file, kTargetWidth + 3), 1003u);
    EXPECT_EQ(EntryB(file, kKeepAspect + 2), 1u);
    EXPECT_EQ(EntryB(file, kMultiDropSelection + 0), 0u);
    EXPECT_EQ(EntryB(file, kWindowLeft), uint32_t(-20));

    // Blocks follow one another from the end of the table on, in the order they are written;
    // empty texts take no room and are marked absent.
    std::vector<uint32_t> order = {kLanguageName, kFontFace, kGlobalOutputFolder, kPluginFolder,
                                   kExcludedPlugins, kCustomColours};
    for (uint32_t i = 0; i < 4; ++i)
        for (uint32_t entry : {kSuffix + i, kSubfolder + i, kOutputFolder + i})
            if (EntryB(file, entry) != 0) order.push_back(entry);
    EXPECT_EQ(order.size(), 6u + 10u);
    uint32_t at = kDataStart;
    for (uint32_t entry : order) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(EntryA(file, entry), at);
        at += EntryB(file, entry);
    }
    EXPECT_EQ(at, file.size());
    EXPECT_EQ(EntryA(file, kSuffix + 2), 0u);
    EXPECT_EQ(EntryA(file, kOutputFolder + 1), 0u);
    EXPECT_EQ(BlockOf(file, kLanguageName), test::Utf16Bytes(u"Japanese"));
    EXPECT_EQ(BlockOf(file, kSuffix + 3), test::Utf16Bytes(u"_s3"));
    // Only the plug-in that is there stays excluded, with its NUL.
    EXPECT_EQ(BlockOf(file, kExcludedPlugins), test::Utf16Bytes(std::u16string(u"ifjpeg.spi\0", 11)));
    std::string colours;
    for (uint32_t i = 0; i < 16; ++i) test::PutU32(colours, 0x111111u * i);
    EXPECT_EQ(BlockOf(file, kCustomColours), colours);
}

TEST_F(SettingsWrite, ExcludedPluginsKeepOnlyFilesThatExist) {
    AddPlugin(u"b.spi");
    WideString dir;
    SetFolderPlusName(dir, plugins.Text(), u"dir.spi");
    ASSERT_TRUE(os::CreateFolder(dir.Text()));  // a folder is not a plug-in file
    Settings s;
    s.pluginFolder = plugins;
    for (const char16_t* name : {u"a.spi", u"b.spi", u"dir.spi", u""}) s.excludedPlugins.emplace_back(name);
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    ASSERT_EQ(Reload().excludedPlugins.size(), 1u);
    EXPECT_EQ(std::u16string(Reload().excludedPlugins[0].Text()), u"b.spi");

    s.pluginFolder.Clear();  // no folder: nothing can exist
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    const std::string file = test::ReadBytes(path);
    EXPECT_EQ(EntryA(file, kExcludedPlugins), 0u);
    EXPECT_EQ(EntryB(file, kExcludedPlugins), 0u);
}

TEST_F(SettingsWrite, GeometryFromTheCallerOrAsLoaded) {
    SettingsBytes old(87);
    old.Integer(kWindowLeft, 11).Integer(kWindowTop, 22).Integer(kClientWidth, 100).Integer(kClientHeight, 500);
    ASSERT_TRUE(test::WriteBytes(path, old.Bytes()));
    Settings s = Reload();
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    std::string file = test::ReadBytes(path);
    EXPECT_EQ(EntryB(file, kWindowLeft), 11u);
    EXPECT_EQ(EntryB(file, kWindowTop), 22u);
    EXPECT_EQ(EntryB(file, kClientWidth), 330u);  // clamped when loaded
    EXPECT_EQ(EntryB(file, kClientHeight), 500u);

    WindowGeometry geometry;
    geometry.left = -5;
    geometry.top = 6;
    geometry.clientWidth = 777;
    geometry.clientHeight = 888;
    ASSERT_TRUE(SaveSettings(path.Text(), s, &geometry));
    file = test::ReadBytes(path);
    EXPECT_EQ(EntryB(file, kWindowLeft), uint32_t(-5));
    EXPECT_EQ(EntryB(file, kWindowTop), 6u);
    EXPECT_EQ(EntryB(file, kClientWidth), 777u);
    EXPECT_EQ(EntryB(file, kClientHeight), 888u);
}

TEST_F(SettingsWrite, EntryFiveSurvivesAndEntriesBeyondTheKnownOnesAreDropped) {
    // A 200-entry file by a later version, with a block in entry 5 placed
    // after other blocks and an integer in entry 150.
    SettingsBytes old(200);
    old.Text(kSuffix + 1, u"_later").Text(kUnused, u"kept by another version");
    old.Integer(150, 99).Text(160, u"gone");
    ASSERT_TRUE(test::WriteBytes(path, old.Bytes()));
    const std::string oldFile = test::ReadBytes(path);
    const std::string entry5 = BlockOf(oldFile, kUnused);

    Settings s = Reload();
    EXPECT_EQ(std::u16string(s.presets[1].suffix.Text()), u"_later");
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    std::string file = test::ReadBytes(path);
    EXPECT_EQ(GetU32(file, 0), kHeader);
    EXPECT_EQ(BlockOf(file, kUnused), entry5);
    EXPECT_GE(EntryA(file, kUnused), kDataStart);
    // Carried blocks come after everything written, at the very end.
    EXPECT_EQ(EntryA(file, kUnused) + EntryB(file, kUnused), file.size());
    EXPECT_EQ(file.find(test::Utf16Bytes(u"gone")), std::string::npos);
    EXPECT_EQ(BlockOf(file, kSuffix + 1), test::Utf16Bytes(u"_later"));

    // A second save keeps it again; an integer in entry 5 is kept as well.
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    EXPECT_EQ(BlockOf(test::ReadBytes(path), kUnused), entry5);
    SettingsBytes withInteger(87);
    withInteger.Integer(kUnused, 0xCAFE);
    ASSERT_TRUE(test::WriteBytes(path, withInteger.Bytes()));
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    file = test::ReadBytes(path);
    EXPECT_EQ(EntryA(file, kUnused), 1u);
    EXPECT_EQ(EntryB(file, kUnused), 0xCAFEu);
}

TEST_F(SettingsWrite, DamagedOldFilesAreStillReplaced) {
    Settings s;
    s.fontFace.Assign(u"Tahoma");
    // Entry 5 pointing outside the old data area (into the table, past the end).
    SettingsBytes outside(87);
    outside.Entry(kUnused, 8, 4);
    SettingsBytes beyond(87);
    beyond.Entry(kUnused, 0xFFFFFFF0u, 16);
    SettingsBytes shortTable(87);
    shortTable.Integer(kUnused, 3);
    const std::string olds[] = {outside.Bytes(), beyond.Bytes(), shortTable.Bytes().substr(0, 300), "ab",
                                std::string(5000, '\xFF')};
    for (const std::string& bytes : olds) {
        SCOPED_TRACE(bytes.size());
        ASSERT_TRUE(test::WriteBytes(path, bytes));
        ASSERT_TRUE(SaveSettings(path.Text(), s));
        const std::string file = test::ReadBytes(path);
        EXPECT_EQ(GetU32(file, 0), kHeader);
        EXPECT_EQ(EntryA(file, kUnused), 0u);
        EXPECT_EQ(EntryB(file, kUnused), 0u);
        EXPECT_TRUE(Reload() == s);
    }
}

TEST_F(SettingsWrite, MissingFileIsCreated) {
    ASSERT_FALSE(os::PathExists(path.Text()));
    Settings s;
    s.fontFace.Assign(u"Tahoma");
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    EXPECT_TRUE(Reload() == s);
    WideString replacement;
    ASSERT_TRUE(SettingsReplacementPath(path.Text(), replacement));
    EXPECT_FALSE(os::PathExists(replacement.Text()));
}

TEST_F(SettingsWrite, FailureBeforeTheReplacementLeavesTheOldFileIntact) {
    SettingsBytes old(87);
    old.Text(kLanguageName, u"English").Integer(kFontHeight, uint32_t(-14));
    const std::string oldBytes = old.Bytes();
    ASSERT_TRUE(test::WriteBytes(path, oldBytes));

    // A folder where the new file would go: it cannot be created.
    WideString replacement;
    ASSERT_TRUE(SettingsReplacementPath(path.Text(), replacement));
    ASSERT_TRUE(os::CreateFolder(replacement.Text()));
    Settings s = Reload();
    s.fontHeight = -16;
    EXPECT_FALSE(SaveSettings(path.Text(), s));
    EXPECT_EQ(test::ReadBytes(path), oldBytes);
    EXPECT_TRUE(os::FolderExists(replacement.Text()));

    // A stale new file from an interrupted save is simply overwritten.
    ASSERT_TRUE(os::RemoveFolder(replacement.Text()));
    ASSERT_TRUE(test::WriteBytes(replacement, std::string(3000, 'x')));
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    EXPECT_EQ(Reload().fontHeight, -16);
    EXPECT_FALSE(os::PathExists(replacement.Text()));

    // A target that cannot be written at all (a folder) is left as it is.
    const WideString sub = folder.File(u"sub");
    ASSERT_TRUE(os::CreateFolder(sub.Text()));
    EXPECT_FALSE(SaveSettings(sub.Text(), s));
    EXPECT_TRUE(os::FolderExists(sub.Text()));
}

TEST_F(SettingsWrite, FlagsAreWrittenAsZeroOrOne) {
    Settings s;
    s.alwaysOnTop = 2;
    s.presets[1].keepAspect = 0x80;
    s.multiDropSelection[3] = 0;
    ASSERT_TRUE(SaveSettings(path.Text(), s));
    const std::string file = test::ReadBytes(path);
    EXPECT_EQ(EntryB(file, kAlwaysOnTop), 1u);
    EXPECT_EQ(EntryB(file, kKeepAspect + 1), 1u);
    EXPECT_EQ(EntryB(file, kMultiDropSelection + 3), 0u);
    EXPECT_EQ(Reload().presets[1].keepAspect, 1);
}

}  // namespace
}  // namespace qdx
