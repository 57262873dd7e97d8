#include "codecs/read/bmp_rle.h"

namespace qdx {

namespace {

constexpr uint8_t kEscape = 0;
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfBitmap = 1;
constexpr uint8_t kDelta = 2;

// Where the next pixel goes; writes outside the picture are dropped.
struct RleCursor {
    uint8_t* pixels;
    uint32_t stride, width, height;
    uint64_t x = 0, y = 0;

    void Put(uint8_t index) {
        if (x < width && y < height) pixels[y * stride + x] = index;
        ++x;
    }
};

}  // namespace

void ExpandBmpRle(const uint8_t* data, uint64_t size, uint32_t bits, uint32_t width, uint32_t height,
                  uint8_t* pixels, uint32_t stride) {
    RleCursor cursor{pixels, stride, width, height};
    uint64_t at = 0;
    while (at + 2 <= size && cursor.y < height) {
        const uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count != kEscape) {
            // A run: 8 bits repeat the byte, 4 bits alternate its two nibbles.
            for (uint32_t i = 0; i < count && cursor.x < width; ++i)
                cursor.Put(bits == 8 ? value : uint8_t(i % 2 == 0 ? value >> 4 : value & 0x0F));
            continue;
        }
        if (value == kEndOfLine) {
            cursor.x = 0;
            ++cursor.y;
        } else if (value == kEndOfBitmap) {
            return;
        } else if (value == kDelta) {
            if (at + 2 > size) return;
            cursor.x += data[at];
            cursor.y += data[at + 1];
            at += 2;
        } else {
            // Absolute mode: `value` pixels stored as they are, padded to an
            // even number of bytes.
            const uint64_t bytes = bits == 8 ? value : (uint64_t(value) + 1) / 2;
            if (at + bytes > size) return;  // damaged: stop, keep what came before
            for (uint32_t i = 0; i < value; ++i) {
                const uint8_t byte = data[at + (bits == 8 ? i : i / 2)];
                cursor.Put(bits == 8 ? byte : uint8_t(i % 2 == 0 ? byte >> 4 : byte & 0x0F));
            }
            at += (bytes + 1) & ~uint64_t(1);
        }
    }
}

}  // namespace qdx
