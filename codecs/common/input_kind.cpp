#include "codecs/common/input_kind.h"

#include <cstring>

namespace qdx {

namespace {

// The brands of still HEIC and AVIF pictures, of their sequences and of the
// generic HEIF structure (mif1, msf1) that phones put first.
bool IsHeifBrand(const uint8_t* brand) {
    static constexpr char kBrands[][5] = {"heic", "heix", "hevc", "heim", "heis",
                                          "mif1", "msf1", "avif", "avis"};
    for (const char* known : kBrands)
        if (std::memcmp(brand, known, 4) == 0) return true;
    return false;
}

// An ISO media file starts with its "ftyp" box: a big-endian size, "ftyp",
// the major brand, a minor version, then compatible brands to the box's end.
// Either kind of brand counts; compatible ones only as far as were read.
bool IsHeifFileType(const uint8_t* bytes, uint32_t count) {
    constexpr uint32_t kMajorBrand = 8, kCompatibleBrands = 16, kBrandSize = 4;
    if (count < kMajorBrand + kBrandSize || std::memcmp(bytes + 4, "ftyp", 4) != 0) return false;
    if (IsHeifBrand(bytes + kMajorBrand)) return true;
    const uint32_t boxSize = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    const uint32_t end = boxSize < count ? boxSize : count;  // 0 and 1 (sizes stored elsewhere) scan nothing
    for (uint32_t at = kCompatibleBrands; at + kBrandSize <= end; at += kBrandSize)
        if (IsHeifBrand(bytes + at)) return true;
    return false;
}

}  // namespace

InputKind ClassifyLeadingBytes(const uint8_t* bytes, uint32_t count) {
    static constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    // The first two bytes are tested as one little-endian value.
    if (IsHeifFileType(bytes, count)) return kInputHeif;
    const uint16_t lead = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    switch (lead) {
    case 0x4D42:  // "BM"
        return kInputBmp;
    case 0x5089:  // PNG: all eight bytes must match
        for (int i = 2; i < 8; ++i)
            if (bytes[i] != kPngSignature[i]) return kInputNotRecognised;
        return kInputPng;
    case 0xD8FF:
        return kInputJpeg;
    case 0x4949:  // "II*"
        return bytes[2] == 0x2A ? kInputTiff : kInputNotRecognised;
    case 0x4D4D:  // "MM", any byte, "*"
        return bytes[3] == 0x2A ? kInputTiff : kInputNotRecognised;
    case 0x4947:  // "GI" + "F"
        return bytes[2] == 0x46 ? kInputGif : kInputNotRecognised;
    case 0x4952:  // "RI" + "FF", the chunk length, "WEBP"
        return count >= 12 && bytes[2] == 'F' && bytes[3] == 'F' && bytes[8] == 'W' && bytes[9] == 'E' &&
                       bytes[10] == 'B' && bytes[11] == 'P'
                   ? kInputWebp
                   : kInputNotRecognised;
    default:
        return kInputNotRecognised;
    }
}

}  // namespace qdx
