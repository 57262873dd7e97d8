#include "codecs/read/tiff_reader.h"

#include <cstring>

#include "codecs/common/input_kind.h"
#include "codecs/common/tiff_tags.h"
#include "core/file_helpers.h"
#include "core/os/wide_string.h"

namespace qdx {
namespace {

// Strip arrays are capped so that 4 bytes per entry plus slack stay countable.
constexpr uint32_t kMaxStripArrayCount = uint32_t(1) << 30;

uint16_t Read16Little(const uint8_t*& cursor) {
    const uint16_t value = LoadLittleEndian16(cursor);
    cursor += 2;
    return value;
}
uint32_t Read32Little(const uint8_t*& cursor) {
    const uint32_t value = LoadLittleEndian32(cursor);
    cursor += 4;
    return value;
}
uint16_t Read16Big(const uint8_t*& cursor) {
    const uint16_t value = LoadBigEndian16(cursor);
    cursor += 2;
    return value;
}
uint32_t Read32Big(const uint8_t*& cursor) {
    const uint32_t value = LoadBigEndian32(cursor);
    cursor += 4;
    return value;
}

// One 12-byte directory entry; `value` points at its 4-byte value field.
struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    const uint8_t* value;
};

uint64_t FileLength(const MappedInput& input) { return uint64_t(input.dataEnd - input.dataStart); }

// True when `length` bytes at `offset` lie within the file.
bool LiesWithinFile(const MappedInput& input, uint64_t offset, uint64_t length) {
    const uint64_t size = FileLength(input);
    return offset <= size && length <= size - offset;
}

// A single numeric value stored in the entry itself: a LONG takes the whole
// field, anything else is read as the SHORT in its first two bytes.
uint32_t EntryValue(const TiffReaderState& state, const TiffEntry& entry) {
    const uint8_t* at = entry.value;
    return entry.type == kTypeLong ? state.read32(at) : state.read16(at);
}

uint32_t EntryOffset(const TiffReaderState& state, const TiffEntry& entry) {
    const uint8_t* at = entry.value;
    return state.read32(at);
}

// Reads a StripOffsets or StripByteCounts array into a buffer of its own.
// Returns 0 on success, else the status to fail with.
uint32_t ReadStripArray(TiffReaderState& state, const TiffEntry& entry, os::PixelArray<uint32_t>& values,
                        uint32_t& count) {
    if (values) return kStatusMalformed;  // the tag was already seen
    if (entry.count >= kMaxStripArrayCount) return kStatusUnsupported;
    uint32_t valueSize = 0;
    if (entry.type == kTypeShort)
        valueSize = 2;
    else if (entry.type == kTypeLong)
        valueSize = 4;
    else
        return kStatusUnspecified;
    if (entry.tag == kTagStripOffsets && entry.count == 0) return kStatusUnspecified;

    // Up to four bytes of values stand in the entry itself; longer arrays lie
    // at the offset, and all of them must be inside the file. This is checked
    // before allocating so a huge count in a small file costs nothing.
    const uint64_t byteLength = uint64_t(entry.count) * valueSize;
    const uint8_t* source = entry.value;
    if (byteLength > 4) {
        const uint32_t offset = EntryOffset(state, entry);
        if (!LiesWithinFile(state.input, offset, byteLength)) return kStatusUnspecified;
        source = state.input.dataStart + offset;
    }

    if (!values.Allocate(entry.count, 4)) return kStatusOutOfMemory;
    count = entry.count;
    for (uint32_t i = 0; i < count; ++i) values[i] = valueSize == 2 ? state.read16(source) : state.read32(source);
    return 0;
}

// Handles one entry of the first directory. Returns 0 to go on, else the
// status to fail with.
uint32_t HandleEntry(TiffReaderState& state, const TiffEntry& entry) {
    switch (entry.tag) {
        case kTagImageWidth:
        case kTagImageLength: {
            const uint32_t value = EntryValue(state, entry);
            if (value == 0) return kStatusMalformed;
            // Values that are negative as signed numbers are refused after the
            // directory, with everything else below 1.
            (entry.tag == kTagImageWidth ? state.width : state.height) = int32_t(value);
            return 0;
        }
        case kTagBitsPerSample: {
            state.bitsPerSampleCount = int32_t(entry.count);
            if (entry.count == 1) {
                const uint8_t* at = entry.value;
                state.bitsPerSample = state.read16(at);
            } else if (entry.count == 3) {
                const uint32_t offset = EntryOffset(state, entry);
                if (!LiesWithinFile(state.input, offset, 6)) return kStatusMalformed;
                const uint8_t* at = state.input.dataStart + offset;
                const uint16_t red = state.read16(at);
                const uint16_t green = state.read16(at);
                const uint16_t blue = state.read16(at);
                if (red != green || green != blue || (red != 8 && red != 16)) return kStatusMalformed;
                state.bitsPerSample = red;
            }
            // Any other count (RGBA, for one) keeps the previous depth; the
            // layout check refuses it.
            return 0;
        }
        case kTagCompression:
            state.compression = int32_t(EntryValue(state, entry));
            return state.compression == 1 ? 0 : kStatusUnsupported;
        case kTagPhotometric:
            state.photometric = int32_t(EntryValue(state, entry));
            return 0;
        case kTagStripOffsets:
            return ReadStripArray(state, entry, state.stripOffsets, state.stripOffsetCount);
        case kTagStripByteCounts:
            return ReadStripArray(state, entry, state.stripByteCounts, state.stripByteCountCount);
        case kTagXResolution:
            state.xResolutionOffset = EntryOffset(state, entry);
            return 0;
        case kTagYResolution:
            state.yResolutionOffset = EntryOffset(state, entry);
            return 0;
        case kTagResolutionUnit:
            state.resolutionUnit = int32_t(EntryValue(state, entry));
            return 0;
        case kTagColorMap:
            state.colourMapOffset = EntryOffset(state, entry);
            return 0;
        default:
            return 0;
    }
}

uint32_t ReadHeaderAndDirectory(TiffReaderState& state) {
    MappedInput& input = state.input;
    if (FileLength(input) < 8) return kStatusCannotOpen;
    const uint8_t* p = input.dataStart;
    if (p[0] == 'I' && p[1] == 'I') {
        state.littleEndian = 1;
        state.read16 = Read16Little;
        state.read32 = Read32Little;
    } else if (p[0] == 'M' && p[1] == 'M') {
        state.littleEndian = 0;
        state.read16 = Read16Big;
        state.read32 = Read32Big;
    } else {
        return kStatusMalformed;
    }
    input.cursor = p + 2;
    if (state.read16(input.cursor) != 42) return kStatusMalformed;
    const uint32_t directoryOffset = state.read32(input.cursor);

    state.bitsPerSample = 1;
    state.bitsPerSampleCount = 0;
    state.compression = 1;
    state.photometric = 4;
    state.resolutionUnit = 2;

    if (!LiesWithinFile(input, directoryOffset, 2)) return kStatusMalformed;
    input.cursor = input.dataStart + directoryOffset;
    const uint16_t entryCount = state.read16(input.cursor);
    if (!LiesWithinFile(input, uint64_t(directoryOffset) + 2, uint64_t(entryCount) * 12)) return kStatusMalformed;

    for (uint16_t i = 0; i < entryCount; ++i) {
        TiffEntry entry;
        entry.tag = state.read16(input.cursor);
        entry.type = state.read16(input.cursor);
        entry.count = state.read32(input.cursor);
        entry.value = input.cursor;
        input.cursor += 4;
        if (const uint32_t failure = HandleEntry(state, entry)) return failure;
    }

    if (state.width < 1 || state.height < 1) return kStatusUnsupported;
    if (const uint32_t refused = AdmitPicture(input.budget, uint32_t(state.width), uint32_t(state.height)))
        return refused;
    if (!state.stripOffsets || !state.stripByteCounts || state.stripOffsetCount != state.stripByteCountCount)
        return kStatusMalformed;
    state.stripCount = state.stripOffsetCount;
    return 0;
}

bool IsPackedDepth(int32_t bits) { return bits == 1 || bits == 4 || bits == 8; }

// Chooses the output depth and the depth recorded as the source's.
uint32_t SelectLayout(TiffReaderState& state, uint32_t& sourceBitDepth) {
    const int32_t bits = state.bitsPerSample;
    switch (state.photometric) {
        case 0:
        case 1:
            if (!IsPackedDepth(bits)) return kStatusUnsupported;
            state.outputBits = 8;
            sourceBitDepth = uint32_t(bits);
            break;
        case 3:
            if (!IsPackedDepth(bits) || state.colourMapOffset == 0) return kStatusUnsupported;
            state.outputBits = 8;
            sourceBitDepth = uint32_t(bits);
            break;
        case 2:
            if (state.bitsPerSampleCount != 3 || (bits != 8 && bits != 16)) return kStatusUnsupported;
            state.outputBits = 24;
            sourceBitDepth = uint32_t(bits) * 3;
            break;
        default:
            return kStatusUnsupported;
    }
    const uint64_t rowBytes = uint64_t(uint32_t(state.width)) * (state.outputBits / 8);
    const uint64_t stride = (rowBytes + 3) / 4 * 4;
    state.outputStride = stride > 0xFFFFFFFFu ? 0 : uint32_t(stride);  // too wide: refused with the pixel buffer
    return 0;
}

uint32_t JoinStrips(TiffReaderState& state) {
    const uint32_t* offsets = state.stripOffsets.Get();
    const uint32_t* byteCounts = state.stripByteCounts.Get();
    uint64_t total = 0;
    for (uint32_t i = 0; i < state.stripCount; ++i) total += byteCounts[i];
    if (total > 0xFFFFFFFFu) return kStatusUnsupported;
    // Every strip is checked before the buffer is taken, so strips pointing
    // outside a small file never cost a large allocation.
    for (uint32_t i = 0; i < state.stripCount; ++i)
        if (!LiesWithinFile(state.input, offsets[i], byteCounts[i])) return kStatusCannotOpen;
    if (!state.joined.Allocate(total + 4)) return kStatusOutOfMemory;
    state.joinedSize = uint32_t(total);
    uint8_t* out = state.joined.Get();
    for (uint32_t i = 0; i < state.stripCount; ++i) {
        std::memcpy(out, state.input.dataStart + offsets[i], byteCounts[i]);
        out += byteCounts[i];
    }
    return 0;
}

uint32_t BuildPalette(TiffReaderState& state, RGBQUAD* palette) {
    const uint32_t entries = uint32_t(1) << state.bitsPerSample;
    if (state.photometric == 3) {
        if (!LiesWithinFile(state.input, state.colourMapOffset, uint64_t(entries) * 6)) return kStatusCannotOpen;
        const uint8_t* red = state.input.dataStart + state.colourMapOffset;
        const uint8_t* green = red + entries * 2;
        const uint8_t* blue = green + entries * 2;
        for (uint32_t k = 0; k < entries; ++k) {
            palette[k].rgbRed = uint8_t(state.read16(red) >> 8);
            palette[k].rgbGreen = uint8_t(state.read16(green) >> 8);
            palette[k].rgbBlue = uint8_t(state.read16(blue) >> 8);
            palette[k].rgbReserved = 0;
        }
        return 0;
    }
    const uint32_t step = state.bitsPerSample == 1 ? 255 : state.bitsPerSample == 4 ? 17 : 1;
    for (uint32_t k = 0; k < entries; ++k) {
        const uint8_t level = uint8_t(state.photometric == 0 ? 255 - k * step : k * step);
        palette[k] = RGBQUAD{level, level, level, 0};
    }
    return 0;
}

// Bytes one image row takes in the joined strip data.
uint64_t SourceRowBytes(const TiffReaderState& state) {
    const uint64_t width = uint32_t(state.width);
    if (state.outputBits == 24) return width * (state.bitsPerSample == 16 ? 6 : 3);
    switch (state.bitsPerSample) {
        case 1: return (width + 7) / 8;
        case 4: return (width + 1) / 2;
        default: return width;
    }
}

// Unpacks one row from `available` bytes at `source` (fewer than a full row
// only at the end of short strip data; the pixels it lacks stay zero).
void UnpackRow(const TiffReaderState& state, const uint8_t* source, uint64_t available, uint8_t* target) {
    const uint64_t width = uint32_t(state.width);
    if (state.outputBits == 24) {
        const uint32_t pixelBytes = state.bitsPerSample == 16 ? 6 : 3;
        // The high byte of a 16-bit sample is its second byte in "II" files.
        const uint32_t high = (state.bitsPerSample == 16 && state.littleEndian) ? 1 : 0;
        const uint32_t sampleBytes = pixelBytes / 3;
        uint64_t pixels = available / pixelBytes;
        if (pixels > width) pixels = width;
        for (uint64_t x = 0; x < pixels; ++x, source += pixelBytes, target += 3) {
            target[0] = source[high + 2 * sampleBytes];
            target[1] = source[high + sampleBytes];
            target[2] = source[high];
        }
        return;
    }
    switch (state.bitsPerSample) {
        case 1: {
            uint64_t pixels = available * 8;
            if (pixels > width) pixels = width;
            for (uint64_t x = 0; x < pixels; ++x) target[x] = (source[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        }
        case 4: {
            // An odd width puts the row's last nibble into the row padding,
            // which the stride always leaves room for.
            uint64_t bytes = (width + 1) / 2;
            if (bytes > available) bytes = available;
            for (uint64_t i = 0; i < bytes; ++i) {
                target[2 * i] = source[i] >> 4;
                target[2 * i + 1] = source[i] & 0x0F;
            }
            break;
        }
        default: {
            const uint64_t bytes = available < width ? available : width;
            std::memcpy(target, source, size_t(bytes));
            break;
        }
    }
}

void UnpackRows(TiffReaderState& state, uint8_t* pixels) {
    const uint64_t rowBytes = SourceRowBytes(state);
    const uint32_t height = uint32_t(state.height);
    uint64_t consumed = 0;
    // The first row of the file is the top row: the last one in memory.
    for (uint32_t y = 0; y < height && consumed < state.joinedSize; ++y) {
        uint64_t available = state.joinedSize - consumed;
        if (available > rowBytes) available = rowBytes;
        UnpackRow(state, state.joined.Get() + consumed, available,
                  pixels + uint64_t(height - 1 - y) * state.outputStride);
        consumed += rowBytes;
    }
}

// Pixels per metre from a RATIONAL in the given unit, 0 when it cannot be
// expressed.
int32_t PixelsPerMetre(uint32_t numerator, uint32_t denominator, int32_t unit) {
    double value = double(numerator) / double(denominator);
    if (unit == 2)
        value = value / 0.0254 + 0.5;
    else if (unit == 3)
        value = value * 100 + 0.5;
    else
        return 0;
    // A resolution beyond the signed 32-bit range means nothing: treat it
    // like a missing one rather than converting out of range.
    if (!(value < 2147483648.0)) return 0;
    return int32_t(value);
}

void ReadResolution(TiffReaderState& state, DecodedImage& image) {
    if (state.xResolutionOffset == 0 || state.yResolutionOffset == 0) return;
    if (!LiesWithinFile(state.input, state.xResolutionOffset, 8) ||
        !LiesWithinFile(state.input, state.yResolutionOffset, 8))
        return;
    const uint8_t* x = state.input.dataStart + state.xResolutionOffset;
    const uint8_t* y = state.input.dataStart + state.yResolutionOffset;
    const uint32_t xNumerator = state.read32(x);
    const uint32_t xDenominator = state.read32(x);
    const uint32_t yNumerator = state.read32(y);
    const uint32_t yDenominator = state.read32(y);
    if (xDenominator == 0 || yDenominator == 0) return;
    image.header.biXPelsPerMeter = PixelsPerMetre(xNumerator, xDenominator, state.resolutionUnit);
    image.header.biYPelsPerMeter = PixelsPerMetre(yNumerator, yDenominator, state.resolutionUnit);
}

uint32_t Decode(TiffReaderState& state, DecodedImage& image) {
    if (const uint32_t failure = ReadHeaderAndDirectory(state)) return failure;
    uint32_t sourceBitDepth = 0;
    if (const uint32_t failure = SelectLayout(state, sourceBitDepth)) return failure;
    if (const uint32_t failure = JoinStrips(state)) return failure;

    uint32_t bufferSize = 0;
    if (state.outputStride == 0 ||
        !PixelBufferSize(uint32_t(state.width), uint32_t(state.height), uint32_t(state.outputBits), bufferSize))
        return kStatusUnsupported;
    image.pixels = AllocatePixelBuffer(uint32_t(state.width), uint32_t(state.height), uint32_t(state.outputBits));
    if (!image.pixels) return kStatusOutOfMemory;
    SetImageHeader(image, state.width, state.height, uint16_t(state.outputBits));

    if (state.outputBits == 8)
        if (const uint32_t failure = BuildPalette(state, image.palette)) return failure;
    UnpackRows(state, image.pixels.Get());
    ReadResolution(state, image);
    image.sourceKind = kInputTiff;
    image.sourceBitDepth = sourceBitDepth;
    return 0;
}

}  // namespace

void ReleaseTiffBuffers(TiffReaderState& state) {
    state.stripOffsets.Reset();
    state.stripByteCounts.Reset();
    state.joined.Reset();
    state.stripOffsetCount = state.stripByteCountCount = 0;
    state.joinedSize = 0;
}

bool ReadTiffImage(TiffReaderState& state, const WideString& path, DecodedImage* image) {
    MappedInput& input = state.input;
    input.status = kStatusUnspecified;
    state.xResolutionOffset = state.yResolutionOffset = state.colourMapOffset = 0;
    state.width = state.height = 0;
    state.stripCount = 0;
    ReleaseTiffBuffers(state);
    if (!PrepareImageRecord(input, image)) return false;
    const uint32_t fileSize = OpenAndMapInput(input, path);
    if (fileSize == 0) {
        CloseMappedInput(input);
        return false;
    }
    input.image->fileSize = fileSize;

    const uint32_t failure = Decode(state, *input.image);
    ReleaseTiffBuffers(state);
    if (failure) {
        input.status = failure;
        input.image->pixels.Reset();
        CloseMappedInput(input);
        return false;
    }
    FinishMappedRead(input);
    return true;
}

}  // namespace qdx
