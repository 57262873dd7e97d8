#include "codecs/read/gif_reader.h"

#include <cstring>

#include "codecs/common/input_kind.h"
#include "core/file_helpers.h"
#include "core/os/owned_memory.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint32_t kTableBytes = 768;  // 256 entries of red, green, blue

void ReleaseTables(GifReaderState& state) {
    state.globalTable.Reset();
    state.localTable.Reset();
    state.activeTable = nullptr;
}

bool Fail(GifReaderState& state, uint32_t status) {
    state.input.status = status;
    return false;
}

// Copies a colour table of `entries` entries into a zero-filled 768-byte
// buffer of our own.
os::HeapMemory CopyColourTable(const uint8_t* source, uint32_t entries) {
    os::HeapMemory table;
    if (table.Allocate(kTableBytes)) std::memcpy(table.Get(), source, entries * 3);
    return table;
}

// Skips data sub-blocks up to and including the zero terminator. False when
// a sub-block or the terminator lies beyond the end of the file.
bool SkipSubBlocks(GifReaderState& state) {
    const uint8_t* cursor = state.input.cursor;
    const uint8_t* end = state.input.dataEnd;
    for (;;) {
        if (cursor >= end) return false;
        const uint32_t size = *cursor++;
        if (size == 0) break;
        if (uint64_t(end - cursor) < size) return false;
        cursor += size;
    }
    state.input.cursor = cursor;
    return true;
}

// Decoded row of image row `row` for an interlaced image: the four passes
// hold rows 0 mod 8, 4 mod 8, 2 mod 4 and the odd rows, in that order.
uint32_t InterlacedSourceRow(uint32_t row, uint32_t height) {
    const uint32_t pass1 = (height + 7) / 8;
    const uint32_t pass2 = (height + 3) / 8;
    const uint32_t pass3 = (height + 1) / 4;
    if (row % 8 == 0) return row / 8;
    if (row % 8 == 4) return pass1 + row / 8;
    if (row % 4 == 2) return pass1 + pass2 + row / 4;
    return pass1 + pass2 + pass3 + row / 2;
}

// Fills the record from the decoded indices: palette with the transparent
// substitution, then the image placed on the logical screen.
bool BuildRecord(GifReaderState& state, DecodedImage& image, const uint8_t* indices) {
    const uint32_t screenWidth = uint32_t(state.screenWidth);
    const uint32_t screenHeight = uint32_t(state.screenHeight);
    image.pixels = AllocatePixelBuffer(screenWidth, screenHeight, 8);
    if (!image.pixels) return Fail(state, kStatusOutOfMemory);
    SetImageHeader(image, state.screenWidth, state.screenHeight, 8);

    uint8_t* table = state.activeTable;
    if (state.flattenTransparency && state.transparent) {
        uint8_t colour[3];
        if (!state.useOwnBackground && state.globalTable)
            std::memcpy(colour, state.globalTable.Get() + 3 * state.backgroundIndex, 3);
        else
            std::memcpy(colour, state.backgroundColour, 3);
        std::memcpy(table + 3 * (state.transparentIndex & 0xFF), colour, 3);
    }
    for (int i = 0; i < 256; ++i) {
        image.palette[i].rgbRed = table[3 * i];
        image.palette[i].rgbGreen = table[3 * i + 1];
        image.palette[i].rgbBlue = table[3 * i + 2];
        image.palette[i].rgbReserved = 0;
    }

    // Screen row 0 is the top row, kept last in memory.
    const uint32_t stride = RowStride(screenWidth, 8);
    const uint32_t left = uint32_t(state.left), top = uint32_t(state.top);
    const uint32_t width = uint32_t(state.width), height = uint32_t(state.height);
    const uint8_t background = state.backgroundIndex;
    for (uint32_t y = 0; y < screenHeight; ++y) {
        uint8_t* row = image.pixels.Get() + uint64_t(screenHeight - 1 - y) * stride;
        if (y < top || y - top >= height) {
            std::memset(row, background, screenWidth);
            continue;
        }
        const uint32_t imageRow = y - top;
        const uint32_t sourceRow = state.interlaced ? InterlacedSourceRow(imageRow, height) : imageRow;
        std::memset(row, background, left);
        std::memcpy(row + left, indices + uint64_t(sourceRow) * width, width);
        std::memset(row + left + width, background, screenWidth - left - width);
    }

    state.resultTransparent = state.transparent;
    state.resultTransparentIndex = state.transparentIndex;
    state.resultInterlaced = state.interlaced;
    image.sourceKind = kInputGif;
    image.sourceBitDepth = uint32_t(state.sourceDepth);
    return true;
}

