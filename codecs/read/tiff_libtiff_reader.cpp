#include "codecs/read/tiff_libtiff_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <utility>

#include "codecs/read/alpha_flatten.h"
#include "core/file_helpers.h"
#include "codecs/common/input_kind.h"
#include "core/os/wide_string.h"

namespace qdx {

namespace {

constexpr uint32_t kRasterBytes = 4;  // libtiff's packed RGBA pixel
// libtiff's own buffers (strips, tiles, codec state) are capped: a few bytes
// of header cannot make it allocate more than this at once.
constexpr tmsize_t kLibtiffSingleAllocLimit = tmsize_t(256) << 20;
constexpr uint32_t kMaxPaletteBits = 8;
constexpr double kMetresPerInch = 0.0254;
constexpr double kCentimetresPerMetre = 100.0;

// The mapped file as libtiff's stream: reads and seeks within the bytes.
struct MemoryStream {
    const uint8_t* data;
    uint64_t size;
    uint64_t position;
};

tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t wanted) {
    auto* stream = static_cast<MemoryStream*>(handle);
    if (wanted <= 0 || stream->position >= stream->size) return 0;
    const uint64_t count = std::min<uint64_t>(uint64_t(wanted), stream->size - stream->position);
    std::memcpy(buffer, stream->data + stream->position, size_t(count));
    stream->position += count;
    return tmsize_t(count);
}

tmsize_t StreamWrite(thandle_t, void*, tmsize_t) { return -1; }  // opened for reading only

toff_t StreamSeek(thandle_t handle, toff_t offset, int whence) {
    auto* stream = static_cast<MemoryStream*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = stream->position;
    if (whence == SEEK_END) base = stream->size;
    // toff_t is unsigned: a negative relative seek arrives wrapped around.
    const uint64_t target = base + uint64_t(offset);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return toff_t(-1);
    stream->position = target;
    return target;
}

int StreamClose(thandle_t) { return 0; }
toff_t StreamSize(thandle_t handle) { return static_cast<MemoryStream*>(handle)->size; }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

// Messages are dropped: a failure reaches the caller as a status only.
int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

std::unique_ptr<TIFF, TiffCloser> OpenStream(MemoryStream& stream) {
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kLibtiffSingleAllocLimit);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), IgnoreMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreMessage, nullptr);
    // "m": never map; libtiff reads into buffers of its own and never sees the
    // read-only view.
    return std::unique_ptr<TIFF, TiffCloser>(TIFFClientOpenExt("input", "rm", &stream, StreamRead, StreamWrite,
                                                               StreamSeek, StreamClose, StreamSize, NoMap,
                                                               NoUnmap, options.get()));
}

int32_t PixelsPerMetre(float value, uint16_t unit) {
    double perMetre = 0;
    if (unit == RESUNIT_INCH) perMetre = double(value) / kMetresPerInch + 0.5;
    else if (unit == RESUNIT_CENTIMETER) perMetre = double(value) * kCentimetresPerMetre + 0.5;
    if (!(perMetre >= 0) || perMetre > 2147483647.0) return 0;  // NaN, negative or too large
    return int32_t(perMetre);
}

void ReadResolution(TIFF* tiff, DecodedImage& image) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y)) return;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    image.header.biXPelsPerMeter = PixelsPerMetre(x, unit);
    image.header.biYPelsPerMeter = PixelsPerMetre(y, unit);
}

// A palette file keeps its indices: the colour map becomes the palette, with
// the 8-bit reduction libtiff applies (16-bit entries unless every entry is
// below 256), and every decoded pixel is looked up in it. False when the file
// has no usable palette or a pixel is not in it; the picture then stays 24-bit.
bool StorePaletteIndices(TIFF* tiff, const uint32_t* raster, uint32_t width, uint32_t height, DecodedImage& image) {
    uint16_t photometric = 0, samples = 1, bits = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) || photometric != PHOTOMETRIC_PALETTE ||
        samples != 1 || bits < 1 || bits > kMaxPaletteBits)
        return false;
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
    const uint32_t entries = 1u << bits;
    bool sixteenBit = false;
    for (uint32_t k = 0; k < entries; ++k) sixteenBit |= red[k] >= 256 || green[k] >= 256 || blue[k] >= 256;
    const auto eight = [&](uint16_t v) { return uint8_t(sixteenBit ? v >> 8 : v); };
    RGBQUAD palette[256] = {};
    for (uint32_t k = 0; k < entries; ++k) palette[k] = RGBQUAD{eight(blue[k]), eight(green[k]), eight(red[k]), 0};

    os::PixelMemory pixels = AllocatePixelBuffer(width, height, 8);
    if (!pixels) return false;
    const uint32_t stride = RowStride(width, 8);
    uint32_t lastColour = 0xFFFFFFFFu;
    uint8_t lastIndex = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* in = raster + uint64_t(y) * width;
        uint8_t* out = pixels.Get() + uint64_t(y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t colour = in[x] & 0x00FFFFFFu;
            if (colour != lastColour) {
                uint32_t k = 0;
                while (k < entries && (palette[k].rgbRed != TIFFGetR(colour) || palette[k].rgbGreen != TIFFGetG(colour) ||
                                       palette[k].rgbBlue != TIFFGetB(colour)))
                    ++k;
                if (k == entries) return false;
                lastColour = colour;
                lastIndex = uint8_t(k);
            }
            out[x] = lastIndex;
        }
    }
    image.pixels = std::move(pixels);
    SetImageHeader(image, int32_t(width), int32_t(height), 8);
    std::memcpy(image.palette, palette, sizeof palette);
    return true;
}

