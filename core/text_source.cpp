#include "core/text_source.h"

namespace qdx {

namespace {
const TextSource* g_textSource = nullptr;
constexpr uint32_t kTextUnits = 127;  // at most this many units of a library text
}  // namespace

const TextSource* CurrentTextSource() { return g_textSource; }
void SetCurrentTextSource(const TextSource* source) { g_textSource = source; }

bool AppendText(WideString& text, uint32_t id, const TextSource* source) {
    if (!text.Reserve(text.Length() + kTextUnits)) return false;
    if (!source) return true;
    char16_t piece[kTextUnits + 1] = {};
    const uint32_t n = source->LoadText(id, piece, kTextUnits + 1);
    return text.Append(piece, n > kTextUnits ? kTextUnits : n);
}

}  // namespace qdx
