// Feeds arbitrary bytes to the libtiff path as a whole file held in memory:
// our stream, size checks, palette lookup and flattening around libtiff must
// never read or write outside their buffers.
#include <cstdint>

#include "codecs/read/tiff_libtiff_reader.h"
#include "core/decoded_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qdx;
    if (size > 0xFFFFFFFFu) return 0;
    static TiffLibraryReaderState state;
    DecodedImage image;
    if (!DecodeTiffBytesWithLibtiff(state, data, uint32_t(size), image)) {
        if (image.pixels.Get()) __builtin_trap();  // a failed read keeps no buffer
        return 0;
    }
    const BITMAPINFOHEADER& header = image.header;
    if (header.biWidth < 1 || header.biHeight < 1 || (header.biBitCount != 8 && header.biBitCount != 24))
        __builtin_trap();
    const uint64_t bytes = uint64_t(RowStride(uint32_t(header.biWidth), header.biBitCount)) * uint32_t(header.biHeight);
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes; i += 61) sum = sum + image.pixels.Get()[i];
    return 0;
}
