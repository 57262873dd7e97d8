// The language texts: both languages list the same identifiers, every
// identifier the program uses has a text in each, the generated tables say
// exactly what the text files say, and awkward texts survive the generators.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "batch/batch_host.h"
#include "core/builtin_texts.h"
#include "core/text_ids.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace qdx {

TextTable TrickyTextTable();  // generated from tests/data/lang/Tricky.txt

namespace {

// The text of `id`, empty when there is none.
std::u16string Text(const TableTextSource& source, uint32_t id) {
    const char16_t* text = source.Find(id);
    return text ? text : u"";
}

std::set<uint32_t> Ids(TextTable table) {
    std::set<uint32_t> ids;
    for (uint32_t i = 0; i < table.count; ++i) ids.insert(table.entries[i].id);
    return ids;
}

size_t Units(const char16_t* text) { return std::u16string(text).size(); }

TEST(LanguageTexts, BothLanguagesListTheSameIdentifiersInOrder) {
    for (Language language : {Language::English, Language::Japanese}) {
        const TextTable table = BuiltInTextTable(language);
        ASSERT_GT(table.count, 0u);
        for (uint32_t i = 1; i < table.count; ++i)
            EXPECT_LT(table.entries[i - 1].id, table.entries[i].id) << "sorted, each once";
    }
    EXPECT_EQ(Ids(BuiltInTextTable(Language::English)), Ids(BuiltInTextTable(Language::Japanese)));
}

TEST(LanguageTexts, EveryIdentifierInUseHasATextInEachLanguage) {
    const TableTextSource english(EnglishTextTable()), japanese(JapaneseTextTable());
    for (uint32_t id : kAllTextIds) {
        const char16_t* en = english.Find(id);
        const char16_t* ja = japanese.Find(id);
        ASSERT_NE(en, nullptr) << id;
        ASSERT_NE(ja, nullptr) << id;
        EXPECT_GT(Units(en), 0u) << id;
        EXPECT_GT(Units(ja), 0u) << id;
    }
    // Nothing beyond the list: a text nobody shows is a mistake too.
    const std::set<uint32_t> required(std::begin(kAllTextIds), std::end(kAllTextIds));
    EXPECT_EQ(Ids(EnglishTextTable()), required);
}

TEST(LanguageTexts, TextsFitTheLengthTheProgramReads) {
    for (Language language : {Language::English, Language::Japanese}) {
        const TextTable table = BuiltInTextTable(language);
        for (uint32_t i = 0; i < table.count; ++i)
            EXPECT_LE(Units(table.entries[i].text), kMaxTextLength) << table.entries[i].id;
    }
}

TEST(LanguageTexts, JapaneseTextsAreJapanese) {
    const TableTextSource english(EnglishTextTable()), japanese(JapaneseTextTable());
    // Texts that are words (not format names, samplings or units) differ
    // from the English ones and use Japanese script.
    const uint32_t words[] = {
        kTextPreset,       kTextCloseButton,      kTextFolderHint,     kTextSourceFolderHint,   kTextNoPluginFolderHint,
        kTextBusyTitle,    kTextDropTargetTip,    kTextNone,           kTextFolderBrowserTitle, kTextErrorCaption,
        kTextOutOfMemory,  kTextNothingConverted, kTextNoOutputFolder, kTextSubfolderFailed,    kTextNoTemporaryFile,
        kTextBatchStopped, kTextPictureTooLarge,  kTextLibraryMissing};
    for (uint32_t id : words) {
        const std::u16string ja = Text(japanese, id);
        EXPECT_NE(ja, Text(english, id)) << id;
        bool japaneseScript = false;
        for (char16_t c : ja) japaneseScript |= (c >= 0x3040 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF);
        EXPECT_TRUE(japaneseScript) << id;
    }
    // Messages say what happened and what to do: at least two sentences.
    for (uint32_t id = kTextOutOfMemory; id <= kTextNoTemporaryFile; ++id) {
        const std::u16string en = Text(english, id), ja = Text(japanese, id);
        EXPECT_GE(std::count(en.begin(), en.end(), u'.'), 2) << id;
        EXPECT_GE(std::count(ja.begin(), ja.end(), u'。'), 2) << id;
    }
}

// Parses a language file the way lang/README.md describes it.
std::map<uint32_t, std::u16string> ParseLanguageFile(const std::string& path) {
    std::map<uint32_t, std::u16string> texts;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        if (tab == std::string::npos) continue;
        std::string text;
        for (size_t i = tab + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                text.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : next);
            } else {
                text.push_back(line[i]);
            }
        }
        WideString wide;
        AppendUtf8(wide, text.c_str());
        texts[static_cast<uint32_t>(std::stoul(line.substr(0, tab)))] = wide.Text();
    }
    return texts;
}

