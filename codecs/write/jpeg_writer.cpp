#include "codecs/write/jpeg_writer.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "codecs/common/jpeg_error_glue.h"
#include "codecs/write/quality_search.h"
#include "core/decoded_image.h"
#include "core/file_helpers.h"
#include "core/os/owned_memory.h"

#include <jerror.h>

namespace qdx {

namespace {

constexpr uint32_t kFileBufferSize = 1048576;  // the file destination writes 1 MiB blocks

// Everything the library touches between the return point and a jump back to
// it lives here, reached through one pointer: nothing the jump skips has a
// destructor and no local variable is left stale.
struct CompressJob {
    jpeg_compress_struct cinfo;
    JpegErrorGlue error;  // the library sees only its error manager
    jpeg_destination_mgr destination;
    JOCTET* fileBuffer;  // the file destination's block

    JpegWriterState* state;
    const uint8_t* pixels;
    bool libraryError;
};

CompressJob* JobOf(j_compress_ptr cinfo) { return static_cast<CompressJob*>(cinfo->client_data); }

// File destination: 1 MiB blocks from the per-image pool.
void InitFileDestination(j_compress_ptr cinfo) {
    CompressJob* job = JobOf(cinfo);
    job->fileBuffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kFileBufferSize));
    cinfo->dest->next_output_byte = job->fileBuffer;
    cinfo->dest->free_in_buffer = kFileBufferSize;
}

