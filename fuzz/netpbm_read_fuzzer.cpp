// Feeds arbitrary bytes to the Netpbm plug-in's decoding core and hands what
// it decodes to the plug-in bridge's conversion, as the plug-in would deliver
// it (a BITMAPINFO block and bottom-up rows).
#include <cstdint>
#include <cstring>
#include <vector>

#include "codecs/read/plugin_bridge.h"
#include "core/decoded_image.h"
#include "plugins/netpbm/netpbm_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qdx;
    netpbm::Picture picture;
    if (!netpbm::Decode(data, size, picture)) {
        if (picture.rows) __builtin_trap();  // a failed decode keeps no rows
        return 0;
    }
    const netpbm::Header& header = picture.header;
    if (uint64_t(picture.stride) * header.height != picture.rowBytes) __builtin_trap();
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = int32_t(header.width);
    info.biHeight = int32_t(header.height);
    info.biPlanes = 1;
    info.biBitCount = picture.bitCount;
    std::vector<uint8_t> block(sizeof info + picture.paletteEntries * 4u);
    std::memcpy(block.data(), &info, sizeof info);
    std::memcpy(block.data() + sizeof info, picture.palette, picture.paletteEntries * 4u);
    DecodedImage image;
    uint16_t delivered = 0;
    if (!TakeDeliveredHeader(block.data(), block.size(), image, delivered)) __builtin_trap();
    // Keep the converted buffers small enough for the fuzzer's memory limit.
    if (picture.rowBytes <= (1u << 24) && !ConvertDeliveredPixels(picture.rows.get(), picture.rowBytes, delivered, image))
        __builtin_trap();
    return 0;
}
