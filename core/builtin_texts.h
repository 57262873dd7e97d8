#pragma once
// The language texts compiled into the program (from lang/<Language>.txt), for
// builds that have no language library: the native command line and tests.
#include <cstdint>

#include "core/text_source.h"

namespace qdx {

enum class Language { English, Japanese };

struct TextEntry {
    uint32_t id;
    const char16_t* text;
};

// Entries sorted by identifier, each identifier once.
struct TextTable {
    const TextEntry* entries;
    uint32_t count;
};

// A TextSource over a sorted table.
class TableTextSource final : public TextSource {
public:
    explicit TableTextSource(TextTable table) : table_(table) {}
    uint32_t LoadText(uint32_t id, char16_t* out, uint32_t capacity) const override;
    // The whole text of `id`, or null when the table has none.
    const char16_t* Find(uint32_t id) const;

private:
    TextTable table_;
};

// Generated tables, one per language file.
TextTable EnglishTextTable();
TextTable JapaneseTextTable();

TextTable BuiltInTextTable(Language language);
const TextSource& BuiltInTexts(Language language);

// "English" or "Japanese" (ASCII letters compared without case); false for
// any other name.
bool LanguageFromName(const char16_t* name, Language& language);

}  // namespace qdx
