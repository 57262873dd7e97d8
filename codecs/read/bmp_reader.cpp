#include "codecs/read/bmp_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/common/input_kind.h"
#include "codecs/read/alpha_flatten.h"
#include "codecs/read/bmp_rle.h"
#include "core/file_helpers.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kHeadersSize = 54;   // file header (14) + info header (40)
constexpr uint32_t kMaskBytes = 12;     // three 32-bit masks after the info header
constexpr uint32_t kAlphaMaskOffset = 66;  // the fourth mask, after red, green, blue
// Compression codes.
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 4 + 2;  // four masks, alpha the fourth
// Info header sizes: the OS/2 1.x core header has 16-bit sizes and 3-byte
// colour-table entries; the OS/2 2.x header may be cut anywhere from 16 bytes
// on and is 64 bytes whole; the Windows headers are 40, 52, 56, 108 and 124.
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kOs2MinHeaderSize = 16;
constexpr uint32_t kOs2HeaderSize = 64;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV3HeaderSize = 56;  // the first with an alpha mask
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
constexpr uint32_t kV2HeaderSize = 52;

// Everything the parse needs about the mapped file.
struct BmpFile {
    const uint8_t* data;
    uint64_t size;
    uint32_t pixelOffset;  // bfOffBits
    uint64_t tableOffset = kHeadersSize;  // where the colour table starts
    uint32_t tableEntryBytes = 4;         // 3 for the OS/2 1.x header
    uint32_t headerSize = kInfoHeaderSize;
    bool os2 = false;  // an OS/2 header: compression 3 and 4 mean other things there
    bool topDown = false;
};

// Where the length checks take the colour table to start: the true place for
// the short OS/2 headers, offset 54 for every longer header (reads of the
// table and the pixels are bounded by the file on their own).
uint64_t CheckedTableStart(const BmpFile& file) { return std::min<uint64_t>(file.tableOffset, kHeadersSize); }

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

// Colour-table entries as stored (blue, green, red, and reserved unless the
// entries are 3 bytes); entries past the end of the file stay 0.
void CopyPalette(const BmpFile& file, uint32_t entries, DecodedImage& image) {
    const uint32_t entryBytes = file.tableEntryBytes;
    const uint64_t present = BytesFrom(file, file.tableOffset, uint64_t(entries) * entryBytes) / entryBytes;
    const uint8_t* table = file.data + file.tableOffset;
    for (uint64_t k = 0; k < present; ++k, table += entryBytes)
        image.palette[k] = RGBQUAD{table[0], table[1], table[2], uint8_t(entryBytes == 4 ? table[3] : 0)};
}

void FillHeader(const BITMAPINFOHEADER& info, uint16_t bitCount, DecodedImage& image) {
    SetImageHeader(image, info.biWidth, info.biHeight, bitCount);
    image.header.biXPelsPerMeter = std::max(info.biXPelsPerMeter, 0);
    image.header.biYPelsPerMeter = std::max(info.biYPelsPerMeter, 0);
}

