#include "codecs/read/png_reader.h"

#include <cstring>

#include "codecs/common/input_kind.h"
#include "codecs/common/png_colour_types.h"
#include "codecs/common/png_crc.h"
#include "codecs/read/alpha_flatten.h"
#include "codecs/read/blend_table.h"
#include "codecs/read/png_rows.h"
#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kLongestChunk = 0x7FFFFFFFu;

bool TagIs(const uint8_t* tag, const char (&name)[5]) { return std::memcmp(tag, name, 4) == 0; }

// One chunk as it lies in the mapped file.
struct Chunk {
    uint32_t length;
    const uint8_t* tag;
    const uint8_t* data;
    const uint8_t* next;  // after the checksum
};

bool ChecksumMatches(const Chunk& chunk) {
    return chunkCrc(chunk.tag, chunk.data, chunk.length) == LoadBigEndian32(chunk.data + chunk.length);
}

// Reads the chunk at `at`. Returns 0 when it lies wholly within the file,
// otherwise the reason: 50007 when it runs past the end, 50012 when its
// length field is above 0x7FFFFFFF.
uint32_t LocateChunk(const uint8_t* at, const uint8_t* end, Chunk& chunk) {
    if (end - at < 4) return kStatusMalformed;
    chunk.length = LoadBigEndian32(at);
    if (chunk.length > kLongestChunk) return kPngChunkTooLong;
    if (uint64_t(end - at) < uint64_t(chunk.length) + 12) return kStatusMalformed;
    chunk.tag = at + 4;
    chunk.data = at + 8;
    chunk.next = chunk.data + chunk.length + 4;
    return 0;
}

// A pixel buffer or alpha plane: virtual memory with 4 bytes of slack.
os::PixelMemory AllocatePlane(uint64_t bytes) {
    os::PixelMemory plane;
    plane.Allocate(bytes + 4);
    return plane;
}

// Sample scale that makes a grey sample of the depth its own palette index.
uint32_t GreyScale(int32_t bitDepth) {
    switch (bitDepth) {
        case 1: return 255;
        case 2: return 85;
        case 4: return 17;
        default: return 1;
    }
}

void SetPaletteColour(RGBQUAD& entry, uint8_t red, uint8_t green, uint8_t blue) {
    entry.rgbRed = red;
    entry.rgbGreen = green;
    entry.rgbBlue = blue;
    entry.rgbReserved = 0;
}

class PngParser {
public:
    explicit PngParser(PngReaderState& state) : state_(state), image_(*state.input.image) {}

    bool ReadHeader();
    bool SelectLayout();
    bool AllocateBuffers();
    bool WalkChunks();
    bool Flatten();
    void FillRecord();
    void ReleaseAlphaPlane();
    void ReleasePixelBuffer() { image_.pixels.Reset(); }

private:
    bool TakePalette(const Chunk& chunk);
    bool TakeImageData(const Chunk& first);
    void TakeBackground(const Chunk& chunk);
    void TakeTransparency(const Chunk& chunk);
    void TakeResolution(const Chunk& chunk);
    bool Fail(uint32_t code) {
        state_.input.status = code;
        return false;
    }

    PngReaderState& state_;
    DecodedImage& image_;
    os::PixelMemory alphaPlane_;
    const uint8_t* walk_ = nullptr;
    int32_t compression_ = 0, filter_ = 0, interlaceMethod_ = 0;
};

