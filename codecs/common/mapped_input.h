#pragma once
// The leading fields of every built-in reader's working state: the input
// file read whole into memory and parsed in place through a cursor. (Read, not
// mapped: a mapped file that another program shortens meanwhile would end
// the process at the first page past its new end.)
#include <cstdint>
#include <cstring>

#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/pixel_budget.h"
#include "core/result_codes.h"

namespace qdx {

class WideString;

struct MappedInput {
    os::File file;
    os::HeapMemory bytes;  // the whole file
    const uint8_t* dataStart = nullptr;
    const uint8_t* cursor = nullptr;
    const uint8_t* dataEnd = nullptr;
    DecodedImage* image = nullptr;  // the caller's record, or ownedImage
    uint32_t status = kStatusUnspecified;
    os::HeapObject<DecodedImage> ownedImage;  // a record of the reader's own
    PixelBudget* budget = nullptr;            // the batch's; null: the default limit

    MappedInput() = default;
    MappedInput(const MappedInput&) = delete;
    MappedInput& operator=(const MappedInput&) = delete;
    ~MappedInput();

};

// Closes any file still held, opens `path` shared-read, accepts sizes above 0
// and below 4 GiB and reads it whole. Returns the size; on failure (a file
// that shrinks while it is read too) closes everything, sets status 50004, or
// 50001 when memory is short, and returns 0.
uint32_t OpenAndMapInput(MappedInput& input, const WideString& path);

// Attaches `image` (palette and pixel buffer cleared) or, when null, a
// zero-filled record from the private heap (50001 and false when that fails).
bool PrepareImageRecord(MappedInput& input, DecodedImage* image);

// After a successful decode: stores the file's last-write time in the image,
// releases the bytes and closes the file.
void FinishMappedRead(MappedInput& input);

// Releases the bytes and closes without touching the image (after a failure). A record the
// reader allocated itself is released.
void CloseMappedInput(MappedInput& input);

// The reader's check of a picture's declared size before it allocates for
// the pixels (AdmitPicture); false with the status set when it is refused.
inline bool AdmitPictureSize(MappedInput& input, uint64_t width, uint64_t height) {
    const uint32_t refused = AdmitPicture(input.budget, width, height);
    if (refused != 0) input.status = refused;
    return refused == 0;
}

// The body of a reader that decodes bytes in memory: clears the record, runs
// `decode(data, size, image)`, which returns 0 or the failure's result code,
// and marks the record with `kind`; on failure keeps the code in `input` and
// releases whatever pixels the decode had taken.
template <class Decode>
bool DecodeBytesIntoImage(MappedInput& input, const uint8_t* data, uint32_t size, DecodedImage& image, uint32_t kind,
                          Decode decode) {
    input.status = kStatusUnspecified;
    std::memset(image.palette, 0, sizeof image.palette);
    image.pixels.Reset();
    image.fileSize = size;
    const uint32_t failure = decode(data, size, image);
    if (failure != 0) {
        input.status = failure;
        image.pixels.Reset();
        return false;
    }
    image.sourceKind = kind;
    return true;
}

// The entry of a reader that decodes a whole file from memory: attaches
// `image`, maps `path`, runs `decodeBytes(data, size, record)` over it and
// finishes the read, or closes everything when any step fails.
template <class DecodeBytes>
bool ReadMappedFile(MappedInput& input, const WideString& path, DecodedImage* image, DecodeBytes decodeBytes) {
    input.status = kStatusUnspecified;
    CloseMappedInput(input);
    if (!PrepareImageRecord(input, image)) return false;
    DecodedImage& record = *input.image;
    const uint32_t size = OpenAndMapInput(input, path);
    if (size == 0 || !decodeBytes(input.dataStart, size, record)) {
        CloseMappedInput(input);
        return false;
    }
    FinishMappedRead(input);
    return true;
}

}  // namespace qdx
