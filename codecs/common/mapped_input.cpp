#include "codecs/common/mapped_input.h"

#include <cstring>

#include "core/os/wide_string.h"

namespace qdx {

namespace {
constexpr uint64_t kInputSlack = 8;
}  // namespace

MappedInput::~MappedInput() { CloseMappedInput(*this); }

uint32_t OpenAndMapInput(MappedInput& input, const WideString& path) {
    input.bytes.Reset();
    input.file.Close();
    input.dataStart = input.cursor = input.dataEnd = nullptr;
    uint64_t size = 0;
    uint32_t failure = kStatusCannotOpen;
    if (os::OpenForReadShared(path.Text(), input.file) && os::FileSize(input.file, size) && size > 0 &&
        size < (uint64_t(1) << 32)) {
        // The read fills the block, so it is not cleared first; a few zero
        // bytes follow the end, as a mapping's last page had.
        input.bytes.Reset(static_cast<uint8_t*>(os::PrivateAllocForOverwrite(size_t(size + kInputSlack))));
        failure = input.bytes ? kStatusCannotOpen : kStatusOutOfMemory;
        if (input.bytes) std::memset(input.bytes.Get() + size, 0, kInputSlack);
        if (input.bytes && os::ReadExact(input.file, input.bytes.Get(), uint32_t(size))) {
            input.dataStart = input.cursor = input.bytes.Get();
            input.dataEnd = input.dataStart + size;
            return uint32_t(size);
        }
    }
    input.bytes.Reset();
    input.file.Close();
    input.status = failure;
    return 0;
}

bool PrepareImageRecord(MappedInput& input, DecodedImage* image) {
    if (image) {
        std::memset(image->palette, 0, sizeof image->palette);
        image->pixels.Reset();
        input.image = image;
        input.ownedImage.reset();
        return true;
    }
    input.ownedImage = os::MakeHeapObject<DecodedImage>();
    if (!input.ownedImage) {
        input.status = kStatusOutOfMemory;
        return false;
    }
    input.image = input.ownedImage.get();
    return true;
}

void FinishMappedRead(MappedInput& input) {
    uint64_t fileTime = 0;
    if (input.image && input.file.IsOpen() && os::LastWriteTime(input.file, fileTime)) input.image->lastWriteTime = fileTime;
    input.bytes.Reset();
    input.file.Close();
    input.dataStart = input.cursor = input.dataEnd = nullptr;
}

void CloseMappedInput(MappedInput& input) {
    input.bytes.Reset();
    input.file.Close();
    input.dataStart = input.cursor = input.dataEnd = nullptr;
    if (input.ownedImage) {
        input.ownedImage.reset();
        input.image = nullptr;
    }
}

}  // namespace qdx
