#include "codecs/read/webp_reader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "codecs/read/alpha_flatten.h"
#include "core/file_helpers.h"
#include "codecs/common/input_kind.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint32_t kBgraBytes = 4;

uint32_t StatusOf(VP8StatusCode code) {
    switch (code) {
        case VP8_STATUS_OUT_OF_MEMORY:
            return kStatusOutOfMemory;
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return kStatusCannotOpen;  // shorter than its headers and data require
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return kStatusUnsupported;
        default:
            return kStatusMalformed;
    }
}

struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// Owns a temporary top-down BGRA picture of one read.
struct BgraBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

bool AllocateBgra(uint32_t width, uint32_t height, BgraBuffer& buffer) {
    uint32_t row = 0, size = 0;
    if (!CheckedMul32(width, kBgraBytes, row) || !CheckedMul32(row, height, size)) return false;
    buffer.bytes.reset(new (std::nothrow) uint8_t[size]);
    buffer.size = size;
    return buffer.bytes != nullptr;
}

// Copies a top-down BGRA picture into the record's bottom-up 24-bit rows,
// flattening alpha onto the background.
void StoreFlattened(const WebpReaderState& state, const BlendTable& table, const uint8_t* bgra, uint32_t width,
                    uint32_t height, DecodedImage& image) {
    const uint32_t stride = RowStride(width, 24);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = image.pixels.Get() + uint64_t(height - 1 - y) * stride;
        FlattenBgraRow(table, bgra + uint64_t(y) * width * kBgraBytes, width, state.backgroundColour, false, out);
    }
}

// A still picture without alpha is decoded straight into the record, rows
// flipped to bottom-up by the decoder itself.
uint32_t DecodeOpaque(const uint8_t* data, uint32_t size, uint32_t width, uint32_t height, DecodedImage& image) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return kStatusUnspecified;
    config.options.flip = 1;
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.pixels.Get();
    config.output.u.RGBA.stride = int(RowStride(width, 24));
    config.output.u.RGBA.size = size_t(RowStride(width, 24)) * height;
    const VP8StatusCode code = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    return code == VP8_STATUS_OK ? 0 : StatusOf(code);
}

uint32_t DecodeStillWithAlpha(WebpReaderState& state, const BlendTable& table, const uint8_t* data, uint32_t size,
                              uint32_t width, uint32_t height, DecodedImage& image) {
    BgraBuffer bgra;
    if (!AllocateBgra(width, height, bgra)) return kStatusOutOfMemory;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return kStatusUnspecified;
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bgra.bytes.get();
    config.output.u.RGBA.stride = int(width * kBgraBytes);
    config.output.u.RGBA.size = bgra.size;
    const VP8StatusCode code = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (code != VP8_STATUS_OK) return StatusOf(code);
    StoreFlattened(state, table, bgra.bytes.get(), width, height, image);
    return 0;
}

// The first frame of an animation, composed on its canvas (transparent where
// the frame does not cover it).
uint32_t DecodeFirstFrame(WebpReaderState& state, const BlendTable& table, const uint8_t* data, uint32_t size,
                          uint32_t width, uint32_t height, DecodedImage& image) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return kStatusUnspecified;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData whole{data, size};
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(WebPAnimDecoderNew(&whole, &options));
    if (!decoder) return kStatusMalformed;
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info)) return kStatusMalformed;
    if (info.canvas_width != width || info.canvas_height != height || info.frame_count == 0) return kStatusMalformed;
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) return kStatusMalformed;
    StoreFlattened(state, table, canvas, width, height, image);
    return 0;
}

uint32_t Decode(WebpReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    WebPBitstreamFeatures features;
    const VP8StatusCode code = WebPGetFeatures(data, size, &features);
    if (code != VP8_STATUS_OK) return StatusOf(code);
    // libwebp limits both sides to 16383; checked here anyway, before any
    // allocation, like every other reader.
    if (features.width < 1 || features.height < 1) return kStatusUnsupported;
    const uint32_t width = uint32_t(features.width), height = uint32_t(features.height);
    // An animation's size is its canvas, which the library allocates whole.
    if (const uint32_t refused = AdmitPicture(state.input.budget, width, height)) return refused;
    uint32_t bufferSize = 0, bgraRow = 0, bgraSize = 0;
    if (!PixelBufferSize(width, height, 24, bufferSize) || !CheckedMul32(width, kBgraBytes, bgraRow) ||
        !CheckedMul32(bgraRow, height, bgraSize))
        return kStatusUnsupported;
    state.hadAlpha = features.has_alpha ? 1 : 0;
    state.animated = features.has_animation ? 1 : 0;

    image.pixels = AllocatePixelBuffer(width, height, 24);
    if (!image.pixels) return kStatusOutOfMemory;
    SetImageHeader(image, int32_t(width), int32_t(height), 24);
    image.sourceBitDepth = features.has_alpha ? 32 : 24;
    if (!features.has_alpha && !features.has_animation) return DecodeOpaque(data, size, width, height, image);

    BlendTableHolder table(state.blendTable);
    if (!table.Ready()) return kStatusOutOfMemory;
    if (features.has_animation) return DecodeFirstFrame(state, table.Table(), data, size, width, height, image);
    return DecodeStillWithAlpha(state, table.Table(), data, size, width, height, image);
}

}  // namespace

bool DecodeWebpBytes(WebpReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    return DecodeBytesIntoImage(state.input, data, size, image, kInputWebp,
                                [&](const uint8_t* bytes, uint32_t length, DecodedImage& record) {
                                    return Decode(state, bytes, length, record);
                                });
}

bool ReadWebpImage(WebpReaderState& state, const WideString& path, DecodedImage* image) {
    return ReadMappedFile(state.input, path, image, [&](const uint8_t* data, uint32_t size, DecodedImage& record) {
        return DecodeWebpBytes(state, data, size, record);
    });
}

}  // namespace qdx
