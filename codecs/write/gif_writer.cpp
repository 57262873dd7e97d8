#include "codecs/write/gif_writer.h"

#include <cstring>

#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr int32_t kClearCode = 256;
constexpr int32_t kEndCode = 257;
constexpr int32_t kFirstFreeCode = 258;
constexpr int32_t kMaxCode = 4095;

inline uint32_t HashSlot(uint32_t key) { return (key * 2654435761u) >> (32 - 13); }

bool Fail(GifWriterState& state, uint32_t status) {
    state.writeStatus = status;
    return false;
}

// Writes the code stream as data sub-blocks of at most 255 bytes, then the
// zero-length terminator block, through a staging buffer.
bool WriteSubBlocks(os::File& file, const uint8_t* data, uint64_t size) {
    constexpr uint32_t kBlocksPerWrite = 256;
    os::HeapMemory staging;
    if (!staging.Allocate(kBlocksPerWrite * 256)) return false;
    uint32_t used = 0;
    while (size > 0) {
        const uint32_t length = size < 255 ? uint32_t(size) : 255;
        staging.Get()[used++] = uint8_t(length);
        std::memcpy(staging.Get() + used, data, length);
        used += length;
        data += length;
        size -= length;
        if (used > (kBlocksPerWrite - 1) * 256) {
            if (!os::WriteAll(file, staging.Get(), used)) return false;
            used = 0;
        }
    }
    staging.Get()[used++] = 0;
    return os::WriteAll(file, staging.Get(), used);
}

}  // namespace

uint8_t* EncodeLzw(GifWriterState& state, const uint8_t* indices, uint32_t count, uint8_t* output) {
    if (count == 0) return nullptr;
    if (!state.table && !state.table.Allocate(sizeof(GifStringTable))) return nullptr;
    uint32_t* slots = reinterpret_cast<GifStringTable*>(state.table.Get())->slots;
    std::memset(slots, 0, sizeof(GifStringTable));

    uint8_t* out = output;
    uint64_t accumulator = 0;
    int32_t bitCount = 0;
    int32_t width = 9;
    int32_t nextCode = kFirstFreeCode;
    // Codes go in least significant bit first; whole bytes leave as they fill.
    auto emit = [&](uint32_t code) {
        accumulator |= uint64_t(code) << bitCount;
        bitCount += width;
        while (bitCount >= 8) {
            *out++ = uint8_t(accumulator);
            accumulator >>= 8;
            bitCount -= 8;
        }
    };

    emit(kClearCode);
    uint32_t current = indices[0];
    const uint32_t last = count - 1;
    for (uint32_t i = 1; i < count; ++i) {
        const uint32_t byte = indices[i];
        const uint32_t key = (current << 8) | byte;
        uint32_t slot = HashSlot(key);
        // The last byte is never merged into the current string, so it always
        // ends with an emission of its own.
        if (i != last) {
            bool found = false;
            while (slots[slot] != 0) {
                if ((slots[slot] >> 12) == key) {
                    current = slots[slot] & 0xFFF;
                    found = true;
                    break;
                }
                slot = (slot + 1) & (kGifHashSlots - 1);
            }
            if (found) continue;
        } else {
            while (slots[slot] != 0) slot = (slot + 1) & (kGifHashSlots - 1);
        }
        emit(current);
        if (nextCode > kMaxCode) {
            // The table is full: start again without adding the string.
            emit(kClearCode);
            width = 9;
            nextCode = kFirstFreeCode;
            std::memset(slots, 0, sizeof(GifStringTable));
        } else {
            if (width < 12 && nextCode >= (1 << width)) ++width;
            slots[slot] = (key << 12) | uint32_t(nextCode);
            ++nextCode;
        }
        current = byte;
    }
    emit(current);
    emit(kEndCode);
    // The remaining bits, zero above them, as one more byte even when none remain.
    *out++ = uint8_t(accumulator);

    state.codeWidth = width;
    state.clearCode = kClearCode;
    state.endCode = kEndCode;
    state.nextCode = nextCode;
    state.bitAccumulator = 0;
    state.bitCount = 0;
    return out;
}

