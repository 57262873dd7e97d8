#include "codecs/common/input_kind.h"

namespace qdx {

InputKind ClassifyLeadingBytes(const uint8_t* bytes, uint32_t count) {
    static constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    // The first two bytes are tested as one little-endian value.
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
