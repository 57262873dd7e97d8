#include "tests/support/png_files.h"

#include <zlib.h>

#include <cstdlib>

namespace qdx::test {

namespace {

uint32_t Crc(const std::string& bytes) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

uint32_t Load32(const std::string& s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

int Predict(int type, int a, int b, int c) {
    switch (type) {
        case 1: return a;
        case 2: return b;
        case 3: return (a + b) / 2;
        case 4: {
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        }
        default: return 0;
    }
}

}  // namespace

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::string Be32(uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string PngChunk(const char* tag, const std::string& data) {
    const std::string body = std::string(tag, 4) + data;
    return Be32(uint32_t(data.size())) + body + Be32(Crc(body));
}

std::string PngHeaderData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace) {
    return Be32(width) + Be32(height) + std::string{char(depth), char(colourType), 0, 0, char(interlace)};
}

std::string Deflate(const std::string& raw, int level) {
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
              level);
    out.resize(size);
    return out;
}

std::string MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, const std::string& filteredRows,
                    const std::string& beforeData, uint8_t interlace) {
    return kPngSignature + PngChunk("IHDR", PngHeaderData(width, height, depth, colourType, interlace)) + beforeData +
           PngChunk("IDAT", Deflate(filteredRows)) + PngChunk("IEND", "");
}

std::string FilterRows(const std::string& raw, uint32_t rowBytes, uint32_t height, uint32_t bytesPerPixel,
                       const std::vector<int>& types) {
    std::string out;
    std::string previous(rowBytes, '\0');
    for (uint32_t y = 0; y < height; ++y) {
        const int type = types[y % types.size()];
        const std::string row = raw.substr(size_t(y) * rowBytes, rowBytes);
        out += char(type);
        for (uint32_t i = 0; i < rowBytes; ++i) {
            const int a = i >= bytesPerPixel ? uint8_t(row[i - bytesPerPixel]) : 0;
            const int b = uint8_t(previous[i]);
            const int c = i >= bytesPerPixel ? uint8_t(previous[i - bytesPerPixel]) : 0;
            out += char(uint8_t(uint8_t(row[i]) - Predict(type, a, b, c)));
        }
        previous = row;
    }
    return out;
}

ReferencePng DecodeReferencePng(const std::string& file) {
    ReferencePng png;
    if (file.size() < 8 || file.compare(0, 8, kPngSignature) != 0) return png;
    size_t at = 8;
    bool sawHeader = false, sawData = false, sawEnd = false;
    while (at + 12 <= file.size()) {
        const uint32_t length = Load32(file, at);
        if (length > file.size() - at - 12) return png;
        const std::string tag = file.substr(at + 4, 4);
        const std::string data = file.substr(at + 8, length);
        const bool crcOk = Crc(tag + data) == Load32(file, at + 8 + length);
        png.chunkTags.push_back(tag);
        at += 12 + size_t(length);
        if (tag == "IHDR") {
            if (sawHeader || length != 13 || !crcOk) return png;
            sawHeader = true;
            png.width = Load32(data, 0);
            png.height = Load32(data, 4);
            png.depth = uint8_t(data[8]);
            png.colourType = uint8_t(data[9]);
            png.interlace = uint8_t(data[12]);
        } else if (tag == "PLTE") {
            if (!crcOk) return png;
            if (png.colourType == 3)
                for (size_t i = 0; i + 2 < data.size(); i += 3)
                    for (int c = 0; c < 3; ++c) png.palette.push_back(uint8_t(data[i + c]));
        } else if (tag == "IDAT") {
            if (!crcOk) return png;
            png.imageData += data;
            sawData = true;
        } else if (tag == "tRNS") {
            if (crcOk && !sawData && !png.hasTransparency) {
                png.transparency = data;
                png.hasTransparency = true;
            }
        } else if (tag == "bKGD") {
            if (crcOk && !sawData && !png.hasBackground) {
                png.background = data;
                png.hasBackground = true;
            }
        } else if (tag == "IEND") {
            sawEnd = true;
            break;
        }
    }
    if (!sawHeader || !sawData || !sawEnd || png.width == 0 || png.height == 0) return png;
    switch (png.colourType) {
        case 0: png.channels = 1; break;
        case 2: png.channels = 3; break;
        case 3: png.channels = 1; break;
        case 4: png.channels = 2; break;
        case 6: png.channels = 4; break;
        default: return png;
    }
    const int bits = png.depth * png.channels;
    const uint32_t bytesPerPixel = bits < 8 ? 1 : uint32_t(bits / 8);

    // Everything inflated in one go.
    std::string inflated;
    {
        z_stream stream{};
        if (inflateInit(&stream) != Z_OK) return png;
        stream.next_in = reinterpret_cast<Bytef*>(png.imageData.data());
        stream.avail_in = uInt(png.imageData.size());
        char buffer[65536];
        int result = Z_OK;
        while (result == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            result = inflate(&stream, Z_NO_FLUSH);
            inflated.append(buffer, sizeof buffer - stream.avail_out);
        }
        inflateEnd(&stream);
        if (result != Z_STREAM_END) return png;
    }

    png.samples.assign(size_t(png.width) * png.height * png.channels, 0);
    static const int kStartX[7] = {0, 4, 0, 2, 0, 1, 0}, kStepX[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int kStartY[7] = {0, 0, 4, 0, 2, 0, 1}, kStepY[7] = {8, 8, 8, 4, 4, 2, 2};
    const int passes = png.interlace ? 7 : 1;
    size_t offset = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const uint32_t sx = png.interlace ? kStartX[pass] : 0, dx = png.interlace ? kStepX[pass] : 1;
        const uint32_t sy = png.interlace ? kStartY[pass] : 0, dy = png.interlace ? kStepY[pass] : 1;
        if (sx >= png.width || sy >= png.height) continue;
        const uint32_t pw = (png.width - sx + dx - 1) / dx, ph = (png.height - sy + dy - 1) / dy;
        const size_t rowBytes = (size_t(pw) * bits + 7) / 8;
        std::vector<uint8_t> previous(rowBytes, 0), row(rowBytes);
        for (uint32_t r = 0; r < ph; ++r) {
            if (offset + 1 + rowBytes > inflated.size()) return png;
            int type = uint8_t(inflated[offset]);
            if (type > 4) return png;  // the plain decoder refuses what the standard does
            for (size_t i = 0; i < rowBytes; ++i) {
                const int a = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
                const int c = i >= bytesPerPixel ? previous[i - bytesPerPixel] : 0;
                row[i] = uint8_t(uint8_t(inflated[offset + 1 + i]) + Predict(type, a, previous[i], c));
            }
            offset += 1 + rowBytes;
            for (uint32_t p = 0; p < pw; ++p) {
                const size_t target = ((size_t(sy + r * dy) * png.width) + sx + p * dx) * png.channels;
                for (int c = 0; c < png.channels; ++c) {
                    uint16_t value;
                    if (png.depth < 8) {
                        const size_t bit = size_t(p) * png.depth;
                        value = uint16_t((row[bit / 8] >> (8 - png.depth - bit % 8)) & ((1 << png.depth) - 1));
                    } else if (png.depth == 8) {
                        value = row[size_t(p) * png.channels + c];
                    } else {
                        const size_t i = (size_t(p) * png.channels + c) * 2;
                        value = uint16_t((row[i] << 8) | row[i + 1]);
                    }
                    png.samples[target + c] = value;
                }
            }
            previous = row;
        }
    }
    png.ok = true;
    return png;
}

}  // namespace qdx::test