bool WriteGifFile(GifWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels) {
    state.writeStatus = kStatusUnspecified;
    PixelConverter& converter = state.converter;
    const int32_t width = converter.width;
    const int32_t height = converter.height;
    // The file stores 16-bit sizes; an empty image has no code stream.
    if (width > 65535 || height > 65535 || width < 1 || height < 1) return Fail(state, kStatusCannotCreate);
    os::File file;
    if (!os::CreateForWrite(path.Text(), file)) return Fail(state, kStatusCannotCreate);
    // The index buffer holds 2 * imageSize + 4 bytes, so imageSize must stay
    // below 2^31; 0 means the layout did not fit in 32 bits at all.
    if (converter.imageSize == 0 || int32_t(converter.imageSize) < 0) return Fail(state, kStatusCannotCreate);

    os::PixelMemory indexBuffer;
    if (!indexBuffer.Allocate(2 * uint64_t(converter.imageSize) + 4)) return Fail(state, kStatusOutOfMemory);
    RGBQUAD reduced[256];
    std::memset(reduced, 0, sizeof reduced);
    if (!ReduceForGif(converter, palette, pixels, reduced, indexBuffer.Get()))
        return Fail(state, kStatusConversionFailed);

    int32_t transparentIndex = -1;
    if (state.transparency) {
        const uint8_t* colour = state.transparentColour;
        for (int32_t i = 0; i < 256; ++i) {
            if (reduced[i].rgbRed == colour[0] && reduced[i].rgbGreen == colour[1] && reduced[i].rgbBlue == colour[2]) {
                transparentIndex = i;
                break;
            }
        }
    }

    // Signature, logical screen, global table, graphic control extension
    // (with a transparent index only) and the image descriptor.
    uint8_t header[13 + 768 + 8 + 10];
    uint8_t* p = header;
    std::memcpy(p, "GIF89a", 6);
    StoreLittleEndian16(p + 6, uint16_t(width));
    StoreLittleEndian16(p + 8, uint16_t(height));
    p[10] = 0xF7;
    p[11] = transparentIndex >= 0 ? uint8_t(transparentIndex) : 0;
    p[12] = 0;
    p += 13;
    for (int i = 0; i < 256; ++i) {
        *p++ = reduced[i].rgbRed;
        *p++ = reduced[i].rgbGreen;
        *p++ = reduced[i].rgbBlue;
    }
    if (transparentIndex >= 0) {
        const uint8_t extension[8] = {0x21, 0xF9, 0x04, 0x01, 0, 0, uint8_t(transparentIndex), 0};
        std::memcpy(p, extension, 8);
        p += 8;
    }
    const uint8_t descriptor[10] = {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                                    uint8_t(height >> 8), 0};
    std::memcpy(p, descriptor, 10);
    p += 10;
    if (!os::WriteAll(file, header, uint32_t(p - header))) return Fail(state, kStatusUnspecified);

    // The reduction leaves rows bottom-up; the file wants them top-down.
    const uint64_t pixelCount = uint64_t(width) * uint64_t(height);
    os::PixelMemory topDown;
    if (!topDown.Allocate(pixelCount + 4)) return Fail(state, kStatusOutOfMemory);
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(topDown.Get() + uint64_t(row) * width, indexBuffer.Get() + uint64_t(height - 1 - row) * width,
                    size_t(width));

    uint8_t* end = EncodeLzw(state, topDown.Get(), uint32_t(pixelCount), indexBuffer.Get());
    if (!end) return Fail(state, kStatusOutOfMemory);

    const uint8_t minimumCodeSize = 8;
    const uint8_t trailer = 0x3B;
    if (!os::WriteAll(file, &minimumCodeSize, 1) ||
        !WriteSubBlocks(file, indexBuffer.Get(), uint64_t(end - indexBuffer.Get())) || !os::WriteAll(file, &trailer, 1))
        return Fail(state, kStatusUnspecified);
    return true;
}

void PrepareGifWriter(GifWriterState& state, const BITMAPINFOHEADER& header, const TransparentColour& transparent) {
    PixelConverter& converter = state.converter;
    converter.width = header.biWidth;
    converter.height = header.biHeight;
    SetLayout(converter, header.biBitCount, 8);
    converter.sourceDepth = header.biBitCount;
    converter.targetDepth = 8;
    const uint64_t stride = (uint64_t(converter.width < 0 ? 0 : converter.width) + 3) & ~uint64_t(3);
    const uint64_t imageSize = stride * uint64_t(converter.height < 0 ? 0 : converter.height);
    converter.stride = stride > 0x7FFFFFFF ? 0 : int32_t(stride);
    converter.imageSize = imageSize > 0xFFFFFFFFu ? 0 : uint32_t(imageSize);
    state.transparency = 0;
    if (transparent.hasTransparentColour) {
        state.transparency = 1;
        state.transparentColour[0] = transparent.red;
        state.transparentColour[1] = transparent.green;
        state.transparentColour[2] = transparent.blue;
    }
}

}  // namespace qdx
