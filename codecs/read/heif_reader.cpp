#include "codecs/read/heif_reader.h"

#include <cstring>
#include <memory>
#include <new>

#include "codecs/common/input_kind.h"
#include "codecs/read/alpha_flatten.h"
#include "codecs/read/heif_derivation.h"
#include "codecs/read/heif_embedded.h"
#include "codecs/read/heif_library.h"
#include "core/file_helpers.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint32_t kGreyBits = 8;
constexpr uint32_t kWidestSampleBytes = 2;   // 9 to 16 bits, little-endian
constexpr uint32_t kMostChannels = 4;        // red, green, blue, alpha
constexpr uint32_t kBgraBytes = 4;

uint32_t StatusOf(const heif_error& error) {
    switch (error.code) {
        case heif_error_Ok:
            return 0;
        case heif_error_Memory_allocation_error:
            // libheif reports a picture beyond the size it was let to decode
            // in the same way as memory it could not get.
            return error.subcode == heif_suberror_Security_limit_exceeded ? kStatusUnsupported : kStatusOutOfMemory;
        case heif_error_Unsupported_filetype:
        case heif_error_Unsupported_feature:
            return kStatusUnsupported;
        default:
            return kStatusMalformed;
    }
}

// Everything libheif hands out during one read, released in reverse order.
class HeifObjects {
public:
    explicit HeifObjects(const HeifFunctions& f) : f_(f) {}
    HeifObjects(const HeifObjects&) = delete;
    HeifObjects& operator=(const HeifObjects&) = delete;
    ~HeifObjects() {
        if (image) f_.imageRelease(image);
        if (options) f_.optionsFree(options);
        if (handle) f_.handleRelease(handle);
        if (context) f_.contextFree(context);
    }

    heif_context* context = nullptr;
    heif_image_handle* handle = nullptr;
    heif_decoding_options* options = nullptr;
    heif_image* image = nullptr;

private:
    const HeifFunctions& f_;
};

// How the decoded interleaved rows are laid out and how a sample becomes a
// byte: as it is (8 bits), or rounded from 9 to 16 bits through a table.
struct Samples {
    uint32_t channels = 3;
    uint32_t bytes = 1;   // per sample
    uint32_t largest = 255;
    std::unique_ptr<uint8_t[]> toByte;  // largest + 1 entries when bytes == 2

    uint8_t At(const uint8_t* row, uint32_t index) const {
        if (bytes == 1) return row[index];
        uint32_t value = uint32_t(row[2 * index]) | uint32_t(row[2 * index + 1]) << 8;
        return toByte[value > largest ? largest : value];  // bits above the depth are never set by a decoder
    }
};

bool PrepareSamples(uint32_t bits, bool alpha, Samples& samples) {
    samples.channels = alpha ? 4 : 3;
    if (bits <= 8) return true;
    samples.bytes = kWidestSampleBytes;
    samples.largest = (1u << bits) - 1;
    samples.toByte.reset(new (std::nothrow) uint8_t[samples.largest + 1]);
    if (!samples.toByte) return false;
    for (uint32_t v = 0; v <= samples.largest; ++v)
        samples.toByte[v] = uint8_t((v * 255 + samples.largest / 2) / samples.largest);
    return true;
}

// True when red, green and blue agree in every pixel (compared as decoded,
// so they agree after rounding too).
bool AllGrey(const uint8_t* plane, uint32_t stride, uint32_t width, uint32_t height, const Samples& samples) {
    const uint32_t pixelBytes = samples.channels * samples.bytes;
    const uint32_t sample = samples.bytes;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = plane + uint64_t(y) * stride;
        for (uint32_t x = 0; x < width; ++x, p += pixelBytes)
            if (std::memcmp(p, p + sample, sample) != 0 || std::memcmp(p, p + 2 * sample, sample) != 0) return false;
    }
    return true;
}

void StoreGrey(const uint8_t* plane, uint32_t stride, uint32_t width, uint32_t height, const Samples& samples,
               DecodedImage& image) {
    for (uint32_t i = 0; i < 256; ++i) image.palette[i] = RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = plane + uint64_t(y) * stride;
        uint8_t* out = StoredRow(image, height - 1 - y);
        for (uint32_t x = 0; x < width; ++x) out[x] = samples.At(in, x * samples.channels);
    }
}

void StoreColour(const uint8_t* plane, uint32_t stride, uint32_t width, uint32_t height, const Samples& samples,
                 DecodedImage& image) {
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = plane + uint64_t(y) * stride;
        uint8_t* out = StoredRow(image, height - 1 - y);
        for (uint32_t x = 0, s = 0; x < width; ++x, s += 3, out += 3) {
            out[0] = samples.At(in, s + 2);
            out[1] = samples.At(in, s + 1);
            out[2] = samples.At(in, s);
        }
    }
}

uint32_t StoreFlattened(const HeifReaderState& state, bool premultiplied, const uint8_t* plane, uint32_t stride,
                        uint32_t width, uint32_t height, const Samples& samples, DecodedImage& image) {
    BlendTableHolder table(state.blendTable);
    std::unique_ptr<uint8_t[]> bgra(new (std::nothrow) uint8_t[size_t(width) * kBgraBytes]);
    if (!table.Ready() || !bgra) return kStatusOutOfMemory;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = plane + uint64_t(y) * stride;
        uint8_t* row = bgra.get();
        for (uint32_t x = 0, s = 0; x < width; ++x, s += 4, row += 4) {
            row[0] = samples.At(in, s + 2);
            row[1] = samples.At(in, s + 1);
            row[2] = samples.At(in, s);
            row[3] = samples.At(in, s + 3);
        }
        FlattenBgraRow(table.Table(), bgra.get(), width, state.backgroundColour, premultiplied,
                       StoredRow(image, height - 1 - y));
    }
    return 0;
}

