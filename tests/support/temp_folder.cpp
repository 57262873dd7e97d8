#include "tests/support/temp_folder.h"

#include <filesystem>
#include <random>

#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"

namespace qdx::test {

namespace {

std::filesystem::path ToFs(const WideString& text) {
    return std::filesystem::path(std::u16string(text.Text(), text.Length()));
}

}  // namespace

TempFolder::TempFolder() {
    WideString root;
    os::TemporaryFolder(root);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        WideString candidate;
        std::string name = "qdx-test-" + std::to_string(random()) + std::to_string(attempt);
        WideString wideName;
        AppendUtf8(wideName, name.c_str());
        SetFolderPlusName(candidate, root.Text(), wideName.Text());
        if (os::CreateFolder(candidate.Text())) {
            path_ = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (path_.IsEmpty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(ToFs(path_), ignored);
}

WideString TempFolder::File(const char16_t* name) const {
    WideString result;
    SetFolderPlusName(result, path_.Text(), name);
    return result;
}

WideString TempFolder::File(const char* utf8Name) const {
    WideString name;
    AppendUtf8(name, utf8Name);
    return File(name.Text());
}

bool WriteBytes(const WideString& path, const void* data, size_t size) {
    os::File file;
    if (!os::CreateForWrite(path.Text(), file)) return false;
    return os::WriteAll(file, data, uint32_t(size));
}

bool WriteBytes(const WideString& path, const std::string& bytes) { return WriteBytes(path, bytes.data(), bytes.size()); }

std::string ReadBytes(const WideString& path) {
    os::File file;
    uint64_t size = 0;
    if (!os::OpenForReadShared(path.Text(), file) || !os::FileSize(file, size)) return {};
    std::string bytes(size_t(size), '\0');
    if (!os::ReadExact(file, bytes.data(), uint32_t(size))) return {};
    return bytes;
}

std::string Narrow(const WideString& text) { return ToUtf8(text.Text(), text.Length()); }

}  // namespace qdx::test