bool PngParser::ReadHeader() {
    const uint8_t* start = state_.input.dataStart;
    const uint8_t* end = state_.input.dataEnd;
    // Signature plus a whole IHDR chunk.
    if (end - start < 33 || std::memcmp(start, kSignature, 8) != 0) return Fail(kStatusMalformed);
    const uint8_t* header = start + 8;
    if (LoadBigEndian32(header) != 13) return Fail(kPngHeaderLength);
    if (!TagIs(header + 4, "IHDR")) return Fail(kPngNoHeader);
    const uint8_t* data = header + 8;
    if (chunkCrc(header + 4, data, 13) != LoadBigEndian32(data + 13)) return Fail(kPngChecksumMismatch);
    state_.width = int32_t(LoadBigEndian32(data));
    state_.height = int32_t(LoadBigEndian32(data + 4));
    if (state_.width < 1 || state_.height < 1) return Fail(kStatusUnsupported);
    if (!AdmitPictureSize(state_.input, uint32_t(state_.width), uint32_t(state_.height))) return false;
    state_.bitDepth = data[8];
    state_.colourType = data[9];
    compression_ = data[10];
    filter_ = data[11];
    interlaceMethod_ = data[12];
    if (state_.colourType == kPngPalette && !state_.paletteAlpha) {
        if (!state_.paletteAlpha.Allocate(256)) return Fail(kStatusOutOfMemory);
    }
    if (compression_ != 0) return Fail(kPngCompressionMethod);
    if (filter_ != 0) return Fail(kPngFilterMethod);
    if (interlaceMethod_ > 1) return Fail(kPngInterlaceMethod);
    state_.interlace = uint8_t(interlaceMethod_);
    walk_ = start + 33;
    return true;
}

bool PngParser::SelectLayout() {
    const int32_t depth = state_.bitDepth, type = state_.colourType;
    int32_t channels = 0;
    switch (depth) {
        case 1:
        case 2:
        case 4:
            if (type != kPngGrey && type != kPngPalette) return Fail(kPngColourTypeForDepth);
            channels = 1;
            break;
        case 8:
        case 16:
            switch (type) {
                case kPngGrey: channels = 1; break;
                case kPngTrueColour: channels = 3; break;
                case kPngPalette: channels = depth == 8 ? 1 : 0; break;
                case kPngGreyAlpha: channels = 2; break;
                case kPngTrueColourAlpha: channels = 4; break;
                default: channels = 0; break;
            }
            if (!channels) return Fail(kPngColourTypeForDepth);
            break;
        default: return Fail(kPngBitDepth);
    }
    state_.bytesPerSample = depth / 8;
    state_.bytesPerPixel = depth < 8 ? 1 : channels * state_.bytesPerSample;
    state_.hasAlpha = uint8_t(type == 4 || type == 6);
    state_.outputBits = (type == 2 || type == 6) ? 24 : 8;
    state_.greyRamp = uint8_t(type == 0 || type == 4);
    if (state_.greyRamp) {
        const uint32_t scale = GreyScale(depth);
        for (uint32_t k = 0; k * scale < 256; ++k)
            SetPaletteColour(image_.palette[k], uint8_t(k * scale), uint8_t(k * scale), uint8_t(k * scale));
    }
    SelectRowConverters(state_);
    return true;
}

bool PngParser::AllocateBuffers() {
    const uint64_t width = uint32_t(state_.width), height = uint32_t(state_.height);
    if (state_.hasAlpha) {
        const uint64_t planeBytes = width * height;
        if (planeBytes + 4 > 0xFFFFFFFFu) return Fail(kStatusUnsupported);
        alphaPlane_ = AllocatePlane(planeBytes);
        if (!alphaPlane_) return Fail(kStatusOutOfMemory);
    }
    const uint64_t stride = ((width * uint64_t(state_.outputBits) + 31) / 32) * 4;
    const uint64_t pixelBytes = stride * height;
    if (stride > 0x7FFFFFFFu || pixelBytes + 4 > 0xFFFFFFFFu) return Fail(kStatusUnsupported);
    state_.outputStride = int32_t(stride);
    image_.pixels = AllocatePlane(pixelBytes);
    if (!image_.pixels) return Fail(kStatusOutOfMemory);
    return true;
}