// Image data: minimum code size, joined sub-blocks, LZW, then the record.
// The cursor stands on the minimum code size byte.
bool DecodeImageData(GifReaderState& state, DecodedImage& image) {
    state.activeTable = state.hasLocalTable ? state.localTable.Get() : state.globalTable.Get();

    const uint64_t pixelCount = uint64_t(uint32_t(state.width)) * uint32_t(state.height);
    os::PixelMemory indices;
    if (!indices.Allocate(pixelCount + 4)) return Fail(state, kStatusOutOfMemory);

    const uint8_t* cursor = state.input.cursor;
    const uint8_t* end = state.input.dataEnd;
    if (cursor >= end) return Fail(state, kStatusMalformed);
    const int32_t minimumCodeSize = *cursor++;
    if (minimumCodeSize < 2 || minimumCodeSize > 8) return Fail(state, kStatusMalformed);

    // First pass: the sub-blocks must lie within the file, each followed by
    // its size byte, up to the zero terminator. The joined buffer is then
    // sized to the data the file really holds: incompressible pictures need
    // up to 1.5 bytes per pixel, so a buffer sized from the pixel count alone
    // would cut off the end of valid images.
    uint64_t total = 0;
    for (const uint8_t* scan = cursor;;) {
        if (scan >= end) return Fail(state, kStatusMalformed);
        const uint32_t size = *scan++;
        if (size == 0) break;
        if (uint64_t(end - scan) < uint64_t(size) + 1) return Fail(state, kStatusMalformed);
        scan += size;
        total += size;
    }
    if (total == 0) return Fail(state, kStatusMalformed);
    os::PixelMemory joined;
    if (!joined.Allocate(total + 8)) return Fail(state, kStatusOutOfMemory);  // zero slack after the data
    uint64_t kept = 0;
    for (;;) {
        const uint32_t size = *cursor++;
        if (size == 0) break;
        std::memcpy(joined.Get() + kept, cursor, size);
        kept += size;
        cursor += size;
    }
    state.input.cursor = cursor;

    if (!DecodeGifLzw(state, joined.Get(), uint32_t(kept), minimumCodeSize, indices.Get(), uint32_t(pixelCount)))
        return Fail(state, kStatusOutOfMemory);
    joined.Reset();
    return BuildRecord(state, image, indices.Get());
}

bool ReadImageDescriptor(GifReaderState& state, DecodedImage& image) {
    const uint8_t* cursor = state.input.cursor;
    const uint8_t* end = state.input.dataEnd;
    // Introducer, left, top, width, height and the packed byte.
    if (end - cursor < 10) return Fail(state, kStatusMalformed);
    state.left = LoadLittleEndian16(cursor + 1);
    state.top = LoadLittleEndian16(cursor + 3);
    state.width = LoadLittleEndian16(cursor + 5);
    state.height = LoadLittleEndian16(cursor + 7);
    if (state.left + state.width > state.screenWidth || state.top + state.height > state.screenHeight)
        return Fail(state, kStatusMalformed);
    const uint8_t packed = cursor[9];
    cursor += 10;
    if (packed & 0x80) {
        const uint32_t bits = (packed & 7u) + 1;
        const uint32_t entries = 1u << bits;
        if (uint64_t(end - cursor) < entries * 3) return Fail(state, kStatusMalformed);
        state.localTable = CopyColourTable(cursor, entries);
        if (!state.localTable) return Fail(state, kStatusOutOfMemory);
        state.hasLocalTable = 1;
        if (int32_t(bits) > state.sourceDepth) state.sourceDepth = int32_t(bits);
        cursor += entries * 3;
    } else if (!state.globalTable) {
        return Fail(state, kStatusMalformed);
    }
    state.interlaced = (packed & 0x40) ? 1 : 0;
    state.input.cursor = cursor;
    return DecodeImageData(state, image);
}

