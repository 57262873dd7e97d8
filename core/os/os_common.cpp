// Parts of the OS layer that are the same on every system.
#include "core/os/os.h"

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

}  // namespace qdx::os
