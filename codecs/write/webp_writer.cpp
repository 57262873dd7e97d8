#include "codecs/write/webp_writer.h"

#include <webp/encode.h>

#include "codecs/write/quality_search.h"
#include "codecs/write/webp_container.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

// The encoder's own picture, freed with it.
struct OwnedPicture {
    WebPPicture picture;
    bool ready = false;
    OwnedPicture() { ready = WebPPictureInit(&picture) != 0; }
    OwnedPicture(const OwnedPicture&) = delete;
    OwnedPicture& operator=(const OwnedPicture&) = delete;
    ~OwnedPicture() { WebPPictureFree(&picture); }
};

// One encode's output, in memory the library allocated; freed with it.
struct OwnedOutput {
    WebPMemoryWriter writer;
    OwnedOutput() { WebPMemoryWriterInit(&writer); }
    OwnedOutput(const OwnedOutput&) = delete;
    OwnedOutput& operator=(const OwnedOutput&) = delete;
    ~OwnedOutput() { WebPMemoryWriterClear(&writer); }
    void Clear() {
        WebPMemoryWriterClear(&writer);
        WebPMemoryWriterInit(&writer);
    }
};

uint32_t StatusOf(const WebPPicture& picture) {
    return picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ? kStatusOutOfMemory : kStatusUnspecified;
}

uint32_t Argb(uint8_t red, uint8_t green, uint8_t blue, const WebpWriterState& state) {
    const bool clear = state.hasTransparentColour && red == state.transparentColour[0] &&
                       green == state.transparentColour[1] && blue == state.transparentColour[2];
    return (clear ? 0u : 0xFF000000u) | uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
}

// Fills the picture's ARGB rows (top row first) from bottom-up 8- or 24-bit
// pixels; the transparent colour gets alpha 0, everything else 255.
void FillArgb(const WebpWriterState& state, uint32_t depth, const RGBQUAD* palette, const uint8_t* pixels,
              WebPPicture& picture) {
    const uint32_t width = uint32_t(picture.width), height = uint32_t(picture.height);
    const uint64_t stride = RowStride(width, depth);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = pixels + uint64_t(height - 1 - y) * stride;
        uint32_t* out = picture.argb + uint64_t(y) * uint32_t(picture.argb_stride);
        if (depth == 24) {
            for (uint32_t x = 0; x < width; ++x, in += 3) out[x] = Argb(in[2], in[1], in[0], state);
        } else {
            for (uint32_t x = 0; x < width; ++x) {
                const RGBQUAD& entry = palette[in[x]];
                out[x] = Argb(entry.rgbRed, entry.rgbGreen, entry.rgbBlue, state);
            }
        }
    }
}

// The picture the encoder reads: the 8-bit form of a palette picture (a
// resized one reduced to at most 256 colours again) or the 24-bit pixels.
bool MakePicture(WebpWriterState& state, const RGBQUAD* palette, const uint8_t* pixels, WebPPicture& picture) {
    PixelConverter& converter = state.converter;
    if (converter.width <= 0 || converter.height <= 0 || converter.width > WEBP_MAX_DIMENSION ||
        converter.height > WEBP_MAX_DIMENSION) {
        state.writeStatus = kStatusUnsupported;
        return false;
    }
    picture.use_argb = 1;
    picture.width = converter.width;
    picture.height = converter.height;
    if (!WebPPictureAlloc(&picture)) {
        state.writeStatus = kStatusOutOfMemory;
        return false;
    }
    if (converter.sourceDepth == converter.targetDepth || converter.targetDepth == 24) {
        FillArgb(state, converter.sourceDepth, palette, pixels, picture);
        return true;
    }
    os::PixelMemory reduced;
    if (converter.imageSize == 0 || !reduced.Allocate(uint64_t(converter.imageSize) + 4)) {
        state.writeStatus = kStatusOutOfMemory;
        return false;
    }
    if (!Convert(converter, palette, pixels, state.scratchPalette, reduced.Get())) {
        state.writeStatus = kStatusConversionFailed;
        return false;
    }
    FillArgb(state, 8, state.scratchPalette, reduced.Get(), picture);
    return true;
}

