#pragma once
// A fresh folder under the system's temporary folder for one test, removed
// with everything in it afterwards. Paths are WideStrings like the program's.
#include <string>

#include "core/os/wide_string.h"

namespace qdx::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const WideString& Path() const { return path_; }
    // Folder plus name.
    WideString File(const char16_t* name) const;
    WideString File(const char* utf8Name) const;

private:
    WideString path_;
};

// Writes bytes to a file (created or truncated); false on failure.
bool WriteBytes(const WideString& path, const void* data, size_t size);
bool WriteBytes(const WideString& path, const std::string& bytes);
// Reads a whole file; empty on failure.
std::string ReadBytes(const WideString& path);
// UTF-8 form of a WideString, for messages.
std::string Narrow(const WideString& text);

}  // namespace qdx::test
