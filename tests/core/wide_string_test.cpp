#include "core/os/wide_string.h"

#include <gtest/gtest.h>

#include <string>

#include "core/os/path_edit.h"
#include "core/text_source.h"
#include "tests/support/paths.h"

namespace qdx {
namespace {

using test::P;

std::u16string Str(const WideString& s) { return std::u16string(s.Text(), s.Length()); }

TEST(WideStringReserve, RoundsToMultiplesOf128Bytes) {
    WideString a, b, c;
    ASSERT_TRUE(a.Reserve(0));
    EXPECT_EQ(a.Capacity(), 128u);
    ASSERT_TRUE(b.Reserve(63));
    EXPECT_EQ(b.Capacity(), 128u);
    ASSERT_TRUE(c.Reserve(64));
    EXPECT_EQ(c.Capacity(), 256u);
    // A buffer that is large enough is kept as it is and never shrinks.
    ASSERT_TRUE(c.Reserve(10));
    EXPECT_EQ(c.Capacity(), 256u);
}

TEST(WideStringReserve, FailedGrowthLeavesTheStringEmpty) {
    WideString s(u"some text");
    EXPECT_FALSE(s.Reserve(0xFFFFFFF0u));
    EXPECT_EQ(s.Buffer(), nullptr);
    EXPECT_EQ(s.Capacity(), 0u);
    EXPECT_EQ(s.Length(), 0u);
    // The string stays usable afterwards.
    EXPECT_TRUE(s.Append(u"again"));
    EXPECT_EQ(Str(s), u"again");
}

TEST(WideStringText, AppendAssignAndCopies) {
    WideString s;
    EXPECT_EQ(s.Buffer(), nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(s.Text()), "");
    s.Append(static_cast<const char16_t*>(nullptr));
    EXPECT_EQ(s.Length(), 0u);
    s.Assign(u"abc");
    s.Append(u"defgh", 2);
    EXPECT_EQ(Str(s), u"abcde");
    WideString copy(s);
    copy.Append(u"!");
    EXPECT_EQ(Str(s), u"abcde");
    EXPECT_EQ(Str(copy), u"abcde!");
    s.Assign(static_cast<const char16_t*>(nullptr));
    EXPECT_EQ(Str(s), u"");
    // Appending a piece of itself survives the buffer moving.
    WideString self(u"0123456789");
    for (int i = 0; i < 8; ++i) self.Append(self.Text(), self.Length());
    EXPECT_EQ(self.Length(), 2560u);
    EXPECT_EQ(self[2559], u'9');
    // Long text grows in 128-byte steps.
    EXPECT_EQ(self.Capacity() % 128, 0u);
    EXPECT_GE(self.Capacity(), 2u * 2561);
}

TEST(WideStringText, WritingThroughTheBuffer) {
    WideString s(u"old");
    char16_t* out = s.ReserveForWriting(20);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(s.Length(), 0u);
    std::u16string text = u"written";
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    s.RecomputeLength();
    EXPECT_EQ(Str(s), u"written");
}

class FakeTexts : public TextSource {
public:
    uint32_t LoadText(uint32_t id, char16_t* out, uint32_t capacity) const override {
        std::u16string text;
        if (id == 1) text = u"short";
        if (id == 2) text = std::u16string(300, u'x');
        const uint32_t n = uint32_t(std::min<size_t>(text.size(), capacity - 1));
        std::copy(text.begin(), text.begin() + n, out);
        out[n] = 0;
        return n;
    }
};

TEST(WideStringText, LibraryTextsAreCutAt127Units) {
    FakeTexts texts;
    WideString s(u"> ");
    AppendText(s, 1, &texts);
    EXPECT_EQ(Str(s), u"> short");
    AppendText(s, 99, &texts);  // missing string appends nothing
    EXPECT_EQ(Str(s), u"> short");
    WideString longText;
    AppendText(longText, 2, &texts);
    EXPECT_EQ(longText.Length(), 127u);
}

TEST(WideStringCompare, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(u"English", u"ENGLISH"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase(u"", nullptr));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"English", u"Englis"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"\u00e9", u"\u00c9"));  // é / É are not folded
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"[", u"{"));            // only letters fold
}

