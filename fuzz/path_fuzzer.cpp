// Feeds arbitrary UTF-16 text through the path operations of WideString.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/wide_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qdx::WideString;
    if (size < 1) return 0;
    const uint8_t operations = data[0];
    std::vector<char16_t> text((size - 1) / 2 + 1, 0);
    if (size > 1) std::memcpy(text.data(), data + 1, ((size - 1) / 2) * 2);
    WideString path(text.data());
    for (int edit = 1; edit <= 7; ++edit)
        if (operations & (1 << (edit - 1))) path.EditPath(edit);
    WideString joined;
    joined.SetFolderPlusName(path.Text(), text.data());
    joined.AppendPathComponent(path.Text());
    joined.ReplaceExtension(u".png");
    joined.ReplaceFileNameWithDllPattern();
    joined.AppendDecimal(int32_t(size) * (operations & 0x80 ? -1 : 1));
    if (joined.Length() != qdx::TextLength(joined.Text())) __builtin_trap();
    return 0;
}
