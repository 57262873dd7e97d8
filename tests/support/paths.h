#pragma once
// Test texts are written with backslashes; this turns them into the
// platform's separator so the same expectations hold on both targets.
#include <string>

#include "core/os/os.h"

namespace qdx::test {

inline std::u16string P(const char16_t* text) {
    std::u16string result(text);
    for (auto& unit : result)
        if (unit == u'\\') unit = os::kPathSeparator;
    return result;
}

}  // namespace qdx::test
