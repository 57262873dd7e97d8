// Feeds arbitrary UTF-16 text through the path edits.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/os/path_edit.h"
#include "core/os/wide_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qdx::WideString;
    if (size < 1) return 0;
    const uint8_t operations = data[0];
    std::vector<char16_t> text((size - 1) / 2 + 1, 0);
    if (size > 1) std::memcpy(text.data(), data + 1, ((size - 1) / 2) * 2);
    WideString path(text.data());
    if (operations & 1) qdx::KeepFileName(path);
    if (operations & 2) qdx::KeepFolder(path);
    if (operations & 4) qdx::RemoveExtension(path);
    WideString joined;
    SetFolderPlusName(joined, path.Text(), text.data());
    AppendPathComponent(joined, path.Text());
    ReplaceExtension(joined, u".png");
    ReplaceFileNameWithDllPattern(joined);
    joined.AppendDecimal(int32_t(size) * (operations & 0x80 ? -1 : 1));
    if (joined.Length() != qdx::TextLength(joined.Text())) __builtin_trap();
    return 0;
}