// Reads extensions until the first image descriptor and decodes that image.
bool ReadBlocks(GifReaderState& state, DecodedImage& image) {
    for (;;) {
        const uint8_t* cursor = state.input.cursor;
        const uint8_t* end = state.input.dataEnd;
        if (cursor >= end) return Fail(state, kStatusMalformed);
        const uint64_t left = uint64_t(end - cursor);
        switch (cursor[0]) {
        case 0x21: {
            if (left < 2) return Fail(state, kStatusMalformed);
            switch (cursor[1]) {
            case 0xF9:  // graphic control: fixed 8 bytes with its terminator
                if (left < 8) return Fail(state, kStatusMalformed);
                state.transparent = cursor[3] & 1;
                state.transparentIndex = cursor[6];
                state.input.cursor = cursor + 8;
                break;
            case 0x01:  // plain text
                if (left < 16) return Fail(state, kStatusMalformed);
                state.input.cursor = cursor + 15;
                if (!SkipSubBlocks(state)) return Fail(state, kStatusMalformed);
                break;
            case 0xFF:  // application
                if (left < 15) return Fail(state, kStatusMalformed);
                state.input.cursor = cursor + 14;
                if (!SkipSubBlocks(state)) return Fail(state, kStatusMalformed);
                break;
            case 0xFE:  // comment
                state.input.cursor = cursor + 2;
                if (!SkipSubBlocks(state)) return Fail(state, kStatusMalformed);
                break;
            default:
                return Fail(state, kStatusCannotOpen);
            }
            break;
        }
        case 0x2C:
            return ReadImageDescriptor(state, image);
        case 0x3B:  // trailer before any image
            return Fail(state, kStatusMalformed);
        default:
            return Fail(state, kStatusCannotOpen);
        }
    }
}

bool DecodeStream(GifReaderState& state, DecodedImage& image) {
    const uint8_t* data = state.input.cursor;
    const uint8_t* end = state.input.dataEnd;
    if (end - data < 13 || std::memcmp(data, "GIF", 3) != 0 ||
        (std::memcmp(data + 3, "87a", 3) != 0 && std::memcmp(data + 3, "89a", 3) != 0))
        return Fail(state, kStatusMalformed);
    state.screenWidth = LoadLittleEndian16(data + 6);
    state.screenHeight = LoadLittleEndian16(data + 8);
    if (state.screenWidth == 0 || state.screenHeight == 0) return Fail(state, kStatusUnsupported);
    // Every image of the file lies on the logical screen: its size is the picture's.
    if (!AdmitPictureSize(state.input, uint32_t(state.screenWidth), uint32_t(state.screenHeight))) return false;
    const uint8_t packed = data[10];
    state.input.cursor = data + 13;
    if (packed & 0x80) {
        const uint32_t bits = (packed & 7u) + 1;
        const uint32_t entries = 1u << bits;
        state.sourceDepth = int32_t(bits);
        state.backgroundIndex = data[11];
        if (uint64_t(end - state.input.cursor) < entries * 3) return Fail(state, kStatusMalformed);
        state.globalTable = CopyColourTable(state.input.cursor, entries);
        if (!state.globalTable) return Fail(state, kStatusOutOfMemory);
        state.input.cursor += entries * 3;
    }
    return ReadBlocks(state, image);
}

void ResetForRead(GifReaderState& state) {
    state.input.status = kStatusUnspecified;
    state.transparent = state.interlaced = 0;
    state.screenWidth = state.screenHeight = 0;
    state.left = state.top = state.width = state.height = 0;
    state.sourceDepth = 0;
    state.hasLocalTable = 0;
    state.backgroundIndex = 0;
    state.transparentIndex = 0;
    state.resultTransparent = 0;
    state.resultTransparentIndex = 0;
    state.resultInterlaced = 0;
    ReleaseTables(state);
}

}  // namespace

