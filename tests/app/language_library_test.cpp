// Language libraries are found beside the program by a plain name and loaded
// as data: their texts and dialogs are used, their code never runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/common/control_ids.h"
#include "app/preset_dialog/preset_dialog_rules.h"
#include "app/startup/language_library.h"
#include "core/os/os.h"
#include "tests/app/gui_support.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using app::W;

// While alive, a library whose start-up code runs leaves `Mark()`.
class PayloadMark {
public:
    PayloadMark() : mark_(folder_.File(u"payload-ran")) {
        ::SetEnvironmentVariableW(L"QDX_PAYLOAD_MARK", W(mark_.Text()));
    }
    ~PayloadMark() { ::SetEnvironmentVariableW(L"QDX_PAYLOAD_MARK", nullptr); }
    bool Left() const { return os::FileExists(mark_.Text()); }

private:
    test::TempFolder folder_;
    WideString mark_;
};

TEST(LanguageLibrary, APayloadLibraryIsUsedAsDataAndItsCodeNeverRuns) {
    PayloadMark mark;
    WideString name(u"PayloadLanguage");
    app::ModuleHandle library;
    EXPECT_TRUE(app::LoadLanguageLibrary(name, library)) << "it carries the signature";
    EXPECT_EQ(std::u16string(name.Text()), u"PayloadLanguage");
    library.Reset();
    EXPECT_FALSE(mark.Left()) << "the library's start-up code ran";
    // Loaded as code, the same library does leave the mark.
    HMODULE code = ::LoadLibraryW(W(test::BuildFile(u"PayloadLanguage.dll").Text()));
    ASSERT_NE(code, nullptr);
    ::FreeLibrary(code);
    EXPECT_TRUE(mark.Left());
}

TEST(LanguageLibrary, TextsAndDialogsComeFromALibraryLoadedAsData) {
    for (const char16_t* language : {u"English", u"Japanese"}) {
        WideString name(language);
        app::ModuleHandle library;
        ASSERT_TRUE(app::LoadLanguageLibrary(name, library));
        EXPECT_EQ(std::u16string(name.Text()), language);
        const app::LibraryTextSource texts(library.Get());
        char16_t caption[128] = {};
        EXPECT_GT(texts.LoadText(30000, caption, 128), 0u);
        EXPECT_NE(app::LoadDialogTemplate(library.Get(), IDD_PRESET, false), nullptr);
    }
}

// A stored name that is not a plain file name is never looked up: the
// choice goes back to the user's language.
TEST(LanguageLibrary, ANameThatIsNotPlainFallsBackToTheDefault) {
    PayloadMark mark;
    WideString folder = test::BuildFile(u"PayloadLanguage");
    const std::u16string kNames[] = {std::u16string(folder.Text()), u"..\\windows\\PayloadLanguage",
                                     u"C:PayloadLanguage", u"./PayloadLanguage", u"a..b"};
    for (const std::u16string& stored : kNames) {
        WideString name(stored.c_str());
        app::ModuleHandle library;
        EXPECT_TRUE(app::LoadLanguageLibrary(name, library));
        const std::u16string chosen(name.Text());
        EXPECT_TRUE(chosen == u"English" || chosen == u"Japanese") << (&stored - kNames);
    }
    EXPECT_FALSE(mark.Left());
}

}  // namespace
}  // namespace qdx
