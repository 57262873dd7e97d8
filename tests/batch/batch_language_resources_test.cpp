// On Windows the generated string-table scripts are linked into the test
// program; what the resource compiler made of them must equal the compiled-in
// tables, text for text.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/builtin_texts.h"

namespace qdx {

TextTable TrickyTextTable();

namespace {

// String `id` of the given resource language, read straight from the
// string-table block (16 counted strings per block), so that nothing is cut.
bool LoadResourceString(uint32_t id, WORD language, std::u16string& text) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC block = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!block) return false;
    HGLOBAL loaded = ::LoadResource(module, block);
    const auto* p = static_cast<const WCHAR*>(::LockResource(loaded));
    if (!p) return false;
    for (uint32_t i = 0; i < id % 16; ++i) p += 1 + *p;
    text.assign(reinterpret_cast<const char16_t*>(p + 1), *p);
    return true;
}

void ExpectResourcesMatch(TextTable table, WORD language) {
    for (uint32_t i = 0; i < table.count; ++i) {
        std::u16string text;
        ASSERT_TRUE(LoadResourceString(table.entries[i].id, language, text)) << table.entries[i].id;
        EXPECT_EQ(text, std::u16string(table.entries[i].text)) << table.entries[i].id;
    }
}

TEST(LanguageResources, StringTablesEqualTheCompiledTexts) {
    ExpectResourcesMatch(EnglishTextTable(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ExpectResourcesMatch(JapaneseTextTable(), MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN));
    // The awkward texts carry no LANGUAGE statement: the compiler's default.
    ExpectResourcesMatch(TrickyTextTable(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
}

}  // namespace
}  // namespace qdx
#endif
