// Feeds arbitrary bytes to the GIF reader as if they were a mapped file.
#include <cstdint>
#include <cstring>

#include "codecs/read/gif_reader.h"
#include "core/file_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qdx;
    // Screens beyond 16 megapixels only spend time and memory filling the
    // background; everything before that point is the same code.
    if (size >= 10 && uint32_t(LoadLittleEndian16(data + 6)) * LoadLittleEndian16(data + 8) > (1u << 24)) return 0;
    static GifReaderState state;
    static DecodedImage image;
    state.flattenTransparency = 1;
    state.useOwnBackground = size & 1;
    if (!PrepareImageRecord(state.input, &image)) return 0;
    state.input.dataStart = state.input.cursor = data;
    state.input.dataEnd = data + size;
    if (DecodeGifStream(state, image)) {
        // Touch every stored byte so a short buffer shows up.
        const uint32_t stride = RowStride(uint32_t(image.header.biWidth), 8);
        uint32_t sum = 0;
        for (uint64_t i = 0; i < uint64_t(stride) * uint32_t(image.header.biHeight); ++i) sum += image.pixels.Get()[i];
        volatile uint32_t sink = sum;
        (void)sink;
        if (image.header.biBitCount != 8) __builtin_trap();
    }
    state.input.dataStart = state.input.cursor = state.input.dataEnd = nullptr;
    return 0;
}