uint32_t Decode(TiffLibraryReaderState& state, const uint8_t* data, uint32_t size, DecodedImage& image) {
    MemoryStream stream{data, size, 0};
    const std::unique_ptr<TIFF, TiffCloser> tiff = OpenStream(stream);
    if (!tiff) return kStatusMalformed;
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
        return kStatusMalformed;
    if (const uint32_t refused = AdmitPicture(state.input.budget, width, height)) return refused;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    // Both the 24-bit record and libtiff's packed raster must fit 32-bit sizes
    // before anything is allocated.
    uint32_t bufferSize = 0, rasterRow = 0, rasterSize = 0;
    if (width < 1 || height < 1 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu ||
        !PixelBufferSize(width, height, 24, bufferSize) || !CheckedMul32(width, kRasterBytes, rasterRow) ||
        !CheckedMul32(rasterRow, height, rasterSize))
        return kStatusUnsupported;
    // A compression this build has no codec for would decode as nothing at all.
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &compression);
    char message[1024];
    if (!TIFFIsCODECConfigured(compression) || !TIFFRGBAImageOK(tiff.get(), message)) return kStatusUnsupported;

    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t(width) * height]);
    if (!raster) return kStatusOutOfMemory;
    // Bottom row first, as the record stores it. Damaged strips or tiles are
    // decoded as far as they go, the rest left transparent black.
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.get(), ORIENTATION_BOTLEFT, 0))
        return kStatusMalformed;

    image.sourceBitDepth = uint32_t(bits) * samples;
    if (!StorePaletteIndices(tiff.get(), raster.get(), width, height, image)) {
        BlendTableHolder table(state.blendTable);
        if (!table.Ready()) return kStatusOutOfMemory;
        image.pixels = AllocatePixelBuffer(width, height, 24);
        if (!image.pixels) return kStatusOutOfMemory;
        SetImageHeader(image, int32_t(width), int32_t(height), 24);
        const uint32_t stride = RowStride(width, 24);
        std::unique_ptr<uint8_t[]> bgra(new (std::nothrow) uint8_t[size_t(width) * kRasterBytes]);
        if (!bgra) return kStatusOutOfMemory;
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t* in = raster.get() + uint64_t(y) * width;
            uint8_t* row = bgra.get();
            for (uint32_t x = 0; x < width; ++x, row += kRasterBytes) {
                row[0] = uint8_t(TIFFGetB(in[x]));
                row[1] = uint8_t(TIFFGetG(in[x]));
                row[2] = uint8_t(TIFFGetR(in[x]));
                row[3] = uint8_t(TIFFGetA(in[x]));
            }
            // libtiff hands colour already multiplied by its alpha.
            FlattenBgraRow(table.Table(), bgra.get(), width, state.backgroundColour, true,
                           image.pixels.Get() + uint64_t(y) * stride);
        }
    }
    ReadResolution(tiff.get(), image);
    return 0;
}

}  // namespace

bool LibtiffMayRead(uint32_t status) {
    return status == kStatusUnsupported || status == kStatusMalformed || status == kStatusUnspecified;
}

bool DecodeTiffBytesWithLibtiff(TiffLibraryReaderState& state, const uint8_t* data, uint32_t size,
                                DecodedImage& image) {
    return DecodeBytesIntoImage(state.input, data, size, image, kInputTiff,
                                [&](const uint8_t* bytes, uint32_t length, DecodedImage& record) {
                                    return Decode(state, bytes, length, record);
                                });
}

bool ReadTiffWithLibtiff(TiffLibraryReaderState& state, const WideString& path, DecodedImage* image) {
    return ReadMappedFile(state.input, path, image, [&](const uint8_t* data, uint32_t size, DecodedImage& record) {
        return DecodeTiffBytesWithLibtiff(state, data, size, record);
    });
}

}  // namespace qdx
