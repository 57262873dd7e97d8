#include "tests/batch/batch_test_support.h"

#include <algorithm>
#include <filesystem>

namespace qdx::test {

std::vector<std::string> FolderEntries(const WideString& folder) {
    std::vector<std::string> names;
    std::error_code error;
    const std::filesystem::path root(std::u16string(folder.Text(), folder.Length()));
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        const std::u16string name = entry.path().filename().u16string();
        names.push_back(ToUtf8(name.c_str(), name.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qdx::test