bool PngParser::WalkChunks() {
    const uint8_t* end = state_.input.dataEnd;
    for (;;) {
        Chunk chunk;
        if (const uint32_t problem = LocateChunk(walk_, end, chunk)) return Fail(problem);
        const uint8_t* tag = chunk.tag;
        if (TagIs(tag, "IDAT")) {
            // The run of IDAT chunks is taken whole; a later one starts a second run.
            if (state_.idatSeen) return Fail(kPngChunkOrder);
            if (!TakeImageData(chunk)) return false;
            continue;  // walk_ stands after the run
        }
        if (TagIs(tag, "IHDR")) return Fail(kPngChunkOrder);
        if (TagIs(tag, "PLTE")) {
            if (state_.colourType == kPngPalette && !TakePalette(chunk)) return false;
        } else if (TagIs(tag, "IEND")) {
            if (!ChecksumMatches(chunk)) return Fail(kPngChecksumMismatch);
            if (!state_.idatSeen || (state_.colourType == kPngPalette && !state_.plteSeen)) return Fail(kPngMissingData);
            state_.iendSeen = 1;
            return true;
        } else if (TagIs(tag, "bKGD")) {
            if (!state_.bkgdSeen && !state_.idatSeen && ChecksumMatches(chunk)) TakeBackground(chunk);
        } else if (TagIs(tag, "tRNS")) {
            if (!state_.trnsSeen && !state_.idatSeen && ChecksumMatches(chunk)) TakeTransparency(chunk);
        } else if (TagIs(tag, "pHYs")) {
            if (!state_.idatSeen && chunk.length == 9 && ChecksumMatches(chunk)) TakeResolution(chunk);
        } else if (TagIs(tag, "gAMA")) {
            state_.gamaSeen = 1;  // noted, not applied
        }
        walk_ = chunk.next;
    }
}

bool PngParser::TakePalette(const Chunk& chunk) {
    if (state_.idatSeen || state_.plteSeen) return Fail(kPngChunkOrder);
    if (!ChecksumMatches(chunk)) return Fail(kPngChecksumMismatch);
    const uint32_t limit = 1u << state_.bitDepth;  // 2, 4, 16 or 256 entries
    uint32_t entries = chunk.length / 3;
    if (entries > limit) entries = limit;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* rgb = chunk.data + 3 * i;
        SetPaletteColour(image_.palette[i], rgb[0], rgb[1], rgb[2]);
    }
    state_.paletteEntries = entries;
    state_.plteSeen = 1;
    return true;
}

bool PngParser::TakeImageData(const Chunk& first) {
    if (!ChecksumMatches(first)) return Fail(kPngChecksumMismatch);
    state_.idatSeen = 1;
    state_.imageData = first.data;
    const uint8_t* end = state_.input.dataEnd;
    // Every chunk after the first, up to and including the first that is not
    // IDAT, must be whole; the run's checksums must match and its total
    // length stay below 2^32.
    uint64_t total = first.length;
    uint32_t count = 1;
    const uint8_t* at = first.next;
    for (;;) {
        Chunk chunk;
        if (LocateChunk(at, end, chunk) != 0) return Fail(kPngImageDataRun);
        if (!TagIs(chunk.tag, "IDAT")) break;
        if (!ChecksumMatches(chunk)) return Fail(kPngImageDataRun);
        total += chunk.length;
        if (total > 0xFFFFFFFFu) return Fail(kPngImageDataRun);
        ++count;
        at = chunk.next;
    }
    state_.imageDataLength = uint32_t(total);
    walk_ = at;
    if (count == 1) return InflateImageData(state_, first.data, first.length, alphaPlane_.Get());

    // A longer run is joined into one buffer first.
    if (total + 4 > 0xFFFFFFFFu) return Fail(kPngImageDataRun);
    os::HeapMemory joined;
    if (!joined.Allocate(total + 4)) return Fail(kStatusOutOfMemory);
    uint8_t* place = joined.Get();
    for (const uint8_t* chunkAt = first.data - 8; chunkAt != at;) {
        const uint32_t length = LoadBigEndian32(chunkAt);
        std::memcpy(place, chunkAt + 8, length);
        place += length;
        chunkAt += size_t(length) + 12;
    }
    return InflateImageData(state_, joined.Get(), uint32_t(total), alphaPlane_.Get());
}