boolean EmptyFileBuffer(j_compress_ptr cinfo) {
    CompressJob* job = JobOf(cinfo);
    if (!os::WriteAll(job->state->file, job->fileBuffer, kFileBufferSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
    cinfo->dest->next_output_byte = job->fileBuffer;
    cinfo->dest->free_in_buffer = kFileBufferSize;
    return TRUE;
}

void TermFileDestination(j_compress_ptr cinfo) {
    CompressJob* job = JobOf(cinfo);
    const size_t used = kFileBufferSize - cinfo->dest->free_in_buffer;
    if (used == 0) return;
    if (!os::WriteAll(job->state->file, job->fileBuffer, static_cast<uint32_t>(used))) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Memory destination over the state's buffer. An attempt that does not fit
// the buffer (a tiny picture whose headers alone are larger than its pixels,
// or noise at the highest qualities) grows it, so nothing is ever written past
// its end and every attempt is a complete file.
void InitMemoryDestination(j_compress_ptr) {}
void TermMemoryDestination(j_compress_ptr) {}

boolean GrowMemoryBuffer(j_compress_ptr cinfo) {
    JpegWriterState& state = *JobOf(cinfo)->state;
    const uint32_t used = state.memorySize;  // called only when the buffer is full
    uint64_t grown = uint64_t(used) * 2;
    if (grown < 65536) grown = 65536;
    if (grown > 0xFFFFFFFFu - 4) grown = 0xFFFFFFFFu - 4;
    if (grown <= used) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    if (!os::ResizeHeapMemory(state.memory, grown + 4)) {
        state.writeStatus = kStatusOutOfMemory;
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    }
    state.memorySize = static_cast<uint32_t>(grown);
    cinfo->dest->next_output_byte = state.memory.Get() + used;
    cinfo->dest->free_in_buffer = state.memorySize - used;
    return TRUE;
}

// Dots per inch from pixels per metre, rounded to nearest; values beyond the
// 16-bit field are held at its ends.
UINT16 DotsPerInch(int32_t pixelsPerMetre) {
    const double dpi = pixelsPerMetre * 0.0254 + 0.5;
    if (dpi <= 0) return 0;
    if (dpi >= 65535) return 65535;
    return static_cast<UINT16>(dpi);
}

// One complete compression. A C-style function: the library may jump back to
// the return point set here, so it holds no object with a destructor and
// keeps everything it changes inside *job.
bool RunCompression(CompressJob* job) {
    job->cinfo.err = UseJpegErrorGlue(job->error);
    job->cinfo.client_data = job;
    if (setjmp(job->error.recovery)) {
        job->libraryError = true;
        jpeg_destroy(reinterpret_cast<j_common_ptr>(&job->cinfo));
        return false;
    }
    jpeg_CreateCompress(&job->cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
    j_compress_ptr cinfo = &job->cinfo;
    JpegWriterState& state = *job->state;

    if (state.memoryCapacity != 0) {
        job->destination.next_output_byte = state.memory.Get();
        job->destination.free_in_buffer = state.memoryCapacity;
        job->destination.init_destination = InitMemoryDestination;
        job->destination.empty_output_buffer = GrowMemoryBuffer;
        job->destination.term_destination = TermMemoryDestination;
    } else {
        job->destination.init_destination = InitFileDestination;
        job->destination.empty_output_buffer = EmptyFileBuffer;
        job->destination.term_destination = TermFileDestination;
    }
    cinfo->dest = &job->destination;

    cinfo->image_width = static_cast<JDIMENSION>(state.converter.width);
    cinfo->image_height = static_cast<JDIMENSION>(state.converter.height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    cinfo->optimize_coding = TRUE;
    cinfo->comp_info[0].h_samp_factor = state.horizontalSampling;
    cinfo->comp_info[0].v_samp_factor = state.verticalSampling;
    jpeg_set_quality(cinfo, state.quality, TRUE);
    if (state.horizontalResolution != 0 && state.verticalResolution != 0) {
        cinfo->density_unit = 1;
        cinfo->X_density = DotsPerInch(state.horizontalResolution);
        cinfo->Y_density = DotsPerInch(state.verticalResolution);
    }
    jpeg_start_compress(cinfo, TRUE);
    if (state.exif && state.exifSize != 0 && state.exifSize <= kMaxJpegExifBytes) {
        static const uint8_t kSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
        jpeg_write_m_header(cinfo, JPEG_APP0 + 1, unsigned(sizeof kSignature + state.exifSize));
        for (uint8_t byte : kSignature) jpeg_write_m_byte(cinfo, byte);
        for (uint32_t i = 0; i < state.exifSize; ++i) jpeg_write_m_byte(cinfo, state.exif[i]);
    }

    // The first row in memory is the bottom of the picture: feed from the last.
    const size_t stride = static_cast<size_t>(state.converter.stride);
    const JDIMENSION height = cinfo->image_height;
    while (cinfo->next_scanline < height) {
        JSAMPROW rows[16];
        JDIMENSION count = 0;
        for (; count < 16 && cinfo->next_scanline + count < height; ++count)
            rows[count] = const_cast<JSAMPROW>(job->pixels + size_t(height - 1 - cinfo->next_scanline - count) * stride);
        jpeg_write_scanlines(cinfo, rows, count);
    }
    jpeg_finish_compress(cinfo);
    if (state.memoryCapacity != 0)
        state.memoryCapacity =
            static_cast<uint32_t>(job->destination.next_output_byte - state.memory.Get());
    jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
    return true;
}

// The 24-bit pixels to compress: the image's own, or its 8-bit pixels
// expanded through the palette into `owned`.
const uint8_t* PreparePixels(JpegWriterState& state, const RGBQUAD* palette, const uint8_t* pixels,
                             os::PixelMemory& owned) {
    owned.Reset();
    PixelConverter& converter = state.converter;
    if (converter.sourceDepth == 24) return pixels;
    uint32_t size = 0;
    if (converter.imageSize == 0 || !CheckedAdd32(converter.imageSize, 4, size)) {
        state.writeStatus = kStatusOutOfMemory;
        return nullptr;
    }
    if (!owned.Allocate(size)) {
        state.writeStatus = kStatusOutOfMemory;
        return nullptr;
    }
    if (!Convert(converter, palette, pixels, state.scratchPalette, owned.Get())) {
        state.writeStatus = kStatusConversionFailed;
        owned.Reset();
        return nullptr;
    }
    return owned.Get();
}

void ReleaseMemoryBuffer(JpegWriterState& state) {
    state.memory.Reset();
    state.memorySize = 0;
}

struct LimitedAttempt {
    JpegWriterState* state;
    const uint8_t* pixels;
};

bool AttemptAtQuality(void* context, int32_t quality, uint32_t& size) {
    auto* attempt = static_cast<LimitedAttempt*>(context);
    JpegWriterState& state = *attempt->state;
    state.quality = quality;
    state.memoryCapacity = state.memorySize;
    if (!CompressJpeg(state, attempt->pixels)) return false;
    size = state.memoryCapacity;
    return true;
}

}  // namespace

void PrepareJpegWriter(JpegWriterState& state, const DecodedImage& image, uint32_t quality, bool fullChroma) {
    PixelConverter& converter = state.converter;
    converter.width = image.header.biWidth < 0 ? 0 : image.header.biWidth;
    converter.height = image.header.biHeight < 0 ? 0 : image.header.biHeight;
    // The 24-bit layout the compressor reads rows with.
    SetLayout(converter, image.header.biBitCount, 24);
    state.quality = 75;
    state.horizontalSampling = 2;
    state.verticalSampling = 2;
    state.horizontalResolution = 0;
    state.verticalResolution = 0;
    state.message.Clear();

    if (quality <= 100) state.quality = static_cast<int32_t>(quality);
    if (fullChroma) {
        state.horizontalSampling = 1;
        state.verticalSampling = 1;
    }
    state.horizontalResolution = image.header.biXPelsPerMeter;
    state.verticalResolution = image.header.biYPelsPerMeter;
}

bool CompressJpeg(JpegWriterState& state, const uint8_t* pixels) {
    ++state.compressions;
    CompressJob job{};
    job.state = &state;
    job.pixels = pixels;
    const bool ok = RunCompression(&job);
    if (job.libraryError) KeepMessage(state.message, job.error.message);
    return ok;
}

bool WriteJpegFile(JpegWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels) {
    state.writeStatus = kStatusUnspecified;
    state.memoryCapacity = 0;
    state.compressions = 0;
    os::PixelMemory owned;
    const uint8_t* source = PreparePixels(state, palette, pixels, owned);
    if (!source) return false;
    bool ok = false;
    if (!os::CreateForWrite(path.Text(), state.file)) {
        state.writeStatus = kStatusCannotCreate;
    } else {
        ok = CompressJpeg(state, source);
        state.file.Close();
    }
    return ok;
}

bool WriteJpegLimited(JpegWriterState& state, const WideString& path, const RGBQUAD* palette, const uint8_t* pixels,
                      uint32_t limitKiB) {
    state.writeStatus = kStatusUnspecified;
    state.compressions = 0;
    const uint64_t stride = (uint64_t(state.converter.width) * 3 + 3) & ~uint64_t(3);
    const uint64_t bufferSize = stride * uint64_t(state.converter.height);
    if (bufferSize > 0xFFFFFFFFu - 4) {
        state.writeStatus = kStatusCannotCreate;
        return false;
    }
    ReleaseMemoryBuffer(state);
    // Never less than a few bytes, so the destination always has a buffer to grow.
    const uint32_t n = bufferSize < 4 ? 4 : static_cast<uint32_t>(bufferSize);
    if (!state.memory.Allocate(uint64_t(n) + 4)) {
        state.writeStatus = kStatusOutOfMemory;
        return false;
    }
    state.memorySize = n;
    // 4 GiB or more would wrap to a tiny limit in 32 bits: such a limit holds
    // any picture this writer makes.
    constexpr uint64_t kBytesPerKiB = 1024;
    const uint64_t wanted = uint64_t(limitKiB) * kBytesPerKiB;
    const uint32_t limit = wanted > UINT32_MAX ? UINT32_MAX : uint32_t(wanted);

    os::PixelMemory owned;
    const uint8_t* source = PreparePixels(state, palette, pixels, owned);
    bool ok = source != nullptr;
    if (ok) {
        LimitedAttempt attempt{&state, source};
        int32_t quality = state.quality;
        ok = SearchQuality(quality, limit, AttemptAtQuality, &attempt);
    }
    if (ok) {
        // The buffer holds the last attempt, which may still be over the limit.
        if (!os::CreateForWrite(path.Text(), state.file)) {
            state.writeStatus = kStatusCannotCreate;
            ok = false;
        } else {
            ok = os::WriteAll(state.file, state.memory.Get(), state.memoryCapacity);
            state.file.Close();
        }
    }
    state.memoryCapacity = 0;
    ReleaseMemoryBuffer(state);
    return ok;
}

}  // namespace qdx
