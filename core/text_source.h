#pragma once
// Where user-visible texts come from: the language library on Windows, the
// compiled-in English texts natively, or a fake in tests.
#include <cstdint>

#include "core/os/wide_string.h"

namespace qdx {

class TextSource {
public:
    virtual ~TextSource() = default;
    // Copies at most capacity - 1 code units of string `id` into `out`,
    // NUL-terminated, and returns the number copied; 0 when there is no
    // such string (out[0] is then NUL).
    virtual uint32_t LoadText(uint32_t id, char16_t* out, uint32_t capacity) const = 0;
};

// The process-wide source used by the engine; may be null (texts read empty).
const TextSource* CurrentTextSource();
void SetCurrentTextSource(const TextSource* source);

// Appends at most 127 units of string `id` from the text source to `text`.
bool AppendText(WideString& text, uint32_t id, const TextSource* source = CurrentTextSource());

}  // namespace qdx
