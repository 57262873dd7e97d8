// Feeds arbitrary bytes to the HEIF reader as a whole file held in memory:
// our glue around libheif (size checks, sample rounding, grey detection,
// flattening) must never read or write outside its buffers, and a failed
// read must keep nothing.
#include <cstdint>

#include "codecs/read/heif_library.h"
#include "codecs/read/heif_reader.h"
#include "core/decoded_image.h"

namespace {
// Large enough for every starting input, small enough that libheif's own buffers stay
// within the fuzzer's memory limit.
constexpr uint32_t kFuzzLargestSide = 2048;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qdx;
    if (size > 0xFFFFFFFFu) return 0;
    static HeifReaderState state;
    const char16_t* missing = nullptr;
    state.library = LoadHeifFunctions(missing);
    if (!state.library) __builtin_trap();  // linked in natively: never missing
    state.largestSide = kFuzzLargestSide;
    DecodedImage image;
    if (!DecodeHeifBytes(state, data, uint32_t(size), image)) {
        if (image.pixels.Get()) __builtin_trap();  // a failed read keeps no buffer
        return 0;
    }
    const BITMAPINFOHEADER& header = image.header;
    if (header.biWidth < 1 || header.biHeight < 1 || header.biWidth > int32_t(kFuzzLargestSide) ||
        header.biHeight > int32_t(kFuzzLargestSide) || (header.biBitCount != 24 && header.biBitCount != 8))
        __builtin_trap();
    // Every byte of the picture must have been written or cleared: touch them.
    const uint64_t bytes = uint64_t(RowStride(uint32_t(header.biWidth), header.biBitCount)) * uint32_t(header.biHeight);
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes; i += 61) sum = sum + image.pixels.Get()[i];
    return 0;
}