heif_chroma InterleavedChroma(bool alpha, bool wide) {
    if (wide) return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

// Decodes the primary image as interleaved RGB(A) and stores it.
uint32_t Decode(HeifReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    if (!state.library) return kStatusUnsupported;
    if (!HeifDerivationIsSound(data, size)) return kStatusMalformed;
    const HeifFunctions& f = *state.library;
    HeifObjects heif(f);
    heif.context = f.contextAlloc();
    if (!heif.context) return kStatusOutOfMemory;
    f.setMaximumSize(heif.context, int(state.largestSide));
    if (const uint32_t failure = StatusOf(f.readFromMemory(heif.context, data, size, nullptr))) return failure;
    if (const uint32_t failure = StatusOf(f.primaryImageHandle(heif.context, &heif.handle))) return failure;

    // The size after the container's transformations, before anything of
    // the picture is decoded.
    const int declaredWidth = f.handleWidth(heif.handle), declaredHeight = f.handleHeight(heif.handle);
    if (declaredWidth < 1 || declaredHeight < 1) return kStatusMalformed;
    if (const uint32_t refused = CheckHeifDimensions(state, uint32_t(declaredWidth), uint32_t(declaredHeight)))
        return refused;
    const bool alpha = f.handleHasAlpha(heif.handle) != 0;
    const bool premultiplied = alpha && f.handlePremultipliedAlpha(heif.handle) != 0;
    const int lumaBits = f.handleLumaBits(heif.handle);
    const bool wide = lumaBits > 8;

    heif.options = f.optionsAlloc();
    if (!heif.options) return kStatusOutOfMemory;
    heif.options->ignore_transformations = 0;
    heif.options->convert_hdr_to_8bit = 0;  // rounded below
    const heif_error decoded = f.decodeImage(heif.handle, &heif.image, heif_colorspace_RGB,
                                             InterleavedChroma(alpha, wide), heif.options);
    if (const uint32_t failure = StatusOf(decoded)) return failure;
    if (!heif.image) return kStatusMalformed;

    const int imageWidth = f.imageWidth(heif.image, heif_channel_interleaved);
    const int imageHeight = f.imageHeight(heif.image, heif_channel_interleaved);
    const int bits = f.imageBits(heif.image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = f.planeReadonly(heif.image, heif_channel_interleaved, &stride);
    if (!plane || imageWidth < 1 || imageHeight < 1 || stride < 1) return kStatusMalformed;
    if (wide ? bits <= 8 || bits > 16 : bits != 8) return kStatusMalformed;
    const uint32_t width = uint32_t(imageWidth), height = uint32_t(imageHeight);
    if (const uint32_t refused = CheckHeifDimensions(state, width, height)) return refused;

    Samples samples;
    if (!PrepareSamples(uint32_t(bits), alpha, samples)) return kStatusOutOfMemory;
    uint32_t rowBytes = 0;  // fits: CheckHeifDimensions allowed the widest layout
    CheckedMul32(width, samples.channels * samples.bytes, rowBytes);
    if (uint32_t(stride) < rowBytes) return kStatusMalformed;
    state.hadAlpha = alpha ? 1 : 0;
    state.bitDepth = uint8_t(bits);
    // The profile describes the decoded RGB values; the batch converts them.
    ReadHeifEmbeddedData(f, heif.handle, image);

    const bool grey = !alpha && AllGrey(plane, uint32_t(stride), width, height, samples);
    const uint16_t bitCount = grey ? kGreyBits : 24;
    image.pixels = AllocatePixelBuffer(width, height, bitCount);
    if (!image.pixels) return kStatusOutOfMemory;
    SetImageHeader(image, int32_t(width), int32_t(height), bitCount);
    image.sourceBitDepth = uint32_t(bits) * (grey ? 1 : samples.channels);
    if (grey) {
        StoreGrey(plane, uint32_t(stride), width, height, samples, image);
        return 0;
    }
    if (!alpha) {
        StoreColour(plane, uint32_t(stride), width, height, samples, image);
        return 0;
    }
    return StoreFlattened(state, premultiplied, plane, uint32_t(stride), width, height, samples, image);
}

}  // namespace

uint32_t CheckHeifDimensions(const HeifReaderState& state, uint32_t width, uint32_t height) {
    if (width < 1 || height < 1 || width > state.largestSide || height > state.largestSide) return kStatusUnsupported;
    uint32_t pictureBytes = 0, decodedRow = 0, decodedBytes = 0;
    if (!PixelBufferSize(width, height, 24, pictureBytes) ||
        !CheckedMul32(width, kMostChannels * kWidestSampleBytes, decodedRow) ||
        !CheckedMul32(decodedRow, height, decodedBytes))
        return kStatusUnsupported;
    return 0;
}

bool DecodeHeifBytes(HeifReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    state.hadAlpha = 0;
    state.bitDepth = 0;
    return DecodeBytesIntoImage(state.input, data, size, image, kInputHeif,
                                [&](const uint8_t* bytes, uint32_t length, DecodedImage& record) -> uint32_t {
                                    // libheif is C++ inside; an allocation it could not make may
                                    // still arrive as an exception, which ends here.
                                    try {
                                        return Decode(state, bytes, length, record);
                                    } catch (...) {
                                        return kStatusOutOfMemory;
                                    }
                                });
}

bool ReadHeifImage(HeifReaderState& state, const WideString& path, DecodedImage* image) {
    return ReadMappedFile(state.input, path, image, [&](const uint8_t* data, uint32_t size, DecodedImage& record) {
        return DecodeHeifBytes(state, data, size, record);
    });
}

}  // namespace qdx
