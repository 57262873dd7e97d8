#include <gtest/gtest.h>

#include "core/settings_file.h"
#include "tests/support/settings_bytes.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using namespace settings_file;
using test::SettingsBytes;

std::u16string Str(const WideString& text) { return std::u16string(text.Text(), text.Length()); }

WideString MenuFace() {
    WideString face;
    os::MenuFontFace(face);
    return face;
}

// Loads `bytes` as a settings file into a record that starts out scribbled
// on, so that a field the loader forgets shows up.
Settings LoadBytes(const std::string& bytes) {
    test::TempFolder folder;
    const WideString path = folder.File(u"Quillodex.ini");
    EXPECT_TRUE(test::WriteBytes(path, bytes));
    Settings settings;
    settings.fontHeight = 1;
    settings.clientWidth = 1;
    settings.presets[0].suffix.Assign(u"stale");
    settings.excludedPlugins.emplace_back(u"stale.spi");
    settings.customColours[5] = 42;
    settings.languageName.Assign(u"stale");
    LoadSettings(path.Text(), settings);
    return settings;
}

// What a missing file gives: the record's defaults with the menu font.
Settings Defaults() {
    Settings settings;
    settings.fontFace = MenuFace();
    return settings;
}

TEST(SettingsDefaults, MatchTheEntryTable) {
    const Settings s;
    const uint32_t format[4] = {2, 2, 1, 3}, mode[4] = {5, 1, 2, 3}, width[4] = {800, 400, 300, 200};
    const uint32_t filter[4] = {1, 0, 1, 2}, quality[4] = {90, 75, 75, 75};
    for (int i = 0; i < 4; ++i) {
        const Preset& p = s.presets[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(p.outputFormat, format[i]);
        EXPECT_EQ(p.resizeMode, mode[i]);
        EXPECT_EQ(p.targetWidth, int32_t(width[i]));
        EXPECT_EQ(p.targetHeight, i == 0 ? 600 : 0);
        EXPECT_EQ(p.keepAspect, i == 0 ? 1 : 0);
        EXPECT_EQ(p.resampleFilter, filter[i]);
        EXPECT_EQ(p.jpegQuality, quality[i]);
        EXPECT_EQ(p.jpegSubsampling, i == 0 ? 2 : 0);
        EXPECT_EQ(p.limitFileSize, i == 0 ? 1 : 0);
        EXPECT_EQ(p.maxFileSizeKiB, i == 0 ? 100u : 0u);
        EXPECT_EQ(p.keepTransparency, i == 3 ? 1 : 0);
        EXPECT_EQ(p.sharpness, 0u);
        EXPECT_EQ(Str(p.suffix), i == 0 ? u"_800x600" : u"");
        EXPECT_EQ(Str(p.subfolder), i == 0 ? u"Output" : u"");
        EXPECT_TRUE(p.outputFolder.IsEmpty());
        EXPECT_EQ(p.targetDisabled, 0);
        EXPECT_EQ(s.multiDropSelection[i], 1);
    }
    for (uint32_t colour : s.customColours) EXPECT_EQ(colour, 0xFFFFFFu);
    EXPECT_EQ(s.fontHeight, -12);
    EXPECT_EQ(s.fontWeight, 400);
    EXPECT_EQ(s.windowLeft, 200);
    EXPECT_EQ(s.windowTop, 100);
    EXPECT_EQ(s.clientWidth, 440);
    EXPECT_EQ(s.clientHeight, 325);
    EXPECT_EQ(s.backgroundColour, 0xFFFFFFu);
    EXPECT_EQ(s.showTooltips, 1);
    EXPECT_EQ(s.optionsPage, 0u);

    Settings changed;
    changed.presets[2].suffix.Assign(u"x");
    changed.customColours[15] = 0;
    changed.excludedPlugins.emplace_back(u"a.spi");
    EXPECT_FALSE(changed == s);
    ResetToDefaults(changed);
    EXPECT_TRUE(changed == s);
}

TEST(SettingsRead, UnreadableFilesGiveTheDefaults) {
    test::TempFolder folder;
    Settings missing;
    missing.presets[1].resizeMode = 4;
    LoadSettings(folder.File(u"absent.ini").Text(), missing);
    EXPECT_TRUE(missing == Defaults());
    EXPECT_FALSE(missing.fontFace.IsEmpty());

    const std::string fullTable = SettingsBytes(87).Integer(kFontHeight, uint32_t(-14)).Bytes();
    const std::string cases[] = {
        "",                                         // empty
        std::string("\x57\x00\x78", 3),             // shorter than the header
        fullTable.substr(0, 4),                     // header without its table
        fullTable.substr(0, 699),                   // table cut short
        std::string("\xFF\xFF\xFF\xFF", 4) + "x",   // 65535 entries claimed, none there
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes.size());
        EXPECT_TRUE(LoadBytes(bytes) == Defaults());
    }
    // A folder where the file should be.
    const WideString sub = folder.File(u"sub");
    ASSERT_TRUE(os::CreateFolder(sub.Text()));
    Settings fromFolder;
    LoadSettings(sub.Text(), fromFolder);
    EXPECT_TRUE(fromFolder == Defaults());
}