// A zeroed picture of one index byte per pixel with the file's first
// `entries` colours (at most as many as the depth indexes); false with the
// status set when its size does not fit or memory is short.
bool StartIndexedPicture(BmpReaderState& state, const BmpFile& file, uint32_t entries, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    const uint32_t width = uint32_t(info.biWidth), height = uint32_t(info.biHeight);
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
    CopyPalette(file, std::min<uint32_t>(entries, 1u << info.biBitCount), image);
    FillHeader(info, 8, image);
    return true;
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
    if (file.size < CheckedTableStart(file) + uint64_t(entries) * file.tableEntryBytes + fileStride * height) {
        state.input.status = kStatusCannotOpen;
        return false;
    }
    if (!StartIndexedPicture(state, file, entries, image)) return false;

    const uint32_t stride = RowStride(width, 8);
    const uint32_t pixelsPerByte = 8 / bits;
    const uint32_t mask = (1u << bits) - 1;
    for (uint32_t y = 0; y < height; ++y) {
        const uint64_t rowOffset = file.pixelOffset + uint64_t(y) * fileStride;
        // A pixel array that starts late may run past the end of the file:
        // pixels whose byte is missing stay 0, like a short 8- or 24-bit file.
        const uint64_t available = BytesFrom(file, rowOffset, fileStride);
        const uint8_t* in = file.data + rowOffset;
        uint8_t* out = image.pixels.Get() + uint64_t(y) * stride;
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
    if (file.size < CheckedTableStart(file) + uint64_t(entries) * file.tableEntryBytes + imageBytes) {
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
    std::memcpy(image.pixels.Get(), file.data + file.pixelOffset,
                size_t(BytesFrom(file, file.pixelOffset, imageBytes)));
    return true;
}

// Bit length of a value: position of its highest set bit plus one.
uint32_t BitLength(uint32_t v) { return 32u - uint32_t(std::countl_zero(v)); }
// Shifting by the whole width or more leaves nothing.
uint32_t ShiftRight(uint32_t v, uint32_t shift) { return shift >= 32 ? 0 : v >> shift; }

// One colour field wherever its mask lies: shifted down to bit 0 and scaled to
// 0..255 (a mask of nothing gives 0).
struct MaskField {
    uint32_t mask = 0, shift = 0;
    uint64_t range = 0;
    explicit MaskField(uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = uint32_t(std::countr_zero(m));
        range = (uint64_t(1) << BitLength(m >> shift)) - 1;
    }
    uint8_t Scaled(uint32_t v) const { return range == 0 ? 0 : uint8_t(uint64_t((v & mask) >> shift) * 255u / range); }
};

// The packed field widths assume blue lowest, green directly above it and red
// above green. Masks that do not overlap but start elsewhere (red in the top
// byte, say) are read where they lie instead; the packed reading stays for
// everything else, overlapping or empty masks included.
bool MasksArePacked(uint32_t red, uint32_t green, uint32_t blue, uint32_t greenBits, uint32_t blueBits) {
    if ((red & green) || (red & blue) || (green & blue)) return true;
    const auto startsAt = [](uint32_t mask, uint32_t bit) { return mask == 0 || uint32_t(std::countr_zero(mask)) == bit; };
    return startsAt(blue, 0) && startsAt(green, blueBits) && startsAt(red, blueBits + greenBits);
}

// 16 and 32 bits through three masks to 24 bits. The fields are taken to lie
// blue lowest, green above it and red above green; each is scaled to 0..255.
bool ReadMaskedPixels(BmpReaderState& state, const BmpFile& file, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    const uint32_t bits = info.biBitCount;
    const uint32_t width = uint32_t(info.biWidth), height = uint32_t(info.biHeight);
    const bool hasMasks = info.biCompression == kBitFields || info.biCompression == kAlphaBitFields;
    if (hasMasks && file.size < kHeadersSize + kMaskBytes) {
        state.input.status = kStatusCannotOpen;
        return false;
    }
    uint32_t redMask = bits == 32 ? 0x00FF0000u : 0x7C00u;
    uint32_t greenMask = bits == 32 ? 0x0000FF00u : 0x03E0u;
    uint32_t blueMask = bits == 32 ? 0x000000FFu : 0x001Fu;
    uint32_t alphaMask = 0;
    if (hasMasks) {
        redMask = LoadLittleEndian32(file.data + kHeadersSize);
        greenMask = LoadLittleEndian32(file.data + kHeadersSize + 4);
        blueMask = LoadLittleEndian32(file.data + kHeadersSize + 8);
        // The fourth mask: inside the V3, V4 and V5 headers, or after the
        // three others with the four-mask compression.
        const bool alphaStored = info.biCompression == kAlphaBitFields ||
                                 file.headerSize == kV3HeaderSize || file.headerSize == kV4HeaderSize ||
                                 file.headerSize == kV5HeaderSize;
        if (alphaStored && file.size >= kAlphaMaskOffset + 4) alphaMask = LoadLittleEndian32(file.data + kAlphaMaskOffset);
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
    const bool packed = MasksArePacked(redMask, greenMask, blueMask, greenBits, blueBits);
    const MaskField red(redMask), green(greenMask), blue(blueMask), alpha(alphaMask);

    const uint32_t stride = RowStride(width, 24);
    const auto pixelAt = [&](const uint8_t* in) {
        return pixelBytes == 2 ? uint32_t(LoadLittleEndian16(in)) : LoadLittleEndian32(in);
    };
    const auto rowPixels = [&](uint32_t y, const uint8_t*& in) {
        const uint64_t rowOffset = file.pixelOffset + uint64_t(y) * fileStride;
        in = file.data + rowOffset;
        return uint32_t(std::min<uint64_t>(width, BytesFrom(file, rowOffset, fileStride) / pixelBytes));
    };
    // Many programs write an alpha mask and leave every alpha value 0: such a
    // picture is taken as opaque rather than as nothing but background.
    bool flatten = false;
    for (uint32_t y = 0; y < height && alphaMask != 0 && !flatten; ++y) {
        const uint8_t* in = nullptr;
        const uint32_t present = rowPixels(y, in);
        for (uint32_t x = 0; x < present && !flatten; ++x, in += pixelBytes) flatten = alpha.Scaled(pixelAt(in)) != 0;
    }
    BlendTableHolder table(state.blendTable);
    if (flatten && !table.Ready()) {
        state.input.status = kStatusOutOfMemory;
        return false;
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint64_t rowOffset = file.pixelOffset + uint64_t(y) * fileStride;
        // Only pixels lying wholly inside the file; the rest stay black.
        const uint64_t available = BytesFrom(file, rowOffset, fileStride);
        const uint32_t present = uint32_t(std::min<uint64_t>(width, available / pixelBytes));
        const uint8_t* in = file.data + rowOffset;
        uint8_t* out = image.pixels.Get() + uint64_t(y) * stride;
        for (uint32_t x = 0; x < present; ++x, in += pixelBytes, out += 3) {
            const uint32_t v = pixelAt(in);
            if (packed) {
                // Unsigned 32-bit products: a wide field wraps as it would in
                // the original arithmetic.
                out[0] = uint8_t((v & blueMask) * 255u / blueRange);
                out[1] = uint8_t(ShiftRight(v & greenMask, blueBits) * 255u / greenRange);
                out[2] = uint8_t(ShiftRight(v & redMask, blueBits + greenBits) * 255u / redRange);
            } else {
                out[0] = blue.Scaled(v);
                out[1] = green.Scaled(v);
                out[2] = red.Scaled(v);
            }
            if (flatten) {
                const uint8_t a = alpha.Scaled(v);
                for (int c = 0; c < 3; ++c) out[c] = FlattenSample(table.Table(), out[c], a, state.backgroundColour[2 - c]);
            }
        }
    }
    return true;
}

// Run-length encoded 8- and 4-bit bitmaps into one index byte per pixel.
bool ReadRunLengths(BmpReaderState& state, const BmpFile& file, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    const uint32_t bits = info.biBitCount;
    const uint32_t width = uint32_t(info.biWidth), height = uint32_t(info.biHeight);
    const uint32_t entries = TableEntries(info, 1u << bits);
    if (!StartIndexedPicture(state, file, entries, image)) return false;
    ExpandBmpRle(file.data + file.pixelOffset, file.size - file.pixelOffset, bits, width, height,
                 image.pixels.Get(), RowStride(width, 8));
    return true;
}

// Reads the info header, whatever its kind, into the 40-byte layout and notes
// where the colour table lies. Headers of other sizes are read as 40 bytes
// with the table at offset 54.
bool ReadInfoHeader(BmpReaderState& state, BmpFile& file) {
    BITMAPINFOHEADER& info = state.info;
    const uint32_t headerSize = file.size >= kFileHeaderSize + 4 ? LoadLittleEndian32(file.data + kFileHeaderSize) : 0;
    file.headerSize = headerSize;
    if (headerSize == kCoreHeaderSize) {
        if (file.size < kFileHeaderSize + kCoreHeaderSize) return false;
        const uint8_t* core = file.data + kFileHeaderSize;
        info = BITMAPINFOHEADER{};
        info.biSize = kCoreHeaderSize;
        info.biWidth = LoadLittleEndian16(core + 4);
        info.biHeight = LoadLittleEndian16(core + 6);
        info.biPlanes = LoadLittleEndian16(core + 8);
        info.biBitCount = LoadLittleEndian16(core + 10);
        file.tableOffset = kFileHeaderSize + kCoreHeaderSize;
        file.tableEntryBytes = 3;
        file.os2 = true;
        // The core header has no colour count: the table is what lies between
        // it and the pixels, at most what the depth can index.
        if (info.biBitCount <= 8 && file.pixelOffset > file.tableOffset)
            info.biClrUsed = uint32_t(std::min<uint64_t>((file.pixelOffset - file.tableOffset) / 3, 1u << info.biBitCount));
        return true;
    }
    const bool os2 = headerSize == kOs2HeaderSize || (headerSize >= kOs2MinHeaderSize && headerSize < kInfoHeaderSize);
    if (os2) {
        // A cut header leaves the fields it does not hold at 0.
        if (file.size < kFileHeaderSize + uint64_t(headerSize)) return false;
        info = BITMAPINFOHEADER{};
        std::memcpy(&info, file.data + kFileHeaderSize, std::min<uint32_t>(headerSize, sizeof info));
        file.tableOffset = kFileHeaderSize + headerSize;
        file.os2 = true;
        return true;
    }
    if (file.size < kHeadersSize) return false;
    std::memcpy(&info, file.data + kFileHeaderSize, sizeof info);
    const bool windows = headerSize == kInfoHeaderSize || headerSize == kV2HeaderSize ||
                         headerSize == kV3HeaderSize || headerSize == kV4HeaderSize || headerSize == kV5HeaderSize;
    if (windows) file.tableOffset = kFileHeaderSize + uint64_t(headerSize);
    return true;
}

// Stored bottom-up rows of a top-down bitmap swap into their proper places.
void FlipRows(DecodedImage& image) {
    const uint32_t height = uint32_t(image.header.biHeight);
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
    uint8_t* const rows = image.pixels.Get();
    for (uint32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(rows + uint64_t(top) * stride, rows + uint64_t(top + 1) * stride,
                         rows + uint64_t(bottom) * stride);
}

bool ParseLayout(BmpReaderState& state, const BmpFile& file, DecodedImage& image) {
    const BITMAPINFOHEADER& info = state.info;
    MappedInput& input = state.input;
    image.sourceBitDepth = info.biBitCount;
    const uint32_t compression = info.biCompression;
    // OS/2 2.x reuses compression 3 and 4 for Huffman and 24-bit runs.
    const bool masks = !file.os2 && (compression == kBitFields || compression == kAlphaBitFields);
    switch (info.biBitCount) {
        case 1:
            if (compression != 0) break;
            return ReadPackedIndices(state, file, image);
        case 4:
            if (compression == kRle4) return ReadRunLengths(state, file, image);
            if (compression != 0) break;
            return ReadPackedIndices(state, file, image);
        case 8:
            if (compression == kRle8) return ReadRunLengths(state, file, image);
            [[fallthrough]];
        case 24:
            if (compression != 0) break;
            return ReadStoredRows(state, file, image);
        case 16:
        case 32:
            if (compression != 0 && !masks) break;
            return ReadMaskedPixels(state, file, image);
        default:
            break;
    }
    input.status = kStatusUnsupported;
    return false;
}

bool ParseBmp(BmpReaderState& state, const uint8_t* data, uint64_t size, DecodedImage& image) {
    MappedInput& input = state.input;
    BmpFile file{data, size, size >= kFileHeaderSize ? LoadLittleEndian32(data + 10) : 0};
    if (file.size < kFileHeaderSize || file.pixelOffset > file.size || !ReadInfoHeader(state, file)) {
        input.status = kStatusCannotOpen;
        return false;
    }
    BITMAPINFOHEADER& info = state.info;
    // A negative height marks rows stored top row first.
    if (info.biHeight < 0 && info.biHeight != INT32_MIN) {
        file.topDown = true;
        info.biHeight = -info.biHeight;
    }
    if (info.biWidth < 1 || info.biHeight < 1) {
        input.status = kStatusUnsupported;
        return false;
    }
    if (!AdmitPictureSize(input, uint32_t(info.biWidth), uint32_t(info.biHeight))) return false;
    if (!ParseLayout(state, file, image)) return false;
    if (file.topDown) FlipRows(image);
    return true;
}

}  // namespace

bool DecodeBmpBytes(BmpReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    state.input.status = kStatusUnspecified;
    std::memset(image.palette, 0, sizeof image.palette);
    image.pixels.Reset();
    image.fileSize = size;
    if (!ParseBmp(state, data, size, image)) {
        image.pixels.Reset();
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
        record.pixels.Reset();
        CloseMappedInput(input);
        return false;
    }
    record.sourceKind = kInputBmp;
    FinishMappedRead(input);
    return true;
}

}  // namespace qdx
