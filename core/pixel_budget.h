#pragma once
// The size of picture the program converts, checked from a file's declared
// width and height before anything that grows with the picture is allocated.
#include <cstdint>

namespace qdx {

// 200 megapixels (a 14,142 x 14,142 picture): above every camera on sale. A
// larger declared size is far more often a damaged or hostile file than a
// photo, and decoding it would take gigabytes before anything could fail.
inline constexpr uint64_t kDefaultMaxPixels = uint64_t(200) * 1000 * 1000;
// What an admitted picture is counted as holding: its 24-bit pixels.
inline constexpr uint64_t kAdmittedBytesPerPixel = 3;
// A picture whose pixels and one working copy of them do not fit in the
// machine's memory is refused as out of memory instead of being swapped in.
inline constexpr uint64_t kAdmittedCopies = 2;

// Memory the parallel batch shares out among pictures decoded side by side.
class PictureMemoryGate {
public:
    virtual ~PictureMemoryGate() = default;
    // Holds `bytes` for the picture being read until the batch is done with
    // it, waiting while other pictures hold too much; false refuses it.
    virtual bool Reserve(uint64_t bytes) = 0;
};

struct PixelBudget {
    uint64_t maxPixels = kDefaultMaxPixels;
    uint64_t memoryBytes = 0;  // the machine's memory; 0 when unknown
    PictureMemoryGate* gate = nullptr;
    // Why and at what size the last picture was refused: 0 (not refused),
    // kStatusTooManyPixels or kStatusOutOfMemory. Cleared by the caller.
    uint32_t refusal = 0;
    uint32_t refusedWidth = 0;
    uint32_t refusedHeight = 0;
};

// The one check every reader makes: 0 when a picture of width x height may be
// read (its memory reserved through the gate when there is one), else the
// result code, kStatusTooManyPixels or kStatusOutOfMemory, also kept in the
// budget with the size. A null budget applies the default limit alone.
uint32_t AdmitPicture(PixelBudget* budget, uint64_t width, uint64_t height);

}  // namespace qdx
