#pragma once
// Shared by the PNG fuzz targets: the input goes to a temporary file (the
// reader maps files) and through the reader with a state reused like the
// batch reuses it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/read/blend_table.h"
#include "codecs/read/png_reader.h"
#include "core/os/os.h"
#include "core/os/wide_string.h"

namespace qdx::fuzz {

inline bool TooLarge(const uint8_t* data, size_t size) {
    if (size < 24) return false;
    const uint64_t width = (uint32_t(data[16]) << 24) | (uint32_t(data[17]) << 16) | (uint32_t(data[18]) << 8) | data[19];
    const uint64_t height = (uint32_t(data[20]) << 24) | (uint32_t(data[21]) << 16) | (uint32_t(data[22]) << 8) | data[23];
    return width * height > (uint64_t(1) << 24) || width > (uint64_t(1) << 22);
}

inline WideString& InputPath() {
    static WideString path;
    if (path.IsEmpty()) {
        WideString folder;
        if (os::TemporaryFolder(folder) && os::CreateTemporaryFile(folder, path))
            std::atexit([] { os::RemoveFile(InputPath().Text()); });
    }
    return path;
}

inline void ReadPngInput(const uint8_t* data, size_t size) {
    if (size == 0 || TooLarge(data, size)) return;
    WideString& path = InputPath();
    {
        os::File file;
        if (path.IsEmpty() || !os::CreateForWrite(path.Text(), file) || !os::WriteAll(file, data, uint32_t(size))) return;
    }
    static BlendTable table;
    static bool built = false;
    if (!built) {
        BuildBlendTable(table);
        built = true;
    }
    static PngReaderState state;
    state.flattenTransparency = 1;
    state.useOwnBackground = uint8_t(size & 1);
    state.blendTable = (size & 2) ? &table : nullptr;
    DecodedImage image;
    if (ReadPngImage(state, path, &image)) {
        // Every byte of every row is read, so unwritten or misplaced rows show.
        const uint32_t bytes =
            RowStride(uint32_t(image.header.biWidth), image.header.biBitCount) * uint32_t(image.header.biHeight);
        volatile uint32_t sum = 0;
        for (uint32_t i = 0; i < bytes; ++i) sum = sum + image.pixels.Get()[i];
    }
}

}  // namespace qdx::fuzz