TEST(SettingsRead, HeaderCountIsCutToTheEntriesKnown) {
    // A file by a later version with 200 entries: entries from kEntryCount on
    // are not looked at, and blocks after the long table are still found.
    SettingsBytes file(200);
    file.Text(kLanguageName, u"Japanese").Integer(kFontHeight, uint32_t(-16)).Text(kSuffix + 1, u"_small");
    file.Integer(kClientWidth, 600).Integer(150, 7).Text(199, u"future");
    const Settings s = LoadBytes(file.Bytes());
    EXPECT_EQ(Str(s.languageName), u"Japanese");
    EXPECT_EQ(s.fontHeight, -16);
    EXPECT_EQ(Str(s.presets[1].suffix), u"_small");
    EXPECT_EQ(s.clientWidth, 600);

    // 65535 claimed, kEntryCount there: read as kEntryCount entries.
    SettingsBytes many(kEntryCount, kVersion, 0xFFFF);
    many.Text(kSubfolder + 2, u"png");
    EXPECT_EQ(Str(LoadBytes(many.Bytes()).presets[2].subfolder), u"png");
}

TEST(SettingsRead, DefaultsOnlyForEntriesBeyondTheCount) {
    // 30 entries: suffixes (27..30) are in the table, subfolders (31..) not.
    SettingsBytes file(30);
    file.Entry(kSuffix + 0, 0, 0);  // saved empty
    const Settings s = LoadBytes(file.Bytes());
    EXPECT_TRUE(s.presets[0].suffix.IsEmpty());
    EXPECT_EQ(Str(s.presets[0].subfolder), u"Output");
    EXPECT_EQ(s.presets[0].jpegQuality, 90u);
    // Integers in the table but not A = 1 take their defaults.
    EXPECT_EQ(s.presets[0].outputFormat, 2u);
    EXPECT_EQ(s.presets[0].resizeMode, 5u);
    EXPECT_EQ(s.windowLeft, 200);

    // A file with no table at all gives the default suffix.
    EXPECT_EQ(Str(LoadBytes(SettingsBytes(0).Bytes()).presets[0].suffix), u"_800x600");
}

