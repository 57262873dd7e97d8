// Feeds arbitrary bytes to the WebP reader as a whole file held in memory:
// our glue around libwebp (size checks, flattening, the first animation
// frame) must never read or write outside its buffers.
#include <cstdint>

#include "codecs/read/webp_reader.h"
#include "core/decoded_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qdx;
    if (size > 0xFFFFFFFFu) return 0;
    static WebpReaderState state;
    DecodedImage image;
    if (!DecodeWebpBytes(state, data, uint32_t(size), image)) {
        if (image.pixels.Get()) __builtin_trap();  // a failed read keeps no buffer
        return 0;
    }
    const BITMAPINFOHEADER& header = image.header;
    if (header.biWidth < 1 || header.biHeight < 1 || header.biBitCount != 24) __builtin_trap();
    // Every byte of the picture must have been written or cleared: touch them.
    const uint64_t bytes = uint64_t(RowStride(uint32_t(header.biWidth), 24)) * uint32_t(header.biHeight);
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes; i += 61) sum = sum + image.pixels.Get()[i];
    return 0;
}
