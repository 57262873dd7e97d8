#pragma once
// Hand-made GIF streams for the reader and writer tests: codes packed by
// width, and files put together block by block.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codecs/read/gif_reader.h"
#include "core/decoded_image.h"

namespace qdx::test {

using Bytes = std::vector<uint8_t>;
// A code and the width in bits it is written with.
using Code = std::pair<uint32_t, int>;

// Packs codes least significant bit first. The last partial byte is kept
// when bits remain; `extraByte` always adds one (the writer's habit).
inline Bytes PackCodes(const std::vector<Code>& codes, bool extraByte = false) {
    Bytes out;
    uint64_t accumulator = 0;
    int bits = 0;
    for (const auto& [code, width] : codes) {
        accumulator |= uint64_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(uint8_t(accumulator));
            accumulator >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0 || extraByte) out.push_back(uint8_t(accumulator));
    return out;
}

// The same codes all at one width.
inline Bytes PackFixed(const std::vector<uint32_t>& codes, int width) {
    std::vector<Code> list;
    for (uint32_t code : codes) list.emplace_back(code, width);
    return PackCodes(list);
}

// Packs codes at the widths a decoder expects them: minimum + 1 bits after
// each clear code, one more each time the next free code passes the width
// (the first code after a clear adds no entry).
inline Bytes PackTracked(const std::vector<uint32_t>& codes, int minimumCodeSize) {
    const uint32_t clear = 1u << minimumCodeSize;
    std::vector<Code> list;
    int width = minimumCodeSize + 1;
    uint32_t next = clear + 2;
    bool first = true;
    for (uint32_t code : codes) {
        list.emplace_back(code, width);
        if (code == clear) {
            width = minimumCodeSize + 1;
            next = clear + 2;
            first = true;
        } else if (first) {
            first = false;
        } else if (next < 4096) {
            ++next;
            if (width < 12 && next > (1u << width) - 1) ++width;
        }
    }
    return PackCodes(list);
}

// Splits data into sub-blocks of at most `blockSize` bytes and the zero
// terminator.
inline Bytes SubBlocks(const Bytes& data, size_t blockSize = 255) {
    Bytes out;
    for (size_t at = 0; at < data.size(); at += blockSize) {
        const size_t n = std::min(blockSize, data.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    out.push_back(0);
    return out;
}

inline void Put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// A colour table of 2^bits entries where entry i is (i, 2i, 255 - i).
inline Bytes RampTable(int bits) {
    Bytes table;
    for (int i = 0; i < (1 << bits); ++i) {
        table.push_back(uint8_t(i));
        table.push_back(uint8_t(2 * i));
        table.push_back(uint8_t(255 - i));
    }
    return table;
}

struct GifBuilder {
    uint32_t screenWidth = 4, screenHeight = 4;
    int globalBits = 2;  // 0: no global table
    Bytes globalTable;   // filled from RampTable when empty
    uint8_t backgroundIndex = 0;
    Bytes extensions;    // raw bytes before the image descriptor
    uint32_t left = 0, top = 0, width = 4, height = 4;
    int localBits = 0;   // 0: no local table
    Bytes localTable;
    bool interlaced = false;
    uint8_t minimumCodeSize = 2;
    Bytes data;  // packed codes, split into sub-blocks of 255

    void AddGraphicControl(bool transparent, uint8_t index) {
        const uint8_t block[8] = {0x21, 0xF9, 4, uint8_t(transparent ? 1 : 0), 0, 0, index, 0};
        extensions.insert(extensions.end(), block, block + 8);
    }

    Bytes Head() const {
        Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
        Put16(out, screenWidth);
        Put16(out, screenHeight);
        out.push_back(uint8_t(globalBits ? 0x80 | 0x70 | (globalBits - 1) : 0));
        out.push_back(backgroundIndex);
        out.push_back(0);
        if (globalBits) {
            const Bytes table = globalTable.empty() ? RampTable(globalBits) : globalTable;
            out.insert(out.end(), table.begin(), table.end());
        }
        out.insert(out.end(), extensions.begin(), extensions.end());
        return out;
    }

    Bytes Descriptor() const {
        Bytes out = {0x2C};
        Put16(out, left);
        Put16(out, top);
        Put16(out, width);
        Put16(out, height);
        out.push_back(uint8_t((localBits ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0)));
        if (localBits) {
            const Bytes table = localTable.empty() ? RampTable(localBits) : localTable;
            out.insert(out.end(), table.begin(), table.end());
        }
        return out;
    }

    Bytes Build() const {
        Bytes out = Head();
        const Bytes descriptor = Descriptor();
        out.insert(out.end(), descriptor.begin(), descriptor.end());
        out.push_back(minimumCodeSize);
        const Bytes blocks = SubBlocks(data);
        out.insert(out.end(), blocks.begin(), blocks.end());
        out.push_back(0x3B);
        return out;
    }
};

// Decodes a GIF held in memory, as the reader does after mapping a file.
inline bool DecodeBytes(GifReaderState& state, const Bytes& file, DecodedImage& image) {
    image.pixels.Reset();
    if (!PrepareImageRecord(state.input, &image)) return false;
    state.input.dataStart = state.input.cursor = file.data();
    state.input.dataEnd = file.data() + file.size();
    const bool ok = DecodeGifStream(state, image);
    state.input.dataStart = state.input.cursor = state.input.dataEnd = nullptr;
    return ok;
}

// Colour index at column x of screen row y (0 = top).
inline uint8_t IndexAt(const DecodedImage& image, int x, int y) {
    const uint32_t stride = RowStride(uint32_t(image.header.biWidth), 8);
    return image.pixels.Get()[uint64_t(image.header.biHeight - 1 - y) * stride + uint32_t(x)];
}

// Top-down rows of indices, width bytes each.
inline Bytes TopDownIndices(const DecodedImage& image) {
    Bytes out;
    for (int y = 0; y < image.header.biHeight; ++y)
        for (int x = 0; x < image.header.biWidth; ++x) out.push_back(IndexAt(image, x, y));
    return out;
}

// A byte sequence in which no two neighbouring pairs repeat (a de Bruijn
// sequence over 256 symbols): an LZW encoder never finds a string of two.
inline Bytes UniquePairs(size_t count) {
    Bytes sequence;
    // Standard construction from Lyndon words for order 2.
    std::vector<int> a(3, 0);
    const int k = 256, n = 2;
    auto db = [&](auto&& self, int t, int p) -> void {
        if (sequence.size() >= count) return;
        if (t > n) {
            if (n % p == 0)
                for (int j = 1; j <= p && sequence.size() < count; ++j) sequence.push_back(uint8_t(a[j]));
            return;
        }
        a[t] = a[t - p];
        self(self, t + 1, p);
        for (int j = a[t - p] + 1; j < k; ++j) {
            a[t] = j;
            self(self, t + 1, t);
        }
    };
    db(db, 1, 1);
    return sequence;
}

}  // namespace qdx::test
