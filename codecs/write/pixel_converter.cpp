#include "codecs/write/pixel_converter.h"

#include <cstring>

#include "codecs/write/colour_reduction.h"
#include "core/file_helpers.h"
#include "core/os/os.h"

namespace qdx {

namespace {

// Bytes from one row to the next of a stored image: rows padded to 4 bytes.
inline uint64_t PaddedRow(uint64_t bytes) { return (bytes + 3) & ~uint64_t(3); }

// The working copy lives only for one reduction.
struct WorkBufferScope {
    PixelConverter& converter;
    ~WorkBufferScope() { converter.workBuffer.Reset(); }
};

// Fills the 32-bit working copy (blue, green, red, 0 per pixel, rows of
// 4 * width bytes in the image's row order) from 8- or 24-bit pixels. False
// when its size does not fit in 32 bits or memory is short.
bool MakeWorkingCopy(PixelConverter& converter, const RGBQUAD* paletteIn, const uint8_t* pixelsIn) {
    const uint32_t width = uint32_t(converter.width);
    const uint32_t height = uint32_t(converter.height);
    uint32_t workRow = 0, workSize = 0, allocation = 0;
    if (width == 0 || height == 0 || !CheckedMul32(width, 4, workRow) || !CheckedMul32(workRow, height, workSize) ||
        !CheckedAdd32(workSize, 4, allocation))
        return false;
    converter.workStride = int32_t(workRow);
    if (!converter.workBuffer.Allocate(allocation)) return false;
    const uint64_t sourceStride = PaddedRow(uint64_t(width) * (converter.sourceDepth / 8));
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* source = pixelsIn + y * sourceStride;
        uint8_t* work = converter.workBuffer.Get() + uint64_t(y) * workRow;
        if (converter.sourceDepth == 24) {
            for (uint32_t x = 0; x < width; ++x, source += 3, work += 4) {
                work[0] = source[0];
                work[1] = source[1];
                work[2] = source[2];
                work[3] = 0;
            }
        } else {
            for (uint32_t x = 0; x < width; ++x, work += 4) {
                const RGBQUAD& entry = paletteIn[source[x]];
                work[0] = entry.rgbBlue;
                work[1] = entry.rgbGreen;
                work[2] = entry.rgbRed;
                work[3] = 0;
            }
        }
    }
    return true;
}

// Builds the palette of at most 256 colours for the working copy and writes
// one index per pixel, rows `outStride` bytes apart (padding bytes 0).
bool ReduceWorkingCopy(PixelConverter& converter, RGBQUAD* paletteOut, uint8_t* indicesOut, uint64_t outStride) {
    const uint32_t width = uint32_t(converter.width);
    const uint32_t height = uint32_t(converter.height);
    const uint32_t pixelCount = width * height;  // the working copy's size fits in 32 bits
    ColourSet colours;
    const uint32_t count = colours.Mark(pixelCount, converter.workBuffer.Get());
    if (count == 0) return false;
    RGBQUAD palette[256] = {};
    if (count <= 256) {
        BuildExactPalette(converter, count, palette);
        ExactColourIndex lookup;
        lookup.Build(palette);
        uint32_t lastColour = 0xFFFFFFFFu, lastIndex = 0;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* work = converter.workBuffer.Get() + uint64_t(y) * converter.workStride;
            uint8_t* out = indicesOut + y * outStride;
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t colour = LoadWorkColour(work + 4 * x);
                if (colour != lastColour) {
                    lastColour = colour;
                    lastIndex = lookup.Find(colour);
                }
                out[x] = uint8_t(lastIndex);
            }
            for (uint64_t x = width; x < outStride; ++x) out[x] = 0;
        }
    } else {
        // The median cut and the nearest search work once per distinct
        // colour; the pixels then look their index up by the colour's rank.
        if (!MedianCutAccepts(pixelCount) || !colours.Rank()) return false;
        const os::PixelArray<uint64_t> weighted = colours.WeightedColours(pixelCount, converter.workBuffer.Get());
        if (!weighted) return false;
        bool done = MedianCutWeighted(weighted.Get(), count, 256, palette);
        NearestColourSearch search;
        os::PixelMemory rankIndices;
        done = done && rankIndices.Allocate(uint64_t(count) + 4) &&
               search.Prepare(converter.squaredDifference.Get(), palette, 256);
        uint8_t* indexByRank = rankIndices.Get();
        if (done) {
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t colour = uint32_t(weighted[i]);
                indexByRank[colours.RankOf(colour)] = uint8_t(search.Find(colour));
            }
            for (uint32_t y = 0; y < height; ++y) {
                const uint8_t* work = converter.workBuffer.Get() + uint64_t(y) * converter.workStride;
                uint8_t* out = indicesOut + y * outStride;
                for (uint32_t x = 0; x < width; ++x) out[x] = indexByRank[colours.RankOf(LoadWorkColour(work + 4 * x))];
                for (uint64_t x = width; x < outStride; ++x) out[x] = 0;
            }
        }
        if (!done) return false;
    }
    std::memcpy(paletteOut, palette, sizeof palette);
    return true;
}

}  // namespace

