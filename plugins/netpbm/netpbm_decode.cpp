#include "plugins/netpbm/netpbm_decode.h"

#include <cstring>
#include <new>

namespace qdx::netpbm {

namespace {

constexpr uint32_t kMaxDimension = 0x7FFFFFFF;  // a bitmap's width and height are signed 32-bit
constexpr uint32_t kMaxMaxval = 65535;
constexpr uint32_t kLargestByteSample = 255;   // above this, raw samples take two bytes, high first
constexpr uint32_t kOutputMax = 255;

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

struct Cursor {
    const uint8_t* at;
    const uint8_t* end;
};

// Header tokens may be separated by white space and "#" comments that run to
// the end of their line.
void SkipSpaceAndComments(Cursor& cursor) {
    while (cursor.at < cursor.end) {
        if (IsSpace(*cursor.at)) {
            ++cursor.at;
        } else if (*cursor.at == '#') {
            while (cursor.at < cursor.end && *cursor.at != '\n' && *cursor.at != '\r') ++cursor.at;
        } else {
            return;
        }
    }
}

void SkipSpace(Cursor& cursor) {
    while (cursor.at < cursor.end && IsSpace(*cursor.at)) ++cursor.at;
}

bool ReadNumber(Cursor& cursor, uint32_t limit, uint32_t& value) {
    if (cursor.at >= cursor.end || !IsDigit(*cursor.at)) return false;
    uint64_t number = 0;
    while (cursor.at < cursor.end && IsDigit(*cursor.at)) {
        number = number * 10 + (*cursor.at++ - '0');
        if (number > limit) return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

uint32_t Channels(Kind kind) { return kind == Kind::Pixmap ? 3 : 1; }

uint16_t OutputBits(Kind kind) {
    switch (kind) {
    case Kind::Bitmap:
        return 1;
    case Kind::Greymap:
        return 8;
    default:
        return 24;
    }
}

uint64_t OutputStride(const Header& header) {
    return (uint64_t(header.width) * OutputBits(header.kind) + 31) / 32 * 4;
}

uint8_t Scale(uint32_t sample, uint32_t maxval) { return uint8_t((sample * kOutputMax + maxval / 2) / maxval); }

// Writes one decoded sample (channel 0 = red, 1 = green, 2 = blue) of the
// pixel at column x into an output row.
void Store(const Header& header, uint8_t* row, uint32_t x, uint32_t channel, uint32_t sample) {
    if (header.kind == Kind::Pixmap)
        row[3 * x + (2 - channel)] = Scale(sample, header.maxval);
    else
        row[x] = Scale(sample, header.maxval);
}

bool DecodeRawBitmap(const Header& header, const uint8_t* raster, Picture& picture) {
    const uint32_t rowBytes = (header.width + 7) / 8;
    const uint32_t spareBits = (8 - header.width % 8) % 8;
    for (uint32_t y = 0; y < header.height; ++y) {
        uint8_t* out = picture.rows.get() + uint64_t(header.height - 1 - y) * picture.stride;
        std::memcpy(out, raster + uint64_t(rowBytes) * y, rowBytes);
        out[rowBytes - 1] &= uint8_t(0xFF << spareBits);
    }
    return true;
}

bool DecodeRawSamples(const Header& header, const uint8_t* raster, Picture& picture) {
    const uint32_t sampleBytes = header.maxval > kLargestByteSample ? 2 : 1;
    const uint32_t channels = Channels(header.kind);
    const uint8_t* in = raster;
    for (uint32_t y = 0; y < header.height; ++y) {
        uint8_t* out = picture.rows.get() + uint64_t(header.height - 1 - y) * picture.stride;
        for (uint32_t x = 0; x < header.width; ++x) {
            for (uint32_t channel = 0; channel < channels; ++channel) {
                const uint32_t sample = sampleBytes == 2 ? (uint32_t(in[0]) << 8 | in[1]) : in[0];
                in += sampleBytes;
                if (sample > header.maxval) return false;
                Store(header, out, x, channel, sample);
            }
        }
    }
    return true;
}

bool DecodePlain(const Header& header, Cursor cursor, Picture& picture) {
    const uint32_t channels = Channels(header.kind);
    for (uint32_t y = 0; y < header.height; ++y) {
        uint8_t* out = picture.rows.get() + uint64_t(header.height - 1 - y) * picture.stride;
        for (uint32_t x = 0; x < header.width; ++x) {
            if (header.kind == Kind::Bitmap) {
                // One character per pixel; white space between them is optional.
                SkipSpace(cursor);
                if (cursor.at >= cursor.end || (*cursor.at != '0' && *cursor.at != '1')) return false;
                if (*cursor.at++ == '1') out[x / 8] |= uint8_t(0x80 >> (x % 8));
                continue;
            }
            for (uint32_t channel = 0; channel < channels; ++channel) {
                uint32_t sample = 0;
                SkipSpace(cursor);
                if (!ReadNumber(cursor, header.maxval, sample)) return false;
                Store(header, out, x, channel, sample);
            }
        }
    }
    return true;
}

// The fewest raster bytes the header's picture can take, so that nothing is
// allocated for a picture the file cannot hold.
uint64_t MinimumRasterBytes(const Header& header) {
    const uint64_t pixels = uint64_t(header.width) * header.height;
    if (header.plain) {
        if (header.kind == Kind::Bitmap) return pixels;
        return pixels * Channels(header.kind) * 2 - 1;  // a digit and a separator per sample
    }
    if (header.kind == Kind::Bitmap) return uint64_t((header.width + 7) / 8) * header.height;
    return pixels * Channels(header.kind) * (header.maxval > kLargestByteSample ? 2 : 1);
}

}  // namespace

bool HasSignature(const uint8_t* data, size_t size) {
    return size >= 3 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' && (IsSpace(data[2]) || data[2] == '#');
}

bool ReadHeader(const uint8_t* data, size_t size, Header& header) {
    if (!HasSignature(data, size)) return false;
    const int number = data[1] - '0';
    header = Header();
    header.plain = number <= 3;
    header.kind = static_cast<Kind>((number - 1) % 3);
    Cursor cursor{data + 2, data + size};
    SkipSpaceAndComments(cursor);
    if (!ReadNumber(cursor, kMaxDimension, header.width) || header.width == 0) return false;
    SkipSpaceAndComments(cursor);
    if (!ReadNumber(cursor, kMaxDimension, header.height) || header.height == 0) return false;
    if (header.kind != Kind::Bitmap) {
        SkipSpaceAndComments(cursor);
        if (!ReadNumber(cursor, kMaxMaxval, header.maxval) || header.maxval == 0) return false;
    }
    // Exactly one white-space character ends the header.
    if (cursor.at >= cursor.end || !IsSpace(*cursor.at)) return false;
    header.rasterStart = size_t(cursor.at + 1 - data);
    return OutputStride(header) * header.height <= kMaxBitmapBytes;
}

uint16_t StoredBitDepth(const Header& header) {
    if (header.kind == Kind::Bitmap) return 1;
    const uint16_t sampleBits = header.maxval > kLargestByteSample ? 16 : 8;
    return uint16_t(sampleBits * Channels(header.kind));
}

bool Decode(const uint8_t* data, size_t size, Picture& picture) {
    Header header;
    if (!ReadHeader(data, size, header)) return false;
    const uint64_t available = size - header.rasterStart;
    // Checked in two steps so that the product cannot overflow.
    if (uint64_t(header.width) * header.height > available * 8 || MinimumRasterBytes(header) > available)
        return false;
    picture.header = header;
    picture.bitCount = OutputBits(header.kind);
    picture.stride = static_cast<uint32_t>(OutputStride(header));
    picture.rowBytes = static_cast<uint32_t>(uint64_t(picture.stride) * header.height);
    picture.rows.reset(new (std::nothrow) uint8_t[picture.rowBytes]());
    if (!picture.rows) return false;
    if (header.kind == Kind::Bitmap) {
        picture.paletteEntries = 2;
        std::memset(picture.palette[0], 0xFF, 3);  // 0 is white, 1 black
    } else if (header.kind == Kind::Greymap) {
        picture.paletteEntries = 256;
        for (uint32_t i = 0; i < 256; ++i) std::memset(picture.palette[i], int(i), 3);
    }
    const uint8_t* raster = data + header.rasterStart;
    bool decoded = false;
    if (header.plain)
        decoded = DecodePlain(header, Cursor{raster, data + size}, picture);
    else if (header.kind == Kind::Bitmap)
        decoded = DecodeRawBitmap(header, raster, picture);
    else
        decoded = DecodeRawSamples(header, raster, picture);
    if (!decoded) picture.rows.reset();
    return decoded;
}

}  // namespace qdx::netpbm
