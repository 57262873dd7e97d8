#include "codecs/write/tiff_writer.h"

#include <cstring>

#include "codecs/common/exif_tags.h"
#include "codecs/common/tiff_tags.h"
#include "core/decoded_image.h"
#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/os/wide_string.h"

namespace qdx {
namespace {

constexpr uint32_t kDirectoryOffset = 8;
constexpr uint32_t kEntrySize = 12;
constexpr uint16_t kOwnEntries = 12;
constexpr uint32_t kValuesOffset = 158;  // first byte after the directory without Exif
static_assert(kDirectoryOffset + 2 + kOwnEntries * kEntrySize + 4 == kValuesOffset);

// The first byte after a directory of `entries` entries.
uint32_t ValuesOffset(uint32_t entries) { return kDirectoryOffset + 2 + entries * kEntrySize + 4; }

constexpr uint32_t kResolutionDenominator = 10000;

uint8_t* PutEntry(uint8_t* p, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    StoreLittleEndian16(p, tag);
    StoreLittleEndian16(p + 2, type);
    StoreLittleEndian32(p + 4, count);
    // A SHORT stands in the low two bytes of the field; the other two stay 0.
    StoreLittleEndian32(p + 8, value);
    return p + 12;
}

// Pixels per metre as dots per inch with four decimals: (ppm * 254) / 10000.
// A negative resolution, or one too large for the numerator, is written as
// unknown (0).
void PutResolution(uint8_t* p, int32_t pixelsPerMetre) {
    const uint64_t numerator = pixelsPerMetre > 0 ? uint64_t(pixelsPerMetre) * 254 : 0;
    StoreLittleEndian32(p, numerator > 0xFFFFFFFFu ? 0 : uint32_t(numerator));
    StoreLittleEndian32(p + 4, kResolutionDenominator);
}

// The header and the directory: the first 158 bytes of every file without
// Exif; with it, the directory also holds the Exif block's first-directory
// entries (`exifEntries`, already pointing into the block where it lies in
// the file), merged in tag order.
void BuildHeaderAndDirectory(const TiffWriterState& state, const uint8_t* exifEntries, uint32_t exifCount,
                             uint8_t* out) {
    const bool rgb = state.photometric == 2;
    const uint32_t width = uint32_t(state.converter.width);
    const uint32_t height = uint32_t(state.converter.height);
    out[0] = 'I';
    out[1] = 'I';
    StoreLittleEndian16(out + 2, 42);
    StoreLittleEndian32(out + 4, kDirectoryOffset);
    StoreLittleEndian16(out + kDirectoryOffset, state.entryCount);
    uint8_t own[kOwnEntries * kEntrySize];
    uint8_t* p = own;
    p = PutEntry(p, kTagImageWidth, kTypeLong, 1, width);
    p = PutEntry(p, kTagImageLength, kTypeLong, 1, height);
    p = PutEntry(p, kTagBitsPerSample, kTypeShort, state.bitsPerSampleCount, state.bitsPerSampleValue);
    p = PutEntry(p, kTagCompression, kTypeShort, 1, 1);
    p = PutEntry(p, kTagPhotometric, kTypeShort, 1, uint32_t(state.photometric));
    p = PutEntry(p, kTagStripOffsets, kTypeLong, 1, state.stripOffset);
    if (rgb) p = PutEntry(p, kTagSamplesPerPixel, kTypeShort, 1, 3);
    p = PutEntry(p, kTagRowsPerStrip, kTypeLong, 1, height);
    p = PutEntry(p, kTagStripByteCounts, kTypeLong, 1, state.dataSize);
    p = PutEntry(p, kTagXResolution, kTypeRational, 1, state.xResolutionOffset);
    p = PutEntry(p, kTagYResolution, kTypeRational, 1, state.yResolutionOffset);
    p = PutEntry(p, kTagResolutionUnit, kTypeShort, 1, 2);
    if (!rgb) p = PutEntry(p, kTagColorMap, kTypeShort, uint32_t(state.colourMapCount), state.colourMapOffset);
    // Both lists are in tag order and share no tag: merge them.
    uint8_t* to = out + kDirectoryOffset + 2;
    uint32_t a = 0;
    uint32_t b = 0;
    auto tagAt = [](const uint8_t* e) { return uint16_t(e[0] | e[1] << 8); };
    while (a < kOwnEntries || b < exifCount) {
        const bool takeOwn = b == exifCount ||
                             (a < kOwnEntries && tagAt(own + a * kEntrySize) < tagAt(exifEntries + b * kEntrySize));
        std::memcpy(to, takeOwn ? own + a++ * kEntrySize : exifEntries + b++ * kEntrySize, kEntrySize);
        to += kEntrySize;
    }
    StoreLittleEndian32(to, 0);  // no next directory
}

// Chooses the layout by target depth; false for a depth the file cannot hold.
bool ChooseLayout(TiffWriterState& state, uint32_t exifCount, uint64_t& dataSize) {
    const uint64_t pixels = uint64_t(uint32_t(state.converter.width)) * uint32_t(state.converter.height);
    state.entryCount = uint16_t(kOwnEntries + exifCount);
    const uint32_t valuesOffset = ValuesOffset(state.entryCount);
    state.colourMapCount = 768;
    if (state.converter.targetDepth == 24) {
        state.photometric = 2;
        dataSize = pixels * 3;
        state.bitsPerSampleCount = 3;
        state.bitsPerSampleValue = valuesOffset;
        state.xResolutionOffset = valuesOffset + 6;
        state.yResolutionOffset = valuesOffset + 14;
        state.colourMapOffset = 0;
        state.stripOffset = valuesOffset + 22;
        return true;
    }
    if (state.converter.targetDepth == 8) {
        state.photometric = 3;
        dataSize = pixels;
        state.bitsPerSampleCount = 1;
        state.bitsPerSampleValue = 8;
        state.xResolutionOffset = valuesOffset;
        state.yResolutionOffset = valuesOffset + 8;
        state.colourMapOffset = valuesOffset + 16;
        state.stripOffset = state.colourMapOffset + uint32_t(state.colourMapCount) * 2;
        return true;
    }
    return false;
}

// Repacks bottom-up 24-bit rows (blue, green, red, padded) into top-down
// red, green, blue rows without padding.
void PackRgbRows(const uint8_t* pixels, uint32_t width, uint32_t height, uint8_t* out) {
    const uint32_t stride = RowStride(width, 24);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + uint64_t(height - 1 - y) * stride;
        for (uint32_t x = 0; x < width; ++x, row += 3, out += 3) {
            out[0] = row[2];
            out[1] = row[1];
            out[2] = row[0];
        }
    }
}

uint32_t WriteRgb(TiffWriterState& state, os::File& file, const RGBQUAD* palette, const uint8_t* pixels,
                  uint8_t* data) {
    PixelConverter& converter = state.converter;
    const uint32_t width = uint32_t(converter.width);
    const uint32_t height = uint32_t(converter.height);
    uint8_t values[22];
    for (int i = 0; i < 3; ++i) StoreLittleEndian16(values + 2 * i, 8);
    PutResolution(values + 6, state.horizontalResolution);
    PutResolution(values + 14, state.verticalResolution);
    if (!os::WriteAll(file, values, sizeof values)) return kStatusCannotCreate;

    if (state.dataSize == 0) return 0;
    if (converter.sourceDepth == 24) {
        PackRgbRows(pixels, width, height, data);
        return 0;
    }
    // A palette image asked for as RGB is expanded first.
    if (converter.imageSize == 0) return kStatusConversionFailed;
    os::PixelMemory expanded;
    if (!expanded.Allocate(size_t(converter.imageSize) + 4)) return kStatusOutOfMemory;
    RGBQUAD unusedPalette[256] = {};
    if (!Convert(converter, palette, pixels, unusedPalette, expanded.Get())) return kStatusConversionFailed;
    PackRgbRows(expanded.Get(), width, height, data);
    return 0;
}

uint32_t WritePalette(TiffWriterState& state, os::File& file, const RGBQUAD* palette, const uint8_t* pixels,
                      uint8_t* data) {
    PixelConverter& converter = state.converter;
    const uint32_t width = uint32_t(converter.width);
    const uint32_t height = uint32_t(converter.height);
    uint8_t resolutions[16];
    PutResolution(resolutions, state.horizontalResolution);
    PutResolution(resolutions + 8, state.verticalResolution);
    if (!os::WriteAll(file, resolutions, sizeof resolutions)) return kStatusCannotCreate;

    RGBQUAD reduced[256] = {};
    const uint8_t* indices = nullptr;
    os::PixelMemory converted;
    converted.Allocate(size_t(converter.imageSize) + 4);
    if (state.dataSize != 0) {
        if (converter.imageSize == 0) return kStatusConversionFailed;
        if (!converted.Get()) return kStatusOutOfMemory;
        // Copies an 8-bit source; reduces a 24-bit one to at most 256 colours.
        if (!Convert(converter, palette, pixels, reduced, converted.Get())) return kStatusConversionFailed;
        indices = converted.Get();
    } else if (converter.sourceDepth == 8) {
        std::memcpy(reduced, palette, sizeof reduced);
    }

    // 256 reds, 256 greens, 256 blues; each component in the high byte.
    uint8_t colourMap[768 * 2];
    for (uint32_t i = 0; i < 256; ++i) {
        StoreLittleEndian16(colourMap + 2 * i, uint16_t(reduced[i].rgbRed << 8));
        StoreLittleEndian16(colourMap + 512 + 2 * i, uint16_t(reduced[i].rgbGreen << 8));
        StoreLittleEndian16(colourMap + 1024 + 2 * i, uint16_t(reduced[i].rgbBlue << 8));
    }
    if (!os::WriteAll(file, colourMap, sizeof colourMap)) return kStatusCannotCreate;

    const uint32_t stride = uint32_t(converter.stride);
    for (uint32_t y = 0; indices && y < height; ++y)
        std::memcpy(data + uint64_t(y) * width, indices + uint64_t(height - 1 - y) * stride, width);
    return 0;
}

uint32_t WriteFile(TiffWriterState& state, os::File& file, const RGBQUAD* palette, const uint8_t* pixels) {
    uint64_t dataSize = 0;
    const uint32_t exifCount = ExifBlockMainEntries(state.exif, state.exifSize);
    if (!ChooseLayout(state, exifCount, dataSize)) return kStatusConversionFailed;
    // A strip the file's 32-bit counts cannot describe fails like an output
    // that cannot be created.
    if (dataSize > 0xFFFFFFFFu) return kStatusCannotCreate;
    state.dataSize = uint32_t(dataSize);

    // The Exif block follows the strip, at an even offset.
    const uint64_t stripEnd = uint64_t(state.stripOffset) + state.dataSize;
    const uint32_t pad = uint32_t(stripEnd & 1);
    os::HeapMemory exif;
    if (exifCount != 0) {
        if (!exif.Allocate(state.exifSize)) return kStatusOutOfMemory;
        std::memcpy(exif.Get(), state.exif, state.exifSize);
        if (stripEnd + pad > 0xFFFFFFFFu || !RebaseExifBlock(exif.Get(), state.exifSize, uint32_t(stripEnd + pad)))
            return kStatusCannotCreate;
    }
    const uint32_t headSize = ValuesOffset(state.entryCount);
    os::HeapMemory head;
    if (!head.Allocate(headSize)) return kStatusOutOfMemory;
    const uint8_t* exifEntries = exifCount != 0 ? exif.Get() + kExifBlockMainDirectory + 2 : nullptr;
    BuildHeaderAndDirectory(state, exifEntries, exifCount, head.Get());
    if (!os::WriteAll(file, head.Get(), headSize)) return kStatusCannotCreate;

    os::PixelMemory data;
    if (!data.Allocate(size_t(state.dataSize) + 4)) return kStatusOutOfMemory;
    const uint32_t failure = state.photometric == 2 ? WriteRgb(state, file, palette, pixels, data.Get())
                                                    : WritePalette(state, file, palette, pixels, data.Get());
    if (failure) return failure;
    if (state.dataSize != 0 && !os::WriteAll(file, data.Get(), state.dataSize)) return kStatusCannotCreate;
    if (exifCount != 0) {
        static const uint8_t kZero = 0;
        if ((pad && !os::WriteAll(file, &kZero, 1)) || !os::WriteAll(file, exif.Get(), state.exifSize))
            return kStatusCannotCreate;
    }
    return 0;
}

}  // namespace

bool WriteTiffFile(TiffWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels) {
    state.writeStatus = kStatusUnspecified;
    os::File file;
    if (!os::CreateForWrite(path.Text(), file)) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    const uint32_t failure = WriteFile(state, file, palette, pixels);
    file.Close();
    if (failure) {
        state.writeStatus = failure;
        return false;
    }
    return true;
}

}  // namespace qdx
