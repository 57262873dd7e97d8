#include "codecs/read/png_rows.h"

#include <zlib.h>

#include <cstddef>
#include <cstring>

#include "codecs/common/adam7.h"
#include "codecs/common/compression_alloc.h"
#include "codecs/common/paeth_predictor.h"
#include "codecs/common/png_colour_types.h"
#include "codecs/read/png_reader.h"
#include "core/file_helpers.h"
#include "core/os/os.h"

namespace qdx {

namespace {

// Filter types: 0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth.
template <int Filter>
inline uint8_t Reconstruct(uint8_t filtered, uint8_t left, uint8_t above, uint8_t upperLeft) {
    if constexpr (Filter == 0) return filtered;
    if constexpr (Filter == 1) return uint8_t(filtered + left);
    if constexpr (Filter == 2) return uint8_t(filtered + above);
    if constexpr (Filter == 3) return uint8_t(filtered + ((left + above) >> 1));
    if constexpr (Filter == 4) return uint8_t(filtered + PaethPredictor(left, above, upperLeft));
    return filtered;
}

// Reconstructs the high byte of every sample of one pixel in place. The low
// bytes of 16-bit samples are never needed: each filter works per byte
// position, and only high bytes reach the output.
template <int Filter, int Channels, int SampleBytes, bool FirstPixel>
inline void UnfilterPixel(uint8_t* pixel, const uint8_t* above) {
    constexpr int kBytesPerPixel = Channels * SampleBytes;
    for (int channel = 0; channel < Channels; ++channel) {
        const int i = channel * SampleBytes;
        uint8_t left = 0, upperLeft = 0;
        if constexpr (!FirstPixel && Filter != 0 && Filter != 2) {
            left = pixel[i - kBytesPerPixel];
            upperLeft = above[i - kBytesPerPixel];
        }
        pixel[i] = Reconstruct<Filter>(pixel[i], left, above[i], upperLeft);
    }
}

// Writes one reconstructed pixel: grey or index bytes as they are, colour as
// blue, green, red, alpha to the alpha plane.
template <int Channels, int SampleBytes>
inline void EmitPixel(const uint8_t* pixel, uint8_t* output, uint8_t* alpha) {
    if constexpr (Channels <= 2) {
        output[0] = pixel[0];
    } else {
        output[0] = pixel[2 * SampleBytes];
        output[1] = pixel[SampleBytes];
        output[2] = pixel[0];
    }
    if constexpr (Channels == 2 || Channels == 4) *alpha = pixel[(Channels - 1) * SampleBytes];
}

// One converter per layout (channels, sample bytes) and filter type.
template <int Filter, int Channels, int SampleBytes>
void ConvertPixelRow(PngReaderState& state, uint8_t* output) {
    constexpr int kBytesPerPixel = Channels * SampleBytes;
    uint8_t* row = state.currentRow + 1;
    const uint8_t* above = state.priorRow + 1;
    const ptrdiff_t pixels = (state.rowLength - 1) / kBytesPerPixel;
    if (pixels <= 0) return;
    const ptrdiff_t step = Channels >= 3 ? state.outputPixelStep : state.pixelStep;
    const ptrdiff_t alphaStep = state.pixelStep;
    uint8_t* alpha = state.alphaRow;
    UnfilterPixel<Filter, Channels, SampleBytes, true>(row, above);
    EmitPixel<Channels, SampleBytes>(row, output, alpha);
    for (ptrdiff_t p = 1; p < pixels; ++p) {
        uint8_t* pixel = row + p * kBytesPerPixel;
        UnfilterPixel<Filter, Channels, SampleBytes, false>(pixel, above + p * kBytesPerPixel);
        EmitPixel<Channels, SampleBytes>(pixel, output + p * step,
                                         (Channels == 2 || Channels == 4) ? alpha + p * alphaStep : nullptr);
    }
}

// 1, 2 and 4 bits: the packed row is unfiltered byte by byte (distance 1) and
// each byte unpacked into one output byte per pixel.
template <int Filter>
void ConvertPackedRow(PngReaderState& state, uint8_t* output) {
    uint8_t* row = state.currentRow + 1;
    const uint8_t* above = state.priorRow + 1;
    const ptrdiff_t bytes = state.rowLength - 1;
    if (bytes <= 0) return;
    row[0] = Reconstruct<Filter>(row[0], 0, above[0], 0);
    for (ptrdiff_t j = 1; j < bytes; ++j) row[j] = Reconstruct<Filter>(row[j], row[j - 1], above[j], above[j - 1]);
    const int32_t perByte = 8 / state.bitDepth;
    const int32_t step = state.pixelStep;
    const PngByteUnpacker full = state.byteUnpackers[0];
    for (ptrdiff_t j = 0; j + 1 < bytes; ++j) output = full(row[j], output, step, perByte);
    if (state.lastBytePixels)
        state.byteUnpackers[1](row[bytes - 1], output, step, state.lastBytePixels);
    else
        full(row[bytes - 1], output, step, perByte);
}

template <int Depth>
uint8_t* UnpackByte(uint8_t packed, uint8_t* output, int32_t pixelStep, int32_t count) {
    constexpr unsigned kMask = (1u << Depth) - 1;
    for (int32_t k = 0; k < count; ++k) output[ptrdiff_t(k) * pixelStep] = uint8_t((packed >> (8 - Depth * (k + 1))) & kMask);
    return output + ptrdiff_t(count) * pixelStep;
}

template <int Channels, int SampleBytes>
void SetPixelConverters(PngRowConverter (&converters)[5]) {
    converters[0] = &ConvertPixelRow<0, Channels, SampleBytes>;
    converters[1] = &ConvertPixelRow<1, Channels, SampleBytes>;
    converters[2] = &ConvertPixelRow<2, Channels, SampleBytes>;
    converters[3] = &ConvertPixelRow<3, Channels, SampleBytes>;
    converters[4] = &ConvertPixelRow<4, Channels, SampleBytes>;
}

int ChannelCount(int colourType) {
    switch (colourType) {
        case kPngTrueColour: return 3;
        case kPngGreyAlpha: return 2;
        case kPngTrueColourAlpha: return 4;
        default: return 1;
    }
}

struct PassPlan {
    uint32_t width, height, rowBytes;
    uint32_t columnStart, columnStep, rowStart, rowStep;
};

}  // namespace

void SelectRowConverters(PngReaderState& state) {
    auto& converters = state.rowConverters;
    state.byteUnpackers[0] = state.byteUnpackers[1] = nullptr;
    if (state.bitDepth < 8) {
        converters[0] = &ConvertPackedRow<0>;
        converters[1] = &ConvertPackedRow<1>;
        converters[2] = &ConvertPackedRow<2>;
        converters[3] = &ConvertPackedRow<3>;
        converters[4] = &ConvertPackedRow<4>;
        PngByteUnpacker unpacker = state.bitDepth == 1 ? &UnpackByte<1> : state.bitDepth == 2 ? &UnpackByte<2>
                                                                                              : &UnpackByte<4>;
        state.byteUnpackers[0] = state.byteUnpackers[1] = unpacker;
        return;
    }
    const bool wide = state.bitDepth == 16;
    switch (ChannelCount(state.colourType)) {
        case 1: wide ? SetPixelConverters<1, 2>(converters) : SetPixelConverters<1, 1>(converters); break;
        case 2: wide ? SetPixelConverters<2, 2>(converters) : SetPixelConverters<2, 1>(converters); break;
        case 3: wide ? SetPixelConverters<3, 2>(converters) : SetPixelConverters<3, 1>(converters); break;
        default: wide ? SetPixelConverters<4, 2>(converters) : SetPixelConverters<4, 1>(converters); break;
    }
}

bool InflateImageData(PngReaderState& state, const uint8_t* data, uint32_t length, uint8_t* alphaPlane) {
    DecodedImage& image = *state.input.image;
    const uint32_t width = uint32_t(state.width), height = uint32_t(state.height);
    const uint32_t bitsPerPixel = uint32_t(state.bitDepth) * uint32_t(ChannelCount(state.colourType));
    const uint32_t outputBytes = state.outputBits == 24 ? 3 : 1;
    const uint32_t perByte = state.bitDepth < 8 ? 8 / uint32_t(state.bitDepth) : 0;

    PassPlan passes[7];
    int passCount = 1;
    if (state.interlace) {
        uint32_t passWidth[7], passHeight[7], passRowBytes[7];
        InterlacePassGeometry(width, height, bitsPerPixel, passWidth, passHeight, passRowBytes);
        for (int pass = 0; pass < 7; ++pass)
            passes[pass] = {passWidth[pass], passHeight[pass], passRowBytes[pass], kAdam7ColumnStart[pass],
                            kAdam7ColumnStep[pass], kAdam7RowStart[pass], kAdam7RowStep[pass]};
        passCount = 7;
    }
    // The full-width row is the longest of any pass.
    uint64_t packed = 0;
    switch (bitsPerPixel) {
        case 1: packed = (uint64_t(width) + 7) / 8; break;
        case 2: packed = (uint64_t(width) + 3) / 4; break;
        case 4: packed = (uint64_t(width) + 1) / 2; break;
        default: packed = uint64_t(width) * (bitsPerPixel / 8); break;
    }
    const uint64_t fullRowLength = packed + 1;
    if (!state.interlace)
        passes[0] = {width, height, uint32_t(fullRowLength > 0xFFFFFFFFu ? 0 : fullRowLength), 0, 1, 0, 1};
    // Both rows in one block; a row longer than a signed 32-bit count cannot be
    // held, which for a valid image means the memory is not there either.
    if (fullRowLength > 0x3FFFFFFFu) {
        state.input.status = kStatusOutOfMemory;
        return false;
    }

    z_stream stream{};
    stream.zalloc = &CompressionAlloc;
    stream.zfree = &CompressionFree;
    if (inflateInit2_(&stream, 15, "1.2.8", int(sizeof(z_stream))) != Z_OK) {
        state.input.status = kPngInflateFailed;
        return false;
    }
    os::HeapMemory rowPair;
    if (!rowPair.Allocate(uint64_t(fullRowLength) * 2)) {
        inflateEnd(&stream);
        state.input.status = kStatusOutOfMemory;
        return false;
    }
    uint8_t* rows = rowPair.Get();
    state.currentRow = rows;
    state.priorRow = rows + fullRowLength;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = length;

    const ptrdiff_t stride = state.outputStride;
    bool finished = false;
    for (int pass = 0; pass < passCount && !finished; ++pass) {
        const PassPlan& plan = passes[pass];
        if (plan.width == 0 || plan.height == 0 || plan.rowBytes == 0) continue;
        state.rowLength = int32_t(plan.rowBytes);
        state.pixelStep = int32_t(plan.columnStep);
        state.outputPixelStep = int32_t(3 * plan.columnStep);
        state.lastBytePixels = perByte ? int32_t(plan.width % perByte) : 0;
        std::memset(rows, 0, size_t(fullRowLength) * 2);
        // The top image row is the last row in memory.
        ptrdiff_t outputOffset = ptrdiff_t(height - 1 - plan.rowStart) * stride + ptrdiff_t(plan.columnStart) * outputBytes;
        ptrdiff_t alphaOffset = ptrdiff_t(height - 1 - plan.rowStart) * ptrdiff_t(width) + ptrdiff_t(plan.columnStart);
        for (uint32_t r = 0; r < plan.height; ++r) {
            stream.next_out = state.currentRow;
            stream.avail_out = plan.rowBytes;
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) {
                state.input.status = kPngInflateFailed;
                finished = true;
                break;
            }
            // The input ran out before the row was complete and the stream
            // has not ended: the data is cut off.
            if (result == Z_OK && stream.avail_out != 0) {
                state.input.status = kPngInflateFailed;
                finished = true;
                break;
            }
            if (stream.avail_out != plan.rowBytes) {
                state.alphaRow = alphaPlane ? alphaPlane + alphaOffset : nullptr;
                const uint8_t filter = state.currentRow[0];
                state.rowConverters[filter > 4 ? 0 : filter](state, image.pixels.Get() + outputOffset);
                std::memcpy(state.priorRow + 1, state.currentRow + 1, plan.rowBytes - 1);
            }
            if (result == Z_STREAM_END) {
                finished = true;
                break;
            }
            outputOffset -= ptrdiff_t(plan.rowStep) * stride;
            alphaOffset -= ptrdiff_t(plan.rowStep) * ptrdiff_t(width);
        }
    }
    state.currentRow = state.priorRow = nullptr;
    state.alphaRow = nullptr;
    inflateEnd(&stream);
    return state.input.status == kStatusUnspecified;
}

}  // namespace qdx