TEST(SettingsRead, DamagedStringEntriesReadEmpty) {
    SettingsBytes file(87);
    file.Text(kSuffix + 0, u"_ok");
    file.Entry(kSubfolder + 0, 1, 6);                        // an integer where a string belongs
    file.Entry(kSuffix + 1, 0, 0);                           // absent
    file.Entry(kSuffix + 2, 700, 100);                       // longer than the data area
    file.Entry(kSuffix + 3, 0xFFFFFFF0u, 4);                 // offset near 4 GiB
    file.Entry(kSubfolder + 1, 2, 4);                        // offset 2: inside the header
    file.Block(kSubfolder + 2, std::string("a\0b\0c", 5));   // odd length: 2 units
    file.Entry(kSubfolder + 3, 717, 8);                      // runs past the end of the file
    file.Block(kOutputFolder + 0, std::string("x\0\0\0y\0", 6));  // cut at the NUL
    file.Filler(std::string(4, 'z'));
    const Settings s = LoadBytes(file.Bytes());
    EXPECT_EQ(Str(s.presets[0].suffix), u"_ok");
    EXPECT_TRUE(s.presets[0].subfolder.IsEmpty());
    EXPECT_TRUE(s.presets[1].suffix.IsEmpty());
    EXPECT_TRUE(s.presets[2].suffix.IsEmpty());
    EXPECT_TRUE(s.presets[3].suffix.IsEmpty());
    EXPECT_EQ(Str(s.presets[1].subfolder), u"\x0578");  // header bytes, up to the count's NUL
    EXPECT_EQ(Str(s.presets[2].subfolder), u"ab");
    EXPECT_EQ(s.presets[2].subfolder.Text()[2], 0);  // terminated despite the odd byte
    EXPECT_TRUE(s.presets[3].subfolder.IsEmpty());
    EXPECT_EQ(Str(s.presets[0].outputFolder), u"x");
}

TEST(SettingsRead, IntegerRules) {
    SettingsBytes file(87);
    file.Integer(kFontHeight, uint32_t(-13)).Integer(kFontWeight, 600);
    file.Integer(kClientWidth, 100).Integer(kClientHeight, uint32_t(-5));
    file.Integer(kWindowLeft, uint32_t(-3000)).Integer(kOptionsPage, 3);
    file.Integer(kOutputFormat + 0, 6).Integer(kOutputFormat + 1, 4).Integer(kOutputFormat + 2, 0);
    file.Integer(kOutputFormat + 3, 5);
    file.Integer(kResizeMode + 0, 6);
    file.Integer(kJpegSubsampling + 0, 1).Integer(kJpegSubsampling + 1, 2);
    file.Integer(kLimitFileSize + 1, 1).Integer(kMaxFileSizeKiB + 1, 0);
    file.Integer(kLimitFileSize + 2, 3).Integer(kMaxFileSizeKiB + 2, 50);
    file.Integer(kKeepAspect + 0, 2).Integer(kKeepAspect + 1, 0xFFFFFFFFu);
    file.Integer(kResampleFilter + 0, 4).Integer(kResampleFilter + 1, 3);
    file.Integer(kSharpness + 0, 4).Integer(kSharpness + 1, 3);
    file.Integer(kJpegQuality + 3, 250).Integer(kJpegQuality + 2, 0).Integer(kBackgroundColour, 0x12345678);
    file.Integer(kMaxFileSizeKiB + 0, 4194304).Integer(kMaxFileSizeKiB + 3, 0xFFFFFFFFu);
    file.Integer(kShowTooltips, 2).Integer(kAlwaysOnTop, 5).Integer(kTargetDisabled + 3, 1);
    file.Integer(kMultiDropSelection + 2, 0);
    file.Entry(kUseOwnBackground, 7, 1);  // not A = 1: the default
    const Settings s = LoadBytes(file.Bytes());
    EXPECT_EQ(s.fontHeight, -12);
    EXPECT_EQ(s.fontWeight, 400);
    EXPECT_EQ(s.clientWidth, 330);
    EXPECT_EQ(s.clientHeight, 220);
    EXPECT_EQ(s.windowLeft, -3000);
    EXPECT_EQ(s.optionsPage, 0u);
    EXPECT_EQ(s.presets[0].outputFormat, 2u);
    EXPECT_EQ(s.presets[1].outputFormat, 4u);
    EXPECT_EQ(s.presets[2].outputFormat, 0u);
    EXPECT_EQ(s.presets[3].outputFormat, 5u);  // WebP; above it JPEG
    EXPECT_EQ(s.presets[0].resizeMode, 0u);
    EXPECT_EQ(s.presets[0].jpegSubsampling, 0);
    EXPECT_EQ(s.presets[1].jpegSubsampling, 2);
    EXPECT_EQ(s.presets[1].limitFileSize, 0);
    EXPECT_EQ(s.presets[2].limitFileSize, 1);
    EXPECT_EQ(s.presets[0].keepAspect, 0);
    EXPECT_EQ(s.presets[1].keepAspect, 1);
    EXPECT_EQ(s.presets[0].resampleFilter, 0u);
    EXPECT_EQ(s.presets[1].resampleFilter, 3u);
    EXPECT_EQ(s.presets[0].sharpness, 0u);
    EXPECT_EQ(s.presets[1].sharpness, 3u);
    // Held to the range the preset dialog holds them to.
    EXPECT_EQ(s.presets[3].jpegQuality, 100u);
    EXPECT_EQ(s.presets[2].jpegQuality, 1u);
    EXPECT_EQ(s.presets[0].maxFileSizeKiB, 9999u);
    EXPECT_EQ(s.presets[0].limitFileSize, 1);
    EXPECT_EQ(s.presets[3].maxFileSizeKiB, 9999u);
    EXPECT_EQ(s.backgroundColour, 0x12345678u);
    EXPECT_EQ(s.showTooltips, 0);
    EXPECT_EQ(s.alwaysOnTop, 1);
    EXPECT_EQ(s.presets[3].targetDisabled, 1);
    EXPECT_EQ(s.multiDropSelection[2], 0);
    EXPECT_EQ(s.multiDropSelection[3], 1);
    EXPECT_EQ(s.useOwnBackground, 0);

    SettingsBytes accepted(87);
    accepted.Integer(kFontHeight, uint32_t(-14)).Integer(kFontWeight, 700).Integer(kClientWidth, 330);
    accepted.Integer(kClientHeight, 219).Integer(kOptionsPage, 2);
    const Settings a = LoadBytes(accepted.Bytes());
    EXPECT_EQ(a.fontHeight, -14);
    EXPECT_EQ(a.fontWeight, 700);
    EXPECT_EQ(a.clientWidth, 330);
    EXPECT_EQ(a.clientHeight, 220);
    EXPECT_EQ(a.optionsPage, 2u);
}

