// Parts of the OS layer that are the same on every system.
#include "core/os/os.h"
#include "core/os/private_files.h"

namespace qdx::os {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        native_ = other.native_;
        other.native_ = kInvalid;
    }
    return *this;
}

MappedView::MappedView(MappedView&& other) noexcept
    : data_(other.data_), size_(other.size_), mapping_(other.mapping_) {
    other.data_ = nullptr;
    other.size_ = 0;
    other.mapping_ = 0;
}

MappedView& MappedView::operator=(MappedView&& other) noexcept {
    if (this != &other) {
        Unmap();
        data_ = other.data_;
        size_ = other.size_;
        mapping_ = other.mapping_;
        other.data_ = nullptr;
        other.size_ = 0;
        other.mapping_ = 0;
    }
    return *this;
}

bool ReadExact(File& file, void* buffer, uint32_t size) {
    if (size == 0) return true;
    return Read(file, buffer, size) == size;
}

bool CopyFileInto(const char16_t* from, File& to) {
    File source;
    uint64_t size = 0, copied = 0;
    if (!to.IsOpen() || !OpenForReadShared(from, source) || !FileSize(source, size)) return false;
    static constexpr uint32_t kChunk = 1 << 16;
    void* buffer = PrivateAlloc(kChunk);
    bool ok = buffer != nullptr;
    while (ok) {
        const uint32_t n = Read(source, buffer, kChunk);
        if (n == 0) break;
        ok = WriteAll(to, buffer, n);
        copied += n;
    }
    PrivateFree(buffer);
    // A read that failed part way looks like the end of the file.
    return ok && copied == size;
}

}  // namespace qdx::os
