#include "core/text_source.h"

namespace qdx {

namespace {
const TextSource* g_textSource = nullptr;
}

const TextSource* CurrentTextSource() { return g_textSource; }
void SetCurrentTextSource(const TextSource* source) { g_textSource = source; }

}  // namespace qdx
