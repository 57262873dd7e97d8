#include "codecs/write/png_writer.h"

#include <zlib.h>

#include <cstring>

#include "codecs/common/compression_alloc.h"
#include "codecs/common/png_colour_types.h"
#include "codecs/common/png_crc.h"
#include "codecs/write/png_row_filter.h"
#include "core/decoded_image.h"
#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr uint32_t kWidestImage = 89478485;  // 48 * width + 1 stays within 32 bits

// Length, type, data, checksum. False when any part was not written whole
// (a full disk): the file must then not pass for a good one.
bool WriteChunk(os::File& file, const char (&tag)[5], const uint8_t* data, uint32_t length) {
    const auto* type = reinterpret_cast<const uint8_t*>(tag);
    return WriteBigEndian32(file, length) == 4 && os::WriteAll(file, type, 4) &&
           (length == 0 || os::WriteAll(file, data, length)) &&
           WriteBigEndian32(file, chunkCrc(type, data, length)) == 4;
}

bool Fail(PngWriterState& state, uint32_t code) {
    state.writeStatus = code;
    return false;
}

// Keeps each palette colour the first time it occurs and renumbers every
// entry to its kept colour. Returns the number of colours kept.
int32_t CompactPalette(RGBQUAD* palette, uint8_t mapping[256]) {
    int32_t kept = 0;
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD colour = palette[i];
        int32_t found = -1;
        for (int32_t k = 0; k < kept; ++k) {
            if (palette[k].rgbBlue == colour.rgbBlue && palette[k].rgbGreen == colour.rgbGreen &&
                palette[k].rgbRed == colour.rgbRed) {
                found = k;
                break;
            }
        }
        if (found < 0) {
            palette[kept] = colour;  // kept <= i: entries not yet walked are untouched
            found = kept++;
        }
        mapping[i] = uint8_t(found);
    }
    return kept;
}

// Palette image: the converted pixels, a compacted PLTE, tRNS/bKGD when the
// transparent colour is in the palette, and rows with filter type 0.
bool FilterPaletteImage(PngWriterState& state, os::File& file, const RGBQUAD* paletteIn, const uint8_t* pixelsIn,
                        uint8_t* filtered, uint32_t rowLength) {
    PixelConverter& converter = state.converter;
    RGBQUAD palette[256] = {};
    os::PixelMemory converted;
    if (!converted.Allocate(size_t(converter.imageSize) + 4)) return Fail(state, kStatusOutOfMemory);
    if (!Convert(converter, paletteIn, pixelsIn, palette, converted.Get())) return Fail(state, kStatusConversionFailed);

    uint8_t mapping[256];
    state.paletteSize = CompactPalette(palette, mapping);
    const uint32_t width = uint32_t(converter.width), height = uint32_t(converter.height);
    const size_t stride = size_t(converter.stride);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = converted.Get() + y * stride;
        for (uint32_t x = 0; x < width; ++x) row[x] = mapping[row[x]];
    }

    uint8_t plte[256 * 3];
    for (int32_t i = 0; i < state.paletteSize; ++i) {
        plte[3 * i] = palette[i].rgbRed;
        plte[3 * i + 1] = palette[i].rgbGreen;
        plte[3 * i + 2] = palette[i].rgbBlue;
    }
    if (!WriteChunk(file, "PLTE", plte, uint32_t(state.paletteSize) * 3)) return Fail(state, kStatusCannotCreate);

    if (state.transparency && state.transparentColour) {
        const uint8_t* key = state.transparentColour;
        for (int32_t k = 0; k < state.paletteSize; ++k) {
            if (palette[k].rgbRed != key[0] || palette[k].rgbGreen != key[1] || palette[k].rgbBlue != key[2]) continue;
            uint8_t alpha[256];
            std::memset(alpha, 255, size_t(k));
            alpha[k] = 0;
            const uint8_t index = uint8_t(k);
            if (!WriteChunk(file, "tRNS", alpha, uint32_t(k) + 1) || !WriteChunk(file, "bKGD", &index, 1))
                return Fail(state, kStatusCannotCreate);
            break;
        }
    }

    // Top row of the picture first: the last row in memory.
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = filtered + size_t(y) * rowLength;
        out[0] = 0;
        std::memcpy(out + 1, converted.Get() + size_t(height - 1 - y) * stride, width);
    }
    return true;
}

// True-colour image: tRNS/bKGD of the transparent colour, then every row
// turned to red, green, blue and filtered adaptively.
bool FilterTrueColourImage(PngWriterState& state, os::File& file, const RGBQUAD* paletteIn, const uint8_t* pixelsIn,
                           uint8_t* filtered, uint32_t rowLength) {
    if (state.transparency && state.transparentColour) {
        const uint8_t* key = state.transparentColour;
        const uint8_t colour[6] = {0, key[0], 0, key[1], 0, key[2]};
        if (!WriteChunk(file, "tRNS", colour, 6) || !WriteChunk(file, "bKGD", colour, 6))
            return Fail(state, kStatusCannotCreate);
    }
    const PixelConverter& converter = state.converter;
    const uint32_t width = uint32_t(converter.width), height = uint32_t(converter.height);
    const bool fromPalette = converter.sourceDepth == 8;  // never met in a batch; handled all the same
    if (fromPalette && !paletteIn) return Fail(state, kStatusConversionFailed);
    const size_t sourceStride = RowStride(width, fromPalette ? 8 : 24);
    const uint32_t rowBytes = rowLength - 1;
    uint8_t* previous = state.rows[0];
    uint8_t* current = state.rows[1];
    uint8_t* const candidates[4] = {state.rows[2], state.rows[3], state.rows[4], state.rows[5]};
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* source = pixelsIn + size_t(height - 1 - y) * sourceStride;
        uint8_t* raw = current + 1;
        if (fromPalette) {
            for (uint32_t x = 0; x < width; ++x, raw += 3) {
                const RGBQUAD& entry = paletteIn[source[x]];
                raw[0] = entry.rgbRed;
                raw[1] = entry.rgbGreen;
                raw[2] = entry.rgbBlue;
            }
        } else {
            for (uint32_t x = 0; x < width; ++x, raw += 3, source += 3) {
                raw[0] = source[2];
                raw[1] = source[1];
                raw[2] = source[0];
            }
        }
        const int type = ChooseRowFilter(current, previous, rowBytes, 3, candidates);
        const uint8_t* chosen = type == 0 ? current : candidates[type - 1];
        std::memcpy(filtered + size_t(y) * rowLength, chosen, rowLength);
        std::memcpy(previous, current, rowLength);
    }
    return true;
}

