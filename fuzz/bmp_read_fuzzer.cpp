// Feeds arbitrary bytes to the BMP reader as a whole file held in memory, so
// that any read past the end is caught, and reduces small decoded images to
// 256 colours and back the way the BMP writer would.
#include <cstdint>
#include <cstring>

#include "codecs/read/bmp_reader.h"
#include "codecs/write/pixel_converter.h"
#include "core/decoded_image.h"
#include "core/os/os.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qdx;
    if (size > 0xFFFFFFFFu) return 0;
    static BmpReaderState state;
    DecodedImage image;
    if (!DecodeBmpBytes(state, data, uint32_t(size), image)) {
        if (image.pixels.Get()) __builtin_trap();  // a failed read keeps no buffer
        return 0;
    }
    const BITMAPINFOHEADER& header = image.header;
    if (header.biWidth < 1 || header.biHeight < 1 || (header.biBitCount != 8 && header.biBitCount != 24))
        __builtin_trap();
    if (uint64_t(header.biWidth) * uint64_t(header.biHeight) <= 4096) {
        PixelConverter converter;
        converter.width = header.biWidth;
        converter.height = header.biHeight;
        SetLayout(converter, header.biBitCount, header.biBitCount == 8 ? 24 : 8);
        os::PixelMemory converted;
        RGBQUAD palette[256] = {};
        if (converted.Allocate(uint64_t(converter.imageSize) + 4) &&
            !Convert(converter, image.palette, image.pixels.Get(), palette, converted.Get()))
            __builtin_trap();
    }
    return 0;
}