void SetLayout(PixelConverter& converter, uint32_t sourceDepth, uint32_t targetDepth) {
    converter.sourceDepth = sourceDepth;
    converter.targetDepth = targetDepth;
    if (converter.width < 0) converter.width = 0;
    if (converter.height < 0) converter.height = 0;
    uint64_t rowBytes = 0;
    if (targetDepth == 8) rowBytes = uint64_t(converter.width);
    if (targetDepth == 24) rowBytes = 3 * uint64_t(converter.width);
    uint64_t stride = PaddedRow(rowBytes);
    if (stride > 0x7FFFFFFFu) rowBytes = stride = 0;  // a row must fit the signed 32-bit fields
    converter.rowBytes = int32_t(rowBytes);
    converter.stride = int32_t(stride);
    const uint64_t imageSize = stride * uint64_t(converter.height);
    converter.imageSize = imageSize > 0xFFFFFFFFu ? 0 : uint32_t(imageSize);
}

void SetLayoutFor(PixelConverter& converter, const BITMAPINFOHEADER& header, uint32_t targetDepth) {
    converter.width = header.biWidth;
    converter.height = header.biHeight;
    SetLayout(converter, header.biBitCount, targetDepth);
}

bool Convert(PixelConverter& converter, const RGBQUAD* paletteIn, const uint8_t* pixelsIn, RGBQUAD* paletteOut,
             uint8_t* pixelsOut) {
    const uint32_t source = converter.sourceDepth;
    const uint32_t target = converter.targetDepth;
    converter.paletteIn = paletteIn;
    converter.pixelsIn = pixelsIn;
    converter.paletteOut = paletteOut;
    converter.pixelsOut = pixelsOut;
    if (source == 8 && target == 8) {
        std::memcpy(paletteOut, paletteIn, 256 * sizeof(RGBQUAD));
        if (converter.imageSize) std::memcpy(pixelsOut, pixelsIn, converter.imageSize);
        return true;
    }
    if (source == 24 && target == 24) {
        if (converter.imageSize) std::memcpy(pixelsOut, pixelsIn, converter.imageSize);
        return true;
    }
    // The converting pairs write whole rows at the target stride: a size
    // that did not fit (imageSize 0) would write past the caller's buffer.
    const uint32_t width = uint32_t(converter.width);
    const uint32_t height = uint32_t(converter.height);
    if (converter.imageSize == 0 || width == 0 || height == 0) return false;
    const uint64_t outStride = uint32_t(converter.stride);
    if (source == 8 && target == 24) {
        const uint64_t sourceStride = PaddedRow(width);
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* in = pixelsIn + y * sourceStride;
            uint8_t* out = pixelsOut + y * outStride;
            for (uint32_t x = 0; x < width; ++x, out += 3) {
                const RGBQUAD& entry = paletteIn[in[x]];
                out[0] = entry.rgbBlue;
                out[1] = entry.rgbGreen;
                out[2] = entry.rgbRed;
            }
            for (uint64_t x = 3 * uint64_t(width); x < outStride; ++x, ++out) *out = 0;
        }
        return true;
    }
    if (source == 24 && target == 8) {
        if (!EnsureSquaredDifferenceTable(converter)) return false;
        WorkBufferScope scope{converter};
        if (!MakeWorkingCopy(converter, paletteIn, pixelsIn)) return false;
        return ReduceWorkingCopy(converter, paletteOut, pixelsOut, outStride);
    }
    return false;
}

bool ReduceForGif(PixelConverter& converter, const RGBQUAD* paletteIn, const uint8_t* pixelsIn, RGBQUAD* paletteOut,
                  uint8_t* indexBuffer) {
    if (converter.sourceDepth != 8 && converter.sourceDepth != 24) return false;
    if (converter.width > 1073741823) return false;
    converter.paletteIn = paletteIn;
    converter.pixelsIn = pixelsIn;
    converter.paletteOut = paletteOut;
    converter.pixelsOut = indexBuffer;
    if (!EnsureSquaredDifferenceTable(converter)) return false;
    WorkBufferScope scope{converter};
    if (!MakeWorkingCopy(converter, paletteIn, pixelsIn)) return false;
    return ReduceWorkingCopy(converter, paletteOut, indexBuffer, uint32_t(converter.width));
}

}  // namespace qdx