// The entries after the first 87: a file of an older version has none and
// gives their defaults; a value out of range gives the default as well.
TEST(SettingsRead, EntriesAddedAfterTheFirst87) {
    struct Read {
        uint32_t colourProfiles, keepMetadata;
        uint8_t convertFolders, webpLossless[kPresetCount];
    };
    const auto read = [](const SettingsBytes& file) {
        const Settings s = LoadBytes(file.Bytes());
        return Read{s.colourProfiles, s.keepMetadata, s.convertFolders,
                    {s.presets[0].webpLossless, s.presets[1].webpLossless, s.presets[2].webpLossless,
                     s.presets[3].webpLossless}};
    };
    SettingsBytes older(87), set(kEntryCount), outOfRange(kEntryCount);
    set.Integer(kColourProfiles, 0).Integer(kKeepMetadata, 2).Integer(kConvertFolders, 1).Integer(kWebpLossless + 2, 1);
    outOfRange.Integer(kColourProfiles, 2).Integer(kKeepMetadata, 3).Integer(kConvertFolders, 2);
    const struct {
        const char* name;
        Read got, expected;
    } kCases[] = {
        {"older file", read(older), {1, 1, 0, {0, 0, 0, 0}}},
        {"set", read(set), {0, 2, 1, {0, 0, 1, 0}}},
        {"out of range", read(outOfRange), {1, 1, 0, {0, 0, 0, 0}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.got.colourProfiles, c.expected.colourProfiles);
        EXPECT_EQ(c.got.keepMetadata, c.expected.keepMetadata);
        EXPECT_EQ(c.got.convertFolders, c.expected.convertFolders);
        for (int i = 0; i < kPresetCount; ++i) EXPECT_EQ(c.got.webpLossless[i], c.expected.webpLossless[i]) << i;
    }
}

// Resize entries of preset 0 for a file of the given version.
Preset LoadResize(uint32_t version, uint32_t mode, int32_t width, int32_t height) {
    SettingsBytes file(87, version);
    file.Integer(kResizeMode, mode).Integer(kTargetWidth, uint32_t(width)).Integer(kTargetHeight, uint32_t(height));
    return LoadBytes(file.Bytes()).presets[0];
}

// A language library is a plain name in the program's folder: anything else
// reads as empty, so start-up picks the user's language.
TEST(SettingsRead, LanguageNameMustBePlain) {
    const struct {
        const char16_t* stored;
        const char16_t* read;
    } kCases[] = {{u"Japanese", u"Japanese"}, {u"..\\payload", u""}, {u"Z:\\tmp\\payload", u""},
                  {u"C:evil", u""}, {u"sub/English", u""}, {u"a..b", u""}, {u"..", u""}};
    for (const auto& c : kCases) {
        SettingsBytes file(87);
        file.Text(kLanguageName, c.stored);
        EXPECT_EQ(Str(LoadBytes(file.Bytes()).languageName), c.read) << (&c - kCases);
    }
}

TEST(SettingsRead, OldResizeEntriesAreTranslated) {
    Preset p = LoadResize(0x0500, 3, 0, 480);
    EXPECT_EQ(p.resizeMode, 2u);
    EXPECT_EQ(p.targetWidth, 480);
    p = LoadResize(0x0500, 1, 640, 480);
    EXPECT_EQ(p.resizeMode, 5u);
    EXPECT_EQ(p.targetWidth, 640);
    EXPECT_EQ(p.targetHeight, 480);
    EXPECT_EQ(LoadResize(0x0577, 4, 640, 0).resizeMode, 1u);
    EXPECT_EQ(LoadResize(0x0500, 0, 0, 480).resizeMode, 0u);    // off stays off
    EXPECT_EQ(LoadResize(0x0500, 2, 0, 0).resizeMode, 0u);      // nothing to limit by
    EXPECT_EQ(LoadResize(0x0500, 9, 100, 100).resizeMode, 0u);  // out of range first
    // The current version keeps its modes, subject to the validity rule only.
    EXPECT_EQ(LoadResize(0x0578, 3, 0, 480).resizeMode, 0u);
    EXPECT_EQ(LoadResize(0x0578, 3, 300, 0).resizeMode, 3u);
    EXPECT_EQ(LoadResize(0x0578, 5, 300, 0).resizeMode, 0u);
    EXPECT_EQ(LoadResize(0x0578, 5, 0, 300).resizeMode, 0u);
    EXPECT_EQ(LoadResize(0x0600, 5, 300, 200).resizeMode, 5u);
    // Missing entries of an old file: the defaults are translated like the rest.
    EXPECT_EQ(LoadBytes(SettingsBytes(7, 0x0500).Bytes()).presets[2].resizeMode, 1u);
}

TEST(SettingsRead, CustomColours) {
    std::string colours;
    for (uint32_t i = 0; i < 16; ++i) test::PutU32(colours, 0x010203u * i);
    const auto load = [](SettingsBytes& file) {
        Settings s = LoadBytes(file.Bytes());
        return std::vector<uint32_t>(s.customColours, s.customColours + 16);
    };
    const std::vector<uint32_t> white(16, 0xFFFFFF), zero(16, 0);

    SettingsBytes full(87);
    full.Block(kCustomColours, colours);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < 16; ++i) expected.push_back(0x010203u * i);
    EXPECT_EQ(load(full), expected);

    SettingsBytes part(87);
    part.Block(kCustomColours, colours.substr(4, 6));  // one colour and a half
    std::vector<uint32_t> partial(16, 0);
    partial[0] = 0x010203;
    partial[1] = 0x0406;
    EXPECT_EQ(load(part), partial);

    SettingsBytes tooLong(87);
    tooLong.Block(kCustomColours, colours + "x");  // 65 bytes: skipped, colours stay 0
    EXPECT_EQ(load(tooLong), zero);

    SettingsBytes empty(87), absent(87), notInTable(71), beyondFile(87), beyondData(87), integer(87);
    empty.Entry(kCustomColours, 700, 0);
    beyondFile.Entry(kCustomColours, 0x7FFFFFFF, 64).Filler(std::string(64, 'x'));
    beyondData.Entry(kCustomColours, 700, 65).Filler(std::string(64, 'x'));
    integer.Integer(kCustomColours, 5);
    EXPECT_EQ(load(empty), white);
    EXPECT_EQ(load(absent), white);
    EXPECT_EQ(load(notInTable), white);
    EXPECT_EQ(load(beyondFile), white);
    EXPECT_EQ(load(beyondData), white);
    EXPECT_EQ(load(integer), white);
}

