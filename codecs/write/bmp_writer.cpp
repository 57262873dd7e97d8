#include "codecs/write/bmp_writer.h"

#include <cstring>

#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

// Fills the two headers for the converter's target layout; `entries` is the
// colour-table size (256 at 8 bits, 0 at 24).
void FillHeaders(BmpWriterState& state, uint32_t entries) {
    const PixelConverter& converter = state.converter;
    const uint32_t tableBytes = 4 * entries;
    uint8_t* file = state.fileHeader;
    StoreLittleEndian16(file + 0, 0x4D42);  // "BM"
    StoreLittleEndian32(file + 2, 54 + tableBytes + converter.imageSize);
    StoreLittleEndian32(file + 6, 0);
    StoreLittleEndian32(file + 10, 54 + tableBytes);
    uint8_t* info = state.infoHeader;
    StoreLittleEndian32(info + 0, 40);
    StoreLittleEndian32(info + 4, uint32_t(converter.width));
    StoreLittleEndian32(info + 8, uint32_t(converter.height));  // positive: bottom row first
    StoreLittleEndian16(info + 12, 1);
    StoreLittleEndian16(info + 14, uint16_t(converter.targetDepth));
    StoreLittleEndian32(info + 16, 0);  // uncompressed
    StoreLittleEndian32(info + 20, 0);
    StoreLittleEndian32(info + 24, uint32_t(state.horizontalResolution));
    StoreLittleEndian32(info + 28, uint32_t(state.verticalResolution));
    StoreLittleEndian32(info + 32, entries);
    StoreLittleEndian32(info + 36, 0);
}

bool WriteContents(BmpWriterState& state, os::File& file, uint32_t entries, const RGBQUAD* palette,
                   const uint8_t* pixels) {
    FillHeaders(state, entries);
    return os::WriteAll(file, state.fileHeader, sizeof state.fileHeader) &&
           os::WriteAll(file, state.infoHeader, sizeof state.infoHeader) &&
           (entries == 0 || os::WriteAll(file, palette, 4 * entries)) &&
           os::WriteAll(file, pixels, state.converter.imageSize);
}

}  // namespace

bool WriteBmpFile(BmpWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels) {
    state.writeStatus = kStatusUnspecified;
    os::File file;
    if (!os::CreateForWrite(path.Text(), file)) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    PixelConverter& converter = state.converter;
    const uint32_t size = converter.imageSize;
    const uint32_t entries = converter.targetDepth == 8 ? 256 : 0;
    // A write that does not complete (a full disk) must not pass for a good
    // file: the batch would copy a truncated bitmap.
    bool written = false;
    if (converter.sourceDepth == converter.targetDepth) {
        if (size == 0) {
            state.writeStatus = kStatusOutOfMemory;
            return false;
        }
        written = WriteContents(state, file, entries, palette, pixels);
    } else {
        os::PixelMemory converted;
        if (!converted.Allocate(uint64_t(size) + 4)) {
            state.writeStatus = kStatusOutOfMemory;
            return false;
        }
        RGBQUAD convertedPalette[256];
        std::memset(convertedPalette, 0, sizeof convertedPalette);
        if (!Convert(converter, palette, pixels, convertedPalette, converted.Get())) {
            state.writeStatus = kStatusConversionFailed;
            return false;
        }
        written = WriteContents(state, file, entries, convertedPalette, converted.Get());
    }
    if (!written) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    return true;
}

}  // namespace qdx