// One deflate call over the whole filtered image, stored as one IDAT.
bool CompressImageData(PngWriterState& state, os::File& file, const uint8_t* filtered, uint32_t total) {
    z_stream stream{};
    stream.zalloc = &CompressionAlloc;
    stream.zfree = &CompressionFree;
    const int strategy = state.colourType == kPngTrueColour ? Z_FILTERED : Z_DEFAULT_STRATEGY;
    if (deflateInit2(&stream, state.compressionLevel, Z_DEFLATED, 15, 9, strategy) != Z_OK)
        return Fail(state, kPngCompressFailed);
    const uint64_t bound = uint64_t(deflateBound(&stream, total)) + 4;
    // deflateBound works in uLong, which is 32 bits on Windows.
    if (bound < total || bound > 0xFFFFFFFFu) {
        deflateEnd(&stream);
        return Fail(state, kStatusOutOfMemory);
    }
    os::HeapMemory output;
    if (!output.Allocate(size_t(bound))) {
        deflateEnd(&stream);
        return Fail(state, kStatusOutOfMemory);
    }
    stream.next_in = const_cast<Bytef*>(filtered);
    stream.avail_in = total;
    stream.next_out = output.Get();
    stream.avail_out = uint32_t(bound);
    const int result = deflate(&stream, Z_FINISH);
    if (result != Z_STREAM_END) {
        deflateEnd(&stream);
        return Fail(state, kPngCompressFailed);
    }
    deflateEnd(&stream);
    if (!WriteChunk(file, "IDAT", output.Get(), uint32_t(stream.total_out))) return Fail(state, kStatusCannotCreate);
    return true;
}

}  // namespace

bool WritePngFile(PngWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels) {
    state.writeStatus = kStatusUnspecified;
    PixelConverter& converter = state.converter;
    const uint32_t width = uint32_t(converter.width), height = uint32_t(converter.height);
    if (width > kWidestImage) return Fail(state, kStatusCannotCreate);
    // A picture without pixels has no valid PNG form.
    if (width == 0 || height == 0 || !pixels) return false;

    os::File file;
    if (!os::CreateForWrite(path.Text(), file)) return Fail(state, kStatusCannotCreate);

    const bool paletteImage = converter.targetDepth == 8;
    state.bitDepth = 8;
    state.colourType = paletteImage ? kPngPalette : kPngTrueColour;
    state.bytesPerPixel = paletteImage ? 1 : 3;
    state.paletteSize = 0;
    const uint32_t rowLength = width * uint32_t(state.bytesPerPixel) + 1;
    uint32_t total = 0;
    if (!CheckedMul32(rowLength, height, total)) return false;

    if (!os::WriteAll(file, kSignature, 8)) return Fail(state, kStatusCannotCreate);
    uint8_t header[13];
    StoreBigEndian32(header, width);
    StoreBigEndian32(header + 4, height);
    header[8] = uint8_t(state.bitDepth);
    header[9] = uint8_t(state.colourType);
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filtering, no interlace
    if (!WriteChunk(file, "IHDR", header, 13)) return Fail(state, kStatusCannotCreate);
    if (state.horizontalResolution && state.verticalResolution) {
        uint8_t physical[9];
        StoreBigEndian32(physical, state.horizontalResolution);
        StoreBigEndian32(physical + 4, state.verticalResolution);
        physical[8] = 1;  // metre
        if (!WriteChunk(file, "pHYs", physical, 9)) return Fail(state, kStatusCannotCreate);
    }
    if (state.exif && state.exifSize != 0 && !WriteChunk(file, "eXIf", state.exif, state.exifSize))
        return Fail(state, kStatusCannotCreate);

    // The filtered image, then the six row buffers; all zero to begin with,
    // so the row above the first is zero.
    const uint64_t bufferBytes = uint64_t(total) + 6 * uint64_t(rowLength) + 4;
    if (bufferBytes > 0xFFFFFFFFu) return Fail(state, kStatusOutOfMemory);
    os::HeapMemory buffer;
    if (!buffer.Allocate(size_t(bufferBytes))) return Fail(state, kStatusOutOfMemory);
    for (int i = 0; i < 6; ++i) state.rows[i] = buffer.Get() + total + size_t(i) * rowLength;

    const bool filteredOk = paletteImage
                                ? FilterPaletteImage(state, file, palette, pixels, buffer.Get(), rowLength)
                                : FilterTrueColourImage(state, file, palette, pixels, buffer.Get(), rowLength);
    const bool ok = filteredOk && CompressImageData(state, file, buffer.Get(), total);
    for (auto*& row : state.rows) row = nullptr;
    if (!ok) return false;
    static constexpr uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    if (!os::WriteAll(file, kEnd, 12)) return Fail(state, kStatusCannotCreate);
    return true;
}

}  // namespace qdx