std::vector<std::u16string> Names(const Settings& s) {
    std::vector<std::u16string> names;
    for (const WideString& name : s.excludedPlugins) names.push_back(Str(name));
    return names;
}

TEST(SettingsRead, ExcludedPluginsSplitAtNuls) {
    SettingsBytes file(87);
    file.Text(kExcludedPlugins, std::u16string(u"a.spi\0bb.sph\0", 13));
    EXPECT_EQ(Names(LoadBytes(file.Bytes())), (std::vector<std::u16string>{u"a.spi", u"bb.sph"}));

    SettingsBytes unterminated(87);  // odd length, last name ends with the block
    unterminated.Block(kExcludedPlugins, test::Utf16Bytes(std::u16string(u"x\0\0yz", 5)) + "!");
    EXPECT_EQ(Names(LoadBytes(unterminated.Bytes())), (std::vector<std::u16string>{u"x", u"yz"}));

    SettingsBytes tooShort(55), damaged(87);
    tooShort.Filler(test::Utf16Bytes(u"a.spi"));
    damaged.Entry(kExcludedPlugins, 700, 1000).Filler(test::Utf16Bytes(std::u16string(u"a\0", 2)));
    EXPECT_TRUE(LoadBytes(tooShort.Bytes()).excludedPlugins.empty());
    EXPECT_TRUE(LoadBytes(damaged.Bytes()).excludedPlugins.empty());
}