TEST(WideStringPath, FolderPlusName) {
    WideString a, b, c(u"unchanged");
    SetFolderPlusName(a, P(u"C:\\out").c_str(), u"x.png");
    SetFolderPlusName(b, P(u"C:\\out\\").c_str(), u"x.png");
    EXPECT_EQ(Str(a), P(u"C:\\out\\x.png"));
    EXPECT_EQ(Str(b), Str(a));
    SetFolderPlusName(c, u"", u"x.png");
    EXPECT_EQ(Str(c), u"unchanged");

    WideString d, e;
    SetFolderWithSeparator(d, P(u"C:\\out").c_str());
    SetFolderWithSeparator(e, P(u"C:\\out\\").c_str());
    EXPECT_EQ(Str(d), P(u"C:\\out\\"));
    EXPECT_EQ(Str(e), P(u"C:\\out\\"));
}

TEST(WideStringPath, AppendComponent) {
    WideString s(P(u"C:\\out").c_str());
    AppendPathComponent(s, u"Output");
    EXPECT_EQ(Str(s), P(u"C:\\out\\Output"));
    AppendPathComponent(s, u"");
    EXPECT_EQ(Str(s), P(u"C:\\out\\Output"));
    WideString trailing(P(u"C:\\out\\").c_str());
    AppendPathComponent(trailing, u"a");
    EXPECT_EQ(Str(trailing), P(u"C:\\out\\a"));
    WideString empty;
    AppendPathComponent(empty, u"a");
    EXPECT_EQ(Str(empty), u"a");
}

TEST(WideStringPath, ReplaceExtension) {
    WideString s(P(u"C:\\in\\a.b.c").c_str());
    ReplaceExtension(s, u".png");
    EXPECT_EQ(Str(s), P(u"C:\\in\\a.b.png"));
    // The only dot is in a folder name: nothing is cut.
    WideString folderDot(P(u"C:\\in.d\\photo").c_str());
    ReplaceExtension(folderDot, u".jpg");
    EXPECT_EQ(Str(folderDot), P(u"C:\\in.d\\photo.jpg"));
    WideString dll(P(u"C:\\prog\\Quillodex.exe").c_str());
    ReplaceFileNameWithDllPattern(dll);
    EXPECT_EQ(Str(dll), P(u"C:\\prog\\*.dll"));
    WideString bare(u"name");
    ReplaceFileNameWithDllPattern(bare);
    EXPECT_EQ(Str(bare), u"name");
}

TEST(WideStringPath, NamedEdits) {
    const std::u16string path = P(u"C:\\photos\\2024\\trip.final.jpg");
    auto edited = [&](void (*edit)(WideString&), const std::u16string& from) {
        WideString s(from.c_str());
        edit(s);
        return Str(s);
    };
    EXPECT_EQ(edited(KeepFileName, path), u"trip.final.jpg");
    EXPECT_EQ(edited(KeepFolder, path), P(u"C:\\photos\\2024"));
    EXPECT_EQ(edited(RemoveExtension, path), P(u"C:\\photos\\2024\\trip.final"));
    EXPECT_EQ(edited(KeepFileName, P(u"C:\\photos\\")), u"");
    // When the character sought is absent the text is left unchanged.
    EXPECT_EQ(edited(KeepFileName, u"plain"), u"plain");
    EXPECT_EQ(edited(KeepFolder, u"plain"), u"plain");
    EXPECT_EQ(edited(RemoveExtension, P(u"C:\\a.d\\plain")), P(u"C:\\a.d\\plain"));
    EXPECT_EQ(edited(RemoveExtension, u""), u"");
}

TEST(WideStringDecimal, SignedValues) {
    char16_t out[12];
    EXPECT_EQ(FormatDecimal(0, out), 1u);
    EXPECT_EQ(std::u16string(out), u"0");
    EXPECT_EQ(FormatDecimal(-42, out), 3u);
    EXPECT_EQ(std::u16string(out), u"-42");
    EXPECT_EQ(FormatDecimal(2147483647, out), 10u);
    EXPECT_EQ(std::u16string(out), u"2147483647");
    EXPECT_EQ(FormatDecimal(-2147483647 - 1, out), 11u);
    EXPECT_EQ(std::u16string(out), u"-2147483648");
    WideString s(u"x+");
    s.AppendDecimal(12);
    EXPECT_EQ(Str(s), u"x+12");
}

}  // namespace
}  // namespace qdx