bool DecodeGifLzw(GifReaderState& state, const uint8_t* data, uint32_t dataSize, int32_t minimumCodeSize,
                  uint8_t* output, uint32_t outputSize) {
    for (int n = 3; n <= 12; ++n) state.codeMasks[n - 3] = (1u << n) - 1;
    os::HeapMemory block;
    if (!block.Allocate(sizeof(GifCodeTable))) return false;
    GifCodeEntry* entries = reinterpret_cast<GifCodeTable*>(block.Get())->entries;

    const int32_t clearCode = 1 << minimumCodeSize;
    const int32_t endCode = clearCode + 1;
    // Every code starts as the one-byte string of its low byte: the roots are
    // what they must be, and a code that is read before it has been defined
    // (damaged data) is one pixel of its low byte, exactly as it is written.
    for (int32_t code = 0; code < kGifMaxCodes; ++code) entries[code] = GifCodeEntry{code, 1, uint8_t(code)};

    int32_t codeSize = minimumCodeSize + 1;
    int32_t nextCode = endCode + 1;
    uint64_t bits = 0;
    int32_t bitCount = 0;
    const uint8_t* cursor = data;
    const uint8_t* const end = data + dataSize;
    uint32_t position = 0;

    // A code is read only when all its bits lie within the data.
    auto readCode = [&](int32_t& code) {
        if (bitCount < codeSize) {
            if (end - cursor >= 8) {
                // Eight bytes at once, least significant first; the bits past
                // the whole bytes taken are the stream's next bits and come
                // again, identical, with the next refill.
                uint64_t word = 0;
                for (int i = 7; i >= 0; --i) word = (word << 8) | cursor[i];
                bits |= word << bitCount;
                const int32_t take = (63 - bitCount) >> 3;
                cursor += take;
                bitCount += take * 8;
            }
            while (bitCount <= 56 && cursor < end) {
                bits |= uint64_t(*cursor++) << bitCount;
                bitCount += 8;
            }
            if (bitCount < codeSize) return false;
        }
        code = int32_t(bits & state.codeMasks[codeSize - 3]);
        bits >>= codeSize;
        bitCount -= codeSize;
        return true;
    };
    // The first code of the stream or after a clear code; false at the end.
    auto readFirstCode = [&](int32_t& code) {
        do {
            if (!readCode(code)) return false;
        } while (code == clearCode);
        return code != endCode;
    };
    // Writes the string of `code` at `position`, from its last byte backwards.
    // A string that would cross the end of the output is cut; false then.
    auto writeString = [&](int32_t code) {
        uint32_t length = entries[code].length;
        bool whole = true;
        if (length > outputSize - position) {
            for (uint32_t skip = length - (outputSize - position); skip > 0; --skip) code = entries[code].prefix;
            length = outputSize - position;
            whole = false;
        }
        uint8_t* out = output + position + length;
        for (uint32_t n = length; n > 0; --n) {
            *--out = entries[code].byte;
            code = entries[code].prefix;
        }
        position += length;
        return whole;
    };

    int32_t previous = 0;
    int32_t code = 0;
    bool decoding = outputSize > 0 && readFirstCode(code);
    if (decoding) {
        output[position++] = uint8_t(code);
        previous = code;
    }
    while (decoding && position < outputSize) {
        if (!readCode(code) || code == endCode) break;
        if (code == clearCode) {
            // Codes defined since the last clear become undefined again.
            for (int32_t c = endCode + 1; c < nextCode; ++c) entries[c] = GifCodeEntry{c, 1, uint8_t(c)};
            codeSize = minimumCodeSize + 1;
            nextCode = endCode + 1;
            if (!readFirstCode(code)) break;
            output[position++] = uint8_t(code);
            previous = code;
            continue;
        }
        const uint32_t start = position;
        const uint32_t previousLength = entries[previous].length;
        uint8_t firstByte;
        if (code < clearCode) {
            output[position++] = uint8_t(code);
            firstByte = uint8_t(code);
        } else if (code < nextCode) {
            if (!writeString(code)) break;
            firstByte = output[start];
        } else {
            // The previous string followed by its own first byte; decoded as
            // the next free code whatever its number.
            if (!writeString(previous)) break;
            firstByte = output[start];
            if (position >= outputSize) break;
            output[position++] = firstByte;
        }
        if (nextCode < kGifMaxCodes) {
            entries[nextCode] = GifCodeEntry{previous, previousLength + 1, firstByte};
            if (code >= nextCode) code = nextCode;
            ++nextCode;
            if (codeSize < 12 && nextCode > int32_t(state.codeMasks[codeSize - 3])) ++codeSize;
        }
        previous = code;
    }

    return true;
}

bool DecodeGifStream(GifReaderState& state, DecodedImage& image) {
    ResetForRead(state);
    const bool ok = DecodeStream(state, image);
    ReleaseTables(state);
    if (!ok) image.pixels.Reset();
    return ok;
}

bool ReadGifImage(GifReaderState& state, const WideString& path, DecodedImage* image) {
    state.input.status = kStatusUnspecified;
    if (!PrepareImageRecord(state.input, image)) return false;
    const uint32_t fileSize = OpenAndMapInput(state.input, path);
    if (fileSize == 0) {
        CloseMappedInput(state.input);
        return false;
    }
    DecodedImage& record = *state.input.image;
    if (!DecodeGifStream(state, record)) {
        const uint32_t status = state.input.status;
        CloseMappedInput(state.input);
        state.input.status = status;
        return false;
    }
    record.fileSize = fileSize;
    FinishMappedRead(state.input);
    return true;
}

}  // namespace qdx