TEST(SettingsRead, EmptyFontFaceComesFromTheSystem) {
    SettingsBytes named(87), empty(87);
    named.Text(kFontFace, u"Tahoma");
    empty.Entry(kFontFace, 0, 0);
    EXPECT_EQ(Str(LoadBytes(named.Bytes()).fontFace), u"Tahoma");
    const WideString face = LoadBytes(empty.Bytes()).fontFace;
    EXPECT_FALSE(face.IsEmpty());
    EXPECT_TRUE(SameText(face, MenuFace()));
}

TEST(SettingsRead, StagesShareOneOpenFile) {
    test::TempFolder folder;
    const WideString path = folder.File(u"Quillodex.ini");
    SettingsBytes file(87);
    file.Text(kLanguageName, u"English").Integer(kFontHeight, uint32_t(-16)).Integer(kWindowTop, 77);
    file.Integer(kClientHeight, 400);
    ASSERT_TRUE(test::WriteBytes(path, file.Bytes()));

    Settings s;
    SettingsReader reader;
    OpenSettings(reader, path.Text());
    LoadLanguageName(reader, s);
    EXPECT_EQ(Str(s.languageName), u"English");
    EXPECT_EQ(s.fontHeight, -12);  // not yet
    // The file is read through the handle opened first, even when the name
    // no longer leads to it.
    ASSERT_TRUE(test::WriteBytes(folder.File(u"other.ini"), std::string("x")));
    // (Windows refuses to replace a file in use; POSIX swaps the name.)
    os::ReplaceFileAtomically(folder.File(u"other.ini").Text(), path.Text());
    LoadSettings(reader, s);
    EXPECT_EQ(s.fontHeight, -16);
    EXPECT_EQ(s.windowTop, 100);  // geometry comes last
    LoadWindowGeometry(reader, s);
    EXPECT_EQ(s.windowTop, 77);
    EXPECT_EQ(s.clientHeight, 400);
    EXPECT_TRUE(reader.file.IsOpen());
    CloseSettings(reader);
    EXPECT_FALSE(reader.file.IsOpen());
}

}  // namespace
}  // namespace qdx
