#include "codecs/read/bmp_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/common/input_kind.h"
#include "core/file_helpers.h"
#include "core/wide_string.h"

namespace qdx {

namespace {

constexpr uint32_t kHeadersSize = 54;   // file header (14) + info header (40)
constexpr uint32_t kMaskBytes = 12;     // three 32-bit masks after the info header
constexpr uint32_t kBitFields = 3;      // compression: colour masks

// Everything the parse needs about the mapped file.
struct BmpFile {
    const uint8_t* data;
    uint64_t size;
    uint32_t pixelOffset;  // bfOffBits
};

// Bytes of the file from `offset` on, at most `wanted`.
uint64_t BytesFrom(const BmpFile& file, uint64_t offset, uint64_t wanted) {
    return offset >= file.size ? 0 : std::min(wanted, file.size - offset);
}

// Colour-table entries: biClrUsed, or all the depth can index when it is 0.
// A table never has more than 256 useful entries; a larger count is cut to 256
// so that it can neither overrun the palette nor make the length sums wrap.
uint32_t TableEntries(const BITMAPINFOHEADER& info, uint32_t depthEntries) {
    if (info.biClrUsed == 0) return depthEntries;
    return std::min<uint32_t>(info.biClrUsed, 256);
}

void CopyPalette(const BmpFile& file, uint32_t entries, DecodedImage& image) {
    std::memcpy(image.palette, file.data + kHeadersSize, size_t(entries) * 4);
}

void FillHeader(const BITMAPINFOHEADER& info, uint16_t bitCount, DecodedImage& image) {
    SetImageHeader(image, info.biWidth, info.biHeight, bitCount);
    image.header.biXPelsPerMeter = std::max(info.biXPelsPerMeter, 0);
    image.header.biYPelsPerMeter = std::max(info.biYPelsPerMeter, 0);
}

// 1 and 4 bits: one index byte per pixel, leftmost pixel in the high bits.
// The table, read as T bytes, lends its first 2 or 16 entries; entries the
// table does not hold stay 0.
bool ReadPackedIndices(BmpReaderState& state, const BmpFile& file, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    const uint32_t bits = info.biBitCount;
    const uint32_t width = uint32_t(info.biWidth), height = uint32_t(info.biHeight);
    const uint32_t entries = TableEntries(info, bits == 1 ? 2 : 16);
    const uint64_t fileStride = ((uint64_t(width) * bits + 7) / 8 + 3) & ~uint64_t(3);
    if (file.size < kHeadersSize + uint64_t(entries) * 4 + fileStride * height) {
        state.input.status = kStatusCannotOpen;
        return false;
    }
    uint32_t bufferSize = 0;
    if (!PixelBufferSize(width, height, 8, bufferSize)) {
        state.input.status = kStatusUnsupported;
        return false;
    }
    image.pixels = AllocatePixelBuffer(width, height, 8);
    if (!image.pixels) {
        state.input.status = kStatusOutOfMemory;
        return false;
    }
    CopyPalette(file, std::min<uint32_t>(entries, 1u << bits), image);
    FillHeader(info, 8, image);

    const uint32_t stride = RowStride(width, 8);
    const uint32_t pixelsPerByte = 8 / bits;
    const uint32_t mask = (1u << bits) - 1;
    for (uint32_t y = 0; y < height; ++y) {
        const uint64_t rowOffset = file.pixelOffset + uint64_t(y) * fileStride;
        // A pixel array that starts late may run past the end of the file:
        // pixels whose byte is missing stay 0, like a short 8- or 24-bit file.
        const uint64_t available = BytesFrom(file, rowOffset, fileStride);
        const uint8_t* in = file.data + rowOffset;
        uint8_t* out = image.pixels + uint64_t(y) * stride;
        const uint32_t present = uint32_t(std::min<uint64_t>(width, available * pixelsPerByte));
        for (uint32_t x = 0; x < present; ++x) {
            const uint32_t shift = 8 - bits - (x % pixelsPerByte) * bits;
            out[x] = uint8_t((in[x / pixelsPerByte] >> shift) & mask);
        }
    }
    return true;
}

// 8 and 24 bits: the rows are already in the stored layout.
bool ReadStoredRows(BmpReaderState& state, const BmpFile& file, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    const uint32_t bits = info.biBitCount;
    const uint32_t width = uint32_t(info.biWidth), height = uint32_t(info.biHeight);
    const uint32_t entries = bits == 8 ? TableEntries(info, 256) : 0;
    uint32_t bufferSize = 0;
    if (!PixelBufferSize(width, height, bits, bufferSize)) {
        state.input.status = kStatusUnsupported;
        return false;
    }
    const uint64_t imageBytes = uint64_t(RowStride(width, bits)) * height;
    if (file.size < kHeadersSize + uint64_t(entries) * 4 + imageBytes) {
        state.input.status = kStatusCannotOpen;
        return false;
    }
    image.pixels = AllocatePixelBuffer(width, height, bits);
    if (!image.pixels) {
        state.input.status = kStatusOutOfMemory;
        return false;
    }
    if (bits == 8) CopyPalette(file, entries, image);
    FillHeader(info, uint16_t(bits), image);
    // Never beyond the end of the file; what is missing (the topmost rows of a
    // pixel array that starts late) stays black.
    std::memcpy(image.pixels, file.data + file.pixelOffset, size_t(BytesFrom(file, file.pixelOffset, imageBytes)));
    return true;
}

// Bit length of a value: position of its highest set bit plus one.
uint32_t BitLength(uint32_t v) { return 32u - uint32_t(std::countl_zero(v)); }
// Shifting by the whole width or more leaves nothing.
uint32_t ShiftRight(uint32_t v, uint32_t shift) { return shift >= 32 ? 0 : v >> shift; }

// 16 and 32 bits through three masks to 24 bits. The fields are taken to lie
// blue lowest, green above it and red above green; each is scaled to 0..255.
bool ReadMaskedPixels(BmpReaderState& state, const BmpFile& file, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    const uint32_t bits = info.biBitCount;
    const uint32_t width = uint32_t(info.biWidth), height = uint32_t(info.biHeight);
    const bool hasMasks = info.biCompression == kBitFields;
    if (hasMasks && file.size < kHeadersSize + kMaskBytes) {
        state.input.status = kStatusCannotOpen;
        return false;
    }
    uint32_t redMask = bits == 32 ? 0x00FF0000u : 0x7C00u;
    uint32_t greenMask = bits == 32 ? 0x0000FF00u : 0x03E0u;
    uint32_t blueMask = bits == 32 ? 0x000000FFu : 0x001Fu;
    if (hasMasks) {
        redMask = LoadLittleEndian32(file.data + kHeadersSize);
        greenMask = LoadLittleEndian32(file.data + kHeadersSize + 4);
        blueMask = LoadLittleEndian32(file.data + kHeadersSize + 8);
    }
    uint32_t bufferSize = 0;
    if (!PixelBufferSize(width, height, 24, bufferSize)) {
        state.input.status = kStatusUnsupported;
        return false;
    }
    // A file too short for its masks and rows is refused, as for 1 and 4 bits.
    const uint32_t pixelBytes = bits / 8;
    const uint64_t fileStride = (uint64_t(width) * pixelBytes + 3) & ~uint64_t(3);
    if (file.size < kHeadersSize + (hasMasks ? kMaskBytes : 0) + fileStride * height) {
        state.input.status = kStatusCannotOpen;
        return false;
    }
    FillHeader(info, 24, image);
    image.pixels = AllocatePixelBuffer(width, height, 24);
    if (!image.pixels) {
        state.input.status = kStatusOutOfMemory;
        return false;
    }

    const uint32_t blueBits = std::max(BitLength(blueMask), 1u);
    const uint32_t greenBits = std::max(BitLength(ShiftRight(greenMask, blueBits)), 1u);
    const uint32_t redBits = std::max(BitLength(ShiftRight(redMask, blueBits + greenBits)), 1u);
    if (blueBits >= 32 || greenBits >= 32 || redBits >= 32) {
        // No range fits the 32-bit arithmetic: the picture stays black.
        state.input.status = kStatusCannotOpen;
        return true;
    }
    const uint32_t blueRange = (1u << blueBits) - 1;
    const uint32_t greenRange = (1u << greenBits) - 1;
    const uint32_t redRange = (1u << redBits) - 1;

    const uint32_t stride = RowStride(width, 24);
    for (uint32_t y = 0; y < height; ++y) {
        const uint64_t rowOffset = file.pixelOffset + uint64_t(y) * fileStride;
        // Only pixels lying wholly inside the file; the rest stay black.
        const uint64_t available = BytesFrom(file, rowOffset, fileStride);
        const uint32_t present = uint32_t(std::min<uint64_t>(width, available / pixelBytes));
        const uint8_t* in = file.data + rowOffset;
        uint8_t* out = image.pixels + uint64_t(y) * stride;
        for (uint32_t x = 0; x < present; ++x, in += pixelBytes, out += 3) {
            const uint32_t v = pixelBytes == 2 ? LoadLittleEndian16(in) : LoadLittleEndian32(in);
            // Unsigned 32-bit products: a wide field wraps as it would in the
            // original arithmetic.
            out[0] = uint8_t((v & blueMask) * 255u / blueRange);
            out[1] = uint8_t(ShiftRight(v & greenMask, blueBits) * 255u / greenRange);
            out[2] = uint8_t(ShiftRight(v & redMask, blueBits + greenBits) * 255u / redRange);
        }
    }
    return true;
}

bool ParseBmp(BmpReaderState& state, const uint8_t* data, uint64_t size, DecodedImage& image) {
    MappedInput& input = state.input;
    const BmpFile file{data, size, size >= kHeadersSize ? LoadLittleEndian32(data + 10) : 0};
    if (file.size < kHeadersSize || file.pixelOffset > file.size) {
        input.status = kStatusCannotOpen;
        return false;
    }
    std::memcpy(&state.info, file.data + 14, sizeof state.info);
    const BITMAPINFOHEADER& info = state.info;
    if (info.biWidth < 1 || info.biHeight < 1) {  // top-down bitmaps too
        input.status = kStatusUnsupported;
        return false;
    }
    image.sourceBitDepth = info.biBitCount;
    const uint32_t compression = info.biCompression;
    switch (info.biBitCount) {
        case 1:
        case 4:
            if (compression != 0) break;
            return ReadPackedIndices(state, file, image);
        case 8:
        case 24:
            if (compression != 0) break;
            return ReadStoredRows(state, file, image);
        case 16:
        case 32:
            if (compression != 0 && compression != kBitFields) break;
            return ReadMaskedPixels(state, file, image);
        default:
            break;
    }
    input.status = kStatusUnsupported;
    return false;
}

}  // namespace

bool DecodeBmpBytes(BmpReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    state.input.status = kStatusUnspecified;
    std::memset(image.palette, 0, sizeof image.palette);
    image.pixels = nullptr;
    image.fileSize = size;
    if (!ParseBmp(state, data, size, image)) {
        ReleasePixels(image);
        return false;
    }
    image.sourceKind = kInputBmp;
    return true;
}

bool ReadBmpImage(BmpReaderState& state, const WideString& path, DecodedImage* image) {
    MappedInput& input = state.input;
    input.status = kStatusUnspecified;
    // A record this state allocated for an earlier read goes before the
    // next one replaces it.
    CloseMappedInput(input);
    if (!PrepareImageRecord(input, image)) return false;
    DecodedImage& record = *input.image;
    const uint32_t size = OpenAndMapInput(input, path);
    if (size == 0) {
        CloseMappedInput(input);
        return false;
    }
    record.fileSize = size;
    if (!ParseBmp(state, input.dataStart, size, record)) {
        ReleasePixels(record);
        CloseMappedInput(input);
        return false;
    }
    record.sourceKind = kInputBmp;
    FinishMappedRead(input);
    return true;
}

}  // namespace qdx
