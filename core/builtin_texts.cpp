#include "core/builtin_texts.h"

#include "core/os/wide_string.h"

namespace qdx {

const char16_t* TableTextSource::Find(uint32_t id) const {
    uint32_t low = 0, high = table_.count;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const uint32_t found = table_.entries[middle].id;
        if (found == id) return table_.entries[middle].text;
        if (found < id)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

uint32_t TableTextSource::LoadText(uint32_t id, char16_t* out, uint32_t capacity) const {
    if (!out || capacity == 0) return 0;
    out[0] = 0;
    const char16_t* text = Find(id);
    if (!text) return 0;
    uint32_t n = 0;
    while (n + 1 < capacity && text[n] != 0) {
        out[n] = text[n];
        ++n;
    }
    out[n] = 0;
    return n;
}

TextTable BuiltInTextTable(Language language) {
    return language == Language::Japanese ? JapaneseTextTable() : EnglishTextTable();
}

const TextSource& BuiltInTexts(Language language) {
    static const TableTextSource english(EnglishTextTable());
    static const TableTextSource japanese(JapaneseTextTable());
    return language == Language::Japanese ? japanese : english;
}

bool LanguageFromName(const char16_t* name, Language& language) {
    if (!name) return false;
    if (EqualsIgnoringAsciiCase(name, u"English")) {
        language = Language::English;
        return true;
    }
    if (EqualsIgnoringAsciiCase(name, u"Japanese")) {
        language = Language::Japanese;
        return true;
    }
    return false;
}

}  // namespace qdx