// One complete encode into `output` (emptied first).
bool Encode(WebpWriterState& state, WebPPicture& picture, bool lossless, int32_t quality, OwnedOutput& output) {
    ++state.encodes;
    output.Clear();
    WebPConfig config;
    if (!WebPConfigInit(&config)) return false;
    config.lossless = lossless ? 1 : 0;
    config.quality = float(lossless ? kWebpLosslessEffort : quality);
    config.method = kWebpMethod;
    config.thread_level = 0;  // one thread: the same bytes everywhere
    if (!WebPValidateConfig(&config)) return false;
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &output.writer;
    if (WebPEncode(&config, &picture)) return true;
    state.writeStatus = StatusOf(picture);
    return false;
}

struct LimitedAttempt {
    WebpWriterState* state;
    WebPPicture* picture;
    OwnedOutput* output;
};

// The size of the file the encode in `output` makes, the Exif block included.
uint64_t FileSize(const WebpWriterState& state, const OwnedOutput& output) {
    return WebpSizeWithExif(output.writer.mem, output.writer.size, state.exifSize);
}

bool AttemptAtQuality(void* context, int32_t quality, uint32_t& size) {
    auto* attempt = static_cast<LimitedAttempt*>(context);
    if (!Encode(*attempt->state, *attempt->picture, false, quality, *attempt->output)) return false;
    const uint64_t produced = FileSize(*attempt->state, *attempt->output);
    size = produced > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(produced);
    return true;
}

bool WriteOutput(WebpWriterState& state, const WideString& path, const OwnedOutput& output) {
    const uint64_t size = FileSize(state, output);
    if (size == 0 || size > 0xFFFFFFFFu) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    // Without Exif the encoder's file goes out as it is.
    const uint8_t* bytes = output.writer.mem;
    os::HeapMemory extended;
    if (state.exifSize) {
        if (!extended.Allocate(size)) {
            state.writeStatus = kStatusOutOfMemory;
            return false;
        }
        if (!AddWebpExif(output.writer.mem, output.writer.size, state.exif, state.exifSize, extended.Get())) {
            state.writeStatus = kStatusUnspecified;
            return false;
        }
        bytes = extended.Get();
    }
    os::File file;
    if (!os::CreateForWrite(path.Text(), file)) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    return os::WriteAll(file, bytes, uint32_t(size));
}

}  // namespace

void PrepareWebpWriter(WebpWriterState& state, const DecodedImage& image, uint16_t savedBitDepth, uint32_t quality,
                       bool lossless, const uint8_t* transparentColour) {
    const bool palettePicture = savedBitDepth == 8;
    SetLayoutFor(state.converter, image.header, palettePicture ? 8 : 24);
    state.quality = quality > 100 ? 75 : quality < 1 ? 1 : int32_t(quality);
    state.lossless = (lossless || palettePicture) ? 1 : 0;
    state.hasTransparentColour = transparentColour ? 1 : 0;
    for (int i = 0; i < 3; ++i) state.transparentColour[i] = transparentColour ? transparentColour[i] : 0;
}

bool WriteWebpFile(WebpWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels,
                   uint32_t limitKiB) {
    state.writeStatus = kStatusUnspecified;
    state.encodes = 0;
    state.writtenQuality = 0;
    OwnedPicture owned;
    if (!owned.ready || !pixels || !MakePicture(state, palette, pixels, owned.picture)) return false;
    const uint64_t limit = uint64_t(limitKiB) * 1024;
    OwnedOutput output;
    bool done = false;
    if (state.lossless) {
        if (!Encode(state, owned.picture, true, 0, output)) return false;
        done = limitKiB == 0 || FileSize(state, output) <= limit;
    }
    if (!done) {
        int32_t quality = state.quality;
        if (limitKiB == 0) {
            if (!Encode(state, owned.picture, false, quality, output)) return false;
        } else {
            LimitedAttempt attempt{&state, &owned.picture, &output};
            const uint32_t limitBytes = limit > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(limit);
            if (!SearchQuality(quality, limitBytes, AttemptAtQuality, &attempt)) return false;
        }
        state.writtenQuality = quality;
    }
    return WriteOutput(state, path, output);
}

}  // namespace qdx