void PngParser::TakeBackground(const Chunk& chunk) {
    const uint8_t* data = chunk.data;
    uint8_t* background = state_.fileBackground;
    switch (state_.colourType) {
        case 0:
        case 4: {
            if (chunk.length != 2) return;
            const uint8_t grey = state_.bitDepth == 16 ? data[0] : uint8_t(data[1] * GreyScale(state_.bitDepth));
            background[0] = background[1] = background[2] = grey;
            break;
        }
        case 3: {
            if (chunk.length != 1 || !state_.plteSeen) return;
            const RGBQUAD& entry = image_.palette[data[0]];
            background[0] = entry.rgbRed;
            background[1] = entry.rgbGreen;
            background[2] = entry.rgbBlue;
            break;
        }
        default: {
            if (chunk.length != 6) return;
            const int high = state_.bitDepth == 16 ? 0 : 1;
            background[0] = data[high];
            background[1] = data[2 + high];
            background[2] = data[4 + high];
            break;
        }
    }
    state_.bkgdSeen = 1;
}

void PngParser::TakeTransparency(const Chunk& chunk) {
    const uint8_t* data = chunk.data;
    const int high = state_.bitDepth == 16 ? 0 : 1;
    switch (state_.colourType) {
        case 0:
            if (chunk.length != 2) return;
            state_.transparentColour[1] = data[high];
            break;
        case 2:
            if (chunk.length != 6) return;
            state_.transparentColour[0] = data[high];
            state_.transparentColour[1] = data[2 + high];
            state_.transparentColour[2] = data[4 + high];
            break;
        case 3:
            if (!state_.plteSeen || chunk.length > state_.paletteEntries) return;
            std::memcpy(state_.paletteAlpha.Get(), data, chunk.length);
            std::memset(state_.paletteAlpha.Get() + chunk.length, 255, 256 - chunk.length);
            break;
        default: return;  // alpha images carry their own transparency
    }
    state_.trnsSeen = 1;
}

void PngParser::TakeResolution(const Chunk& chunk) {
    const uint32_t horizontal = LoadBigEndian32(chunk.data), vertical = LoadBigEndian32(chunk.data + 4);
    if (chunk.data[8] != 1 || horizontal > 0x7FFFFFFFu || vertical > 0x7FFFFFFFu) return;
    state_.horizontalResolution = int32_t(horizontal);
    state_.verticalResolution = int32_t(vertical);
}

