#include "codecs/common/mapped_input.h"

#include <cstring>
#include <new>

#include "core/wide_string.h"

namespace qdx {

MappedInput::~MappedInput() { CloseMappedInput(*this); }

uint32_t OpenAndMapInput(MappedInput& input, const WideString& path) {
    input.view.Unmap();
    input.file.Close();
    input.dataStart = input.cursor = input.dataEnd = nullptr;
    uint64_t size = 0;
    if (os::OpenForReadShared(path.Text(), input.file) && os::FileSize(input.file, size) && size > 0 &&
        size < (uint64_t(1) << 32) && os::MapWholeFile(input.file, size, input.view)) {
        input.dataStart = input.cursor = input.view.Data();
        input.dataEnd = input.dataStart + size;
        return uint32_t(size);
    }
    input.view.Unmap();
    input.file.Close();
    input.status = kStatusCannotOpen;
    return 0;
}

bool PrepareImageRecord(MappedInput& input, DecodedImage* image) {
    if (image) {
        std::memset(image->palette, 0, sizeof image->palette);
        image->pixels.Reset();
        input.image = image;
        input.ownsImage = false;
        return true;
    }
    void* block = os::PrivateAlloc(sizeof(DecodedImage));
    if (!block) {
        input.status = kStatusOutOfMemory;
        return false;
    }
    input.image = new (block) DecodedImage();
    input.ownsImage = true;
    return true;
}

void FinishMappedRead(MappedInput& input) {
    uint64_t fileTime = 0;
    if (input.image && input.file.IsOpen() && os::LastWriteTime(input.file, fileTime)) input.image->lastWriteTime = fileTime;
    input.view.Unmap();
    input.file.Close();
    input.dataStart = input.cursor = input.dataEnd = nullptr;
}

void CloseMappedInput(MappedInput& input) {
    input.view.Unmap();
    input.file.Close();
    input.dataStart = input.cursor = input.dataEnd = nullptr;
    if (input.ownsImage && input.image) {
        input.image->~DecodedImage();
        os::PrivateFree(input.image);
        input.image = nullptr;
        input.ownsImage = false;
    }
}

}  // namespace qdx