void ExpectTableMatchesFile(TextTable table, const std::string& path) {
    const auto expected = ParseLanguageFile(path);
    ASSERT_EQ(table.count, expected.size()) << path;
    for (uint32_t i = 0; i < table.count; ++i) {
        const auto found = expected.find(table.entries[i].id);
        ASSERT_NE(found, expected.end()) << table.entries[i].id;
        EXPECT_EQ(std::u16string(table.entries[i].text), found->second) << path << " " << table.entries[i].id;
    }
}

TEST(LanguageTexts, CompiledTablesSayWhatTheFilesSay) {
    ExpectTableMatchesFile(EnglishTextTable(), QDX_SOURCE_DIR "/lang/English.txt");
    ExpectTableMatchesFile(JapaneseTextTable(), QDX_SOURCE_DIR "/lang/Japanese.txt");
    ExpectTableMatchesFile(TrickyTextTable(), QDX_SOURCE_DIR "/tests/data/lang/Tricky.txt");
}

TEST(LanguageTexts, AwkwardTextsSurviveTheGenerator) {
    const TableTextSource tricky(TrickyTextTable());
    EXPECT_EQ(Text(tricky, 40001), u"He said \"hello\" and \"\" left");
    EXPECT_EQ(Text(tricky, 40002), u"C:\\Pictures\\New folder\\");
    EXPECT_EQ(Text(tricky, 40003), u"line one\nline two\ttabbed");
    EXPECT_EQ(Text(tricky, 40004), u"semi;colon [bracket] [[double]] ;; end;");
    EXPECT_EQ(Text(tricky, 40005), u" leading and trailing spaces ");
    EXPECT_EQ(Text(tricky, 40006), u"日本語のテキスト、ｶﾀｶﾅ、漢字");
    EXPECT_EQ(Text(tricky, 40007), u"emoji \U0001F600 and \U0001F3A8 mixed");
    EXPECT_EQ(Text(tricky, 40008), u"a backslash then n: \\n and a lone \\\\");
    EXPECT_EQ(Text(tricky, 40009), u"# not a comment, $ {x} ${CMAKE_SOURCE_DIR} @only@ */ ?\?= %s %d");
    ASSERT_NE(tricky.Find(40010), nullptr);
    EXPECT_EQ(Text(tricky, 40010), u"");
    EXPECT_EQ(Text(tricky, 40100), u"Ü é ß € ¥");
    EXPECT_EQ(Text(tricky, 65535), u"\"");
    EXPECT_EQ(tricky.Find(40011), nullptr);
}

TEST(LanguageTexts, TextSourceCopiesAtMostWhatFits) {
    const TextSource& english = BuiltInTexts(Language::English);
    char16_t out[8];
    EXPECT_EQ(english.LoadText(1201, out, 8), 5u);  // "Close"
    EXPECT_EQ(std::u16string(out), u"Close");
    EXPECT_EQ(english.LoadText(30002, out, 8), 7u);  // cut, still terminated
    EXPECT_EQ(std::u16string(out), u"No file");
    out[0] = u'x';
    EXPECT_EQ(english.LoadText(12345, out, 8), 0u);  // no such string
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(english.LoadText(1201, out, 1), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(english.LoadText(1201, nullptr, 0), 0u);

    // What a host shows for a message, and the busy title.
    WideString text, caption, title;
    ErrorMessageTexts(kTextNothingConverted, &BuiltInTexts(Language::Japanese), text, caption);
    EXPECT_EQ(std::u16string(caption.Text()), u"Quillodex エラー");
    EXPECT_EQ(std::u16string(text.Text()), Text(TableTextSource(JapaneseTextTable()), 30002));
    BusyTitleText(&english, title);
    EXPECT_EQ(std::u16string(title.Text()), u"Quillodex - converting...");
    ErrorMessageTexts(kTextOutOfMemory, nullptr, text, caption);  // no language at all
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(caption.IsEmpty());
}

TEST(LanguageTexts, LanguagesAreFoundByName) {
    Language language = Language::English;
    EXPECT_TRUE(LanguageFromName(u"japanese", language));
    EXPECT_EQ(language, Language::Japanese);
    EXPECT_TRUE(LanguageFromName(u"ENGLISH", language));
    EXPECT_EQ(language, Language::English);
    EXPECT_FALSE(LanguageFromName(u"Klingon", language));
    EXPECT_FALSE(LanguageFromName(nullptr, language));
}

}  // namespace
}  // namespace qdx

namespace qdx {
namespace {

TEST(LanguageTexts, ProgressTitleAndStopMessageEndInTheirCounts) {
    const TableTextSource english(EnglishTextTable());
    WideString busy, title, stopped;
    BusyTitleText(&english, busy);
    ProgressTitleText(&english, 3, 120, title);
    EXPECT_EQ(std::u16string(title.Text()), std::u16string(busy.Text()) + u" 3 / 120");
    StoppedMessageText(&english, 3, stopped);
    EXPECT_EQ(std::u16string(stopped.Text()), u"Conversion stopped. Files converted: 3");
}

}  // namespace
}  // namespace qdx
