#include "tests/support/bomb_images.h"

#include <cstring>

#include "codecs/common/png_crc.h"
#include "tests/support/jpeg_fixtures.h"

namespace qdx::test {

namespace {

void Put16(std::string& b, uint32_t v) { b += {char(v), char(v >> 8)}; }
void Put32(std::string& b, uint32_t v) { b += {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
void Put32Big(std::string& b, uint32_t v) { b += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

std::string Gif(uint32_t side) {
    std::string b = "GIF89a";
    Put16(b, side);
    Put16(b, side);
    b += std::string("\x80\0\0\0\0\0\xFF\xFF\xFF,", 10);  // two global colours, then the image
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, side);
    Put16(b, side);
    b += std::string("\0\x02\x02\x4C\x01\0;", 7);
    return b;
}

std::string BmpRle8(uint32_t side) {
    std::string b = "BM";
    for (uint32_t v : {14u + 40 + 8 + 2, 0u, 14u + 40 + 8, 40u, side, side}) Put32(b, v);
    Put16(b, 1);
    Put16(b, 8);
    for (uint32_t v : {1u /* RLE8 */, 2u, 0u, 0u, 2u, 0u, 0u, 0x00FFFFFFu}) Put32(b, v);
    return b + std::string("\0\x01", 2);  // end of picture
}

std::string TiffLzw(uint32_t side) {
    std::string b = "II";
    Put16(b, 42);
    Put32(b, 8);
    constexpr uint32_t kEntries = 8, kDataAt = 8 + 2 + kEntries * 12 + 4;
    Put16(b, kEntries);
    const uint32_t table[kEntries][3] = {{256, 4, side}, {257, 4, side},    {258, 3, 8},    {259, 3, 5},
                                         {262, 3, 1},    {273, 4, kDataAt}, {278, 4, side}, {279, 4, 4}};
    for (const auto& entry : table) {
        Put16(b, entry[0]);
        Put16(b, entry[1]);
        Put32(b, 1);
        Put32(b, entry[2]);
    }
    Put32(b, 0);
    return b + std::string("\x80\0\x40\x10", 4);
}

std::string WebpLossless(uint32_t side) {
    std::string b = "RIFF";
    Put32(b, 4 + 8 + 10);
    b += "WEBPVP8L";
    Put32(b, 10);
    b += '\x2F';
    Put32(b, (side - 1) | (side - 1) << 14);
    return b + std::string(5, '\0');
}

std::string Png(uint32_t side) {
    std::string header;
    Put32Big(header, side);
    Put32Big(header, side);
    header += std::string("\x08\x02\0\0\0", 5);
    const auto* ihdr = reinterpret_cast<const uint8_t*>("IHDR");
    const auto* iend = reinterpret_cast<const uint8_t*>("IEND");
    std::string b = "\x89PNG\r\n\x1A\n";
    Put32Big(b, 13);
    b += "IHDR" + header;
    Put32Big(b, chunkCrc(ihdr, reinterpret_cast<const uint8_t*>(header.data()), 13));
    Put32Big(b, 0);
    b += "IEND";
    Put32Big(b, chunkCrc(iend, nullptr, 0));
    return b;
}

// A real 16 x 16 JPEG whose frame header then claims the size.
std::string Jpeg(uint32_t side) {
    std::string b = EncodeJpeg(MakeFixture(16, 16, 3, [](int x, int y, int c) { return x * 16 + y + c; }));
    for (size_t i = 0; i + 9 < b.size(); ++i) {
        if (uint8_t(b[i]) != 0xFF || uint8_t(b[i + 1]) != 0xC0) continue;
        b[i + 5] = b[i + 7] = char(side >> 8);
        b[i + 6] = b[i + 8] = char(side);
        break;
    }
    return b;
}

std::string FromBase64(const char* text) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string b;
    uint32_t bits = 0, count = 0;
    for (; *text && *text != '='; ++text) {
        bits = bits << 6 | uint32_t(std::strchr(kDigits, *text) - kDigits);
        count += 6;
        if (count >= 8) {
            count -= 8;
            b += char(bits >> count);
        }
    }
    return b;
}

constexpr char kAnimatedWebp[] =
    "UklGRtQAAABXRUJQVlA4WAoAAAASAAAAAAMAAgAIQU5JTQYAAAAAAAAAAABBTk1GWAAAAAAAAAAAAAMAAAIAAGQAAAJWUDhMPwAAAC8DgA"
    "AQNyAQIIQJEyiSINtmOEMc1nGOQ5BtU5JhH+GcRNq2qaGrOWqAan+fZIXxgDDbODeKvYdwMBfR/4A+AQBBTk1GSAAAAAAAAAAAAAMAAAIA"
    "AGQAAABWUDhMMAAAAC8DgAAAX0CQbTOwAl78DoMiEEgmyZ9rkvnvQQruuwAEASRKKaQw3AorjBrR/6AuBw==";

}  // namespace

std::vector<BombFile> MakeBombFiles() {
    return {
        {"GIF 65535 x 65535", "bomb_gif65535.gif", Gif(65535), 65535, 65535},
        {"GIF 30000 x 30000", "bomb_gif30000.gif", Gif(30000), 30000, 30000},
        {"JPEG 30000 x 30000", "bomb_jpeg30000.jpg", Jpeg(30000), 30000, 30000},
        {"TIFF LZW 32767 x 32767", "bomb_tiff32767.tif", TiffLzw(32767), 32767, 32767},
        {"BMP RLE8 30000 x 30000", "bomb_bmp30000.bmp", BmpRle8(30000), 30000, 30000},
        {"PNG 30000 x 30000", "bomb_png30000.png", Png(30000), 30000, 30000},
        {"WebP 16383 x 16383", "bomb_webp16383.webp", WebpLossless(16383), 16383, 16383},
        {"animated WebP 769 x 524291", "bomb_animated.webp", FromBase64(kAnimatedWebp), 769, 524291},
    };
}

}  // namespace qdx::test