bool PngParser::Flatten() {
    if (!state_.flattenTransparency || !(state_.hasAlpha || state_.trnsSeen)) return true;
    const uint8_t* background =
        (state_.useOwnBackground || !state_.bkgdSeen) ? state_.backgroundColour : state_.fileBackground;
    const uint32_t width = uint32_t(state_.width), height = uint32_t(state_.height);
    const size_t stride = size_t(state_.outputStride);

    if (state_.colourType == kPngGrey) {
        SetPaletteColour(image_.palette[state_.transparentColour[1]], background[0], background[1], background[2]);
        return true;
    }
    if (state_.colourType == kPngTrueColour) {
        const uint8_t* key = state_.transparentColour;
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* pixel = image_.pixels.Get() + y * stride;
            for (uint32_t x = 0; x < width; ++x, pixel += 3) {
                if (pixel[2] == key[0] && pixel[1] == key[1] && pixel[0] == key[2]) {
                    pixel[0] = background[2];
                    pixel[1] = background[1];
                    pixel[2] = background[0];
                }
            }
        }
        return true;
    }

    // Palette alpha and alpha channels blend through the product table.
    BlendTableHolder table(state_.blendTable);
    if (!table.Ready()) return Fail(kStatusOutOfMemory);
    const auto& product = table.Table().product;
    if (state_.colourType == kPngPalette) {
        for (int i = 0; i < 256; ++i) {
            const uint8_t alpha = state_.paletteAlpha.Get()[i];
            const uint8_t rest = uint8_t(255 - alpha);
            RGBQUAD& entry = image_.palette[i];
            entry.rgbRed = uint8_t(product[alpha][entry.rgbRed] + product[rest][background[0]]);
            entry.rgbGreen = uint8_t(product[alpha][entry.rgbGreen] + product[rest][background[1]]);
            entry.rgbBlue = uint8_t(product[alpha][entry.rgbBlue] + product[rest][background[2]]);
        }
    } else if (state_.colourType == kPngGreyAlpha) {
        // The grey sample is its own palette index; only the background's red
        // takes part.
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* pixel = image_.pixels.Get() + y * stride;
            const uint8_t* alpha = alphaPlane_.Get() + size_t(y) * width;
            for (uint32_t x = 0; x < width; ++x)
                pixel[x] = uint8_t(product[pixel[x]][alpha[x]] + product[background[0]][255 - alpha[x]]);
        }
    } else if (state_.colourType == kPngTrueColourAlpha) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* pixel = image_.pixels.Get() + y * stride;
            const uint8_t* alpha = alphaPlane_.Get() + size_t(y) * width;
            for (uint32_t x = 0; x < width; ++x, pixel += 3) {
                const uint8_t a = alpha[x], rest = uint8_t(255 - a);
                pixel[0] = uint8_t(product[a][pixel[0]] + product[rest][background[2]]);
                pixel[1] = uint8_t(product[a][pixel[1]] + product[rest][background[1]]);
                pixel[2] = uint8_t(product[a][pixel[2]] + product[rest][background[0]]);
            }
        }
    }
    return true;
}

void PngParser::FillRecord() {
    SetImageHeader(image_, state_.width, state_.height, uint16_t(state_.outputBits));
    image_.header.biXPelsPerMeter = state_.horizontalResolution;
    image_.header.biYPelsPerMeter = state_.verticalResolution;
    image_.sourceKind = kInputPng;
    const bool colour = state_.colourType == kPngTrueColour || state_.colourType == kPngTrueColourAlpha;
    image_.sourceBitDepth = uint32_t(state_.bitDepth) * (colour ? 3 : 1);
}

void PngParser::ReleaseAlphaPlane() {
    alphaPlane_.Reset();
}

}  // namespace

bool ReadPngImage(PngReaderState& state, const WideString& path, DecodedImage* image) {
    MappedInput& input = state.input;
    input.status = kStatusUnspecified;
    state.plteSeen = state.idatSeen = state.iendSeen = state.gamaSeen = state.bkgdSeen = state.trnsSeen = 0;
    state.greyRamp = state.interlace = 0;
    state.horizontalResolution = state.verticalResolution = 0;
    state.paletteEntries = 0;
    state.imageDataLength = 0;
    state.imageData = nullptr;
    std::memset(state.fileBackground, 0, sizeof state.fileBackground);
    std::memset(state.transparentColour, 0, sizeof state.transparentColour);

    if (!PrepareImageRecord(input, image)) return false;
    const uint32_t size = OpenAndMapInput(input, path);
    if (!size) {
        CloseMappedInput(input);
        return false;
    }
    input.image->fileSize = size;

    PngParser parser(state);
    bool ok = parser.ReadHeader() && parser.SelectLayout() && parser.AllocateBuffers() && parser.WalkChunks();
    if (!ok) parser.ReleasePixelBuffer();
    if (ok) ok = parser.Flatten();
    parser.ReleaseAlphaPlane();
    state.imageData = nullptr;
    if (!ok) {
        parser.ReleasePixelBuffer();
        CloseMappedInput(input);
        return false;
    }
    parser.FillRecord();
    FinishMappedRead(input);
    return true;
}

}  // namespace qdx
