#include "codecs/read/jpeg_reader.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "codecs/common/input_kind.h"
#include "codecs/common/jpeg_error_glue.h"
#include "core/file_helpers.h"
#include "core/os/os.h"

#include <jerror.h>

namespace qdx {

namespace {

// Everything the library touches between the recovery point and a jump back
// to it lives here, in memory reached through one pointer, so that nothing
// the jump skips has a destructor and no local variable is left stale.
struct DecodeJob {
    jpeg_decompress_struct cinfo;
    JpegErrorGlue error;  // the library sees only its error manager
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;

    // Inputs.
    const uint8_t* data;
    size_t size;
    DecodedImage* image;
    os::HeapMemory* productTable;  // the state's table, built here when first needed
    uint32_t maxPixelBufferBytes;
    uint32_t maxLibraryMemory;
    PixelBudget* budget;
    bool keepCmykSamples;

    // Results.
    uint32_t status;
    bool libraryError;
    uint8_t greyscale;
    uint8_t progressive;
    int32_t imageWidth;
    int32_t imageHeight;
    os::PixelMemory pixels;  // the pixel buffer once allocated; goes with the job on failure
    os::PixelMemory cmykSamples;  // a CMYK file's own samples, when asked for
    uint8_t cmykInverted;
};

DecodeJob* JobOf(j_common_ptr cinfo) { return static_cast<DecodeJob*>(cinfo->client_data); }

// Refuses files with more scans than any encoder writes.
void CountScans(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxJpegScans) return;
    DecodeJob* job = JobOf(cinfo);
    std::snprintf(job->error.message, sizeof job->error.message, "Too many scans (more than %d)", kMaxJpegScans);
    std::longjmp(job->error.recovery, 1);
}

// Source manager over the mapped file: the whole file is the one buffer.
void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Called only when the file is exhausted: supply an end-of-image marker, so a
// truncated file decodes to its end with the rest left to the library.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    static constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    auto* marker = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo),
                                                                   JPOOL_PERMANENT, sizeof kEndOfImage));
    std::memcpy(marker, kEndOfImage, sizeof kEndOfImage);
    cinfo->src->next_input_byte = marker;
    cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

// Skipping past the end leaves nothing; the next read gets the end marker.
void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = cinfo->src;
    const size_t skip = static_cast<size_t>(count);
    if (skip >= source->bytes_in_buffer) {
        source->next_input_byte += source->bytes_in_buffer;
        source->bytes_in_buffer = 0;
    } else {
        source->next_input_byte += skip;
        source->bytes_in_buffer -= skip;
    }
}

// Whether a picture of this size fits the image record (and the optional cap).
bool PixelBufferAllowed(const DecodeJob* job, uint32_t width, uint32_t height, uint32_t bitCount) {
    uint32_t size = 0;
    if (!PixelBufferSize(width, height, bitCount, size)) return false;
    return job->maxPixelBufferBytes == 0 || size <= job->maxPixelBufferBytes;
}

bool EnsureProductTable(os::HeapMemory& table) {
    if (table) return true;
    if (!table.Allocate(256 * 256)) return false;
    uint8_t* products = table.Get();
    for (uint32_t i = 0; i < 256; ++i)
        for (uint32_t j = 0; j < 256; ++j) products[i * 256 + j] = static_cast<uint8_t>(i * j / 255);
    return true;
}

// One row of CMYK samples into blue, green, red through the product table.
void CmykRowToBgr(const uint8_t* products, const JSAMPLE* in, uint8_t* out, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        const uint8_t* byK = products + in[3];  // T[i][k] = products[i * 256 + k]
        out[0] = byK[in[2] * 256u];
        out[1] = byK[in[1] * 256u];
        out[2] = byK[in[0] * 256u];
    }
}

void SetResolution(const jpeg_decompress_struct& cinfo, BITMAPINFOHEADER& header) {
    header.biXPelsPerMeter = 0;
    header.biYPelsPerMeter = 0;
    if (cinfo.density_unit == 1) {  // dots per inch
        header.biXPelsPerMeter = static_cast<int32_t>(cinfo.X_density / 0.0254 + 0.5);
        header.biYPelsPerMeter = static_cast<int32_t>(cinfo.Y_density / 0.0254 + 0.5);
    } else if (cinfo.density_unit == 2) {  // dots per centimetre
        header.biXPelsPerMeter = int32_t(cinfo.X_density) * 100;
        header.biYPelsPerMeter = int32_t(cinfo.Y_density) * 100;
    }
}

// The decode proper. A C-style function: the library may jump back to the
// recovery point set here from deep inside, so it holds no object with a
// destructor and keeps everything it changes inside *job.
void RunDecompression(DecodeJob* job) {
    job->cinfo.err = UseJpegErrorGlue(job->error);
    job->cinfo.client_data = job;
    if (setjmp(job->error.recovery)) {
        job->libraryError = true;
        jpeg_destroy(reinterpret_cast<j_common_ptr>(&job->cinfo));
        return;
    }
    jpeg_CreateDecompress(&job->cinfo, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    j_decompress_ptr cinfo = &job->cinfo;
    if (job->maxLibraryMemory != 0) cinfo->mem->max_memory_to_use = static_cast<long>(job->maxLibraryMemory);

    job->source.next_input_byte = job->data;
    job->source.bytes_in_buffer = job->size;
    job->source.init_source = InitSource;
    job->source.fill_input_buffer = FillInputBuffer;
    job->source.skip_input_data = SkipInputData;
    job->source.resync_to_restart = jpeg_resync_to_restart;
    job->source.term_source = TermSource;
    cinfo->src = &job->source;
    job->progress.progress_monitor = CountScans;
    cinfo->progress = &job->progress;

    jpeg_read_header(cinfo, TRUE);
    job->imageWidth = static_cast<int32_t>(cinfo->image_width);
    job->imageHeight = static_cast<int32_t>(cinfo->image_height);
    if (const uint32_t refused = AdmitPicture(job->budget, cinfo->image_width, cinfo->image_height)) {
        job->status = refused;
        jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
        return;
    }
    // The output is the frame's size (no scaling is asked for). Refusing an
    // impossible buffer here spares the library from buffering a progressive
    // frame that could never be delivered.
    if (!PixelBufferAllowed(job, cinfo->image_width, cinfo->image_height, cinfo->num_components == 1 ? 8 : 24)) {
        job->status = kStatusUnsupported;
        jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
        return;
    }
    // Colour output comes in the pixel buffer's order, blue-green-red.
    if (cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = JCS_EXT_BGR;

    jpeg_start_decompress(cinfo);
    const uint32_t width = cinfo->output_width;
    const uint32_t height = cinfo->output_height;
    const int components = cinfo->output_components;
    uint16_t bitCount = 0;
    if (components == 1) {
        bitCount = 8;
    } else if (components == 3 || components == 4) {
        bitCount = 24;
    }
    if (width < 1 || height < 1 || bitCount == 0 || !PixelBufferAllowed(job, width, height, bitCount) ||
        width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) {
        job->status = kStatusUnsupported;
        jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
        return;
    }
    DecodedImage& image = *job->image;
    SetImageHeader(image, static_cast<int32_t>(width), static_cast<int32_t>(height), bitCount);
    if (components == 1) {
        job->greyscale = 1;
        for (uint32_t i = 0; i < 256; ++i) {
            const auto grey = static_cast<uint8_t>(i);
            image.palette[i] = RGBQUAD{grey, grey, grey, 0};
        }
    }
    // Every row is decoded into, so the buffer need not be cleared first.
    job->pixels = AllocatePixelRows(width, height, bitCount);
    if (!job->pixels) {
        job->status = kStatusOutOfMemory;
        jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
        return;
    }
    const uint32_t stride = RowStride(width, bitCount);

    if (components == 4) {
        if (!EnsureProductTable(*job->productTable)) {
            job->status = kStatusOutOfMemory;
            jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
            return;
        }
        if (job->keepCmykSamples) {
            job->cmykSamples = AllocatePixelRows(width, height, 32);
            if (!job->cmykSamples) {
                job->status = kStatusOutOfMemory;
                jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
                return;
            }
            // Adobe's files (the marker is there) store their samples inverted.
            job->cmykInverted = cinfo->saw_Adobe_marker ? 1 : 0;
        }
        JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                     width * 4u, 1);
        while (cinfo->output_scanline < height) {
            const size_t stored = height - 1 - cinfo->output_scanline;
            uint8_t* target = job->pixels.Get() + stored * stride;
            if (jpeg_read_scanlines(cinfo, row, 1) != 1) break;  // cannot happen with this source
            CmykRowToBgr(job->productTable->Get(), row[0], target, width);
            if (job->cmykSamples) std::memcpy(job->cmykSamples.Get() + stored * (size_t(width) * 4), row[0], width * 4u);
        }
    } else {
        // One and three components arrive in the buffer's own layout: decode
        // straight into the rows, the first (top) row into the last row.
        while (cinfo->output_scanline < height) {
            JSAMPROW rows[8];
            JDIMENSION count = 0;
            const JDIMENSION want = cinfo->rec_outbuf_height < 8 ? JDIMENSION(cinfo->rec_outbuf_height) : 8;
            for (; count < want && cinfo->output_scanline + count < height; ++count)
                rows[count] = job->pixels.Get() + size_t(height - 1 - cinfo->output_scanline - count) * stride;
            if (jpeg_read_scanlines(cinfo, rows, count) == 0) break;  // cannot happen with this source
        }
    }
    // Rows the library did not deliver are cleared, not left to an earlier picture.
    if (cinfo->output_scanline < height) {
        const size_t missing = height - cinfo->output_scanline;
        std::memset(job->pixels.Get(), 0, missing * stride);
        if (job->cmykSamples) std::memset(job->cmykSamples.Get(), 0, missing * (size_t(width) * 4));
    }
    jpeg_finish_decompress(cinfo);
    job->progressive = cinfo->progressive_mode ? 1 : 0;
    SetResolution(*cinfo, image.header);
    image.sourceBitDepth = bitCount;
    image.sourceKind = kInputJpeg;
    job->status = 0;
    jpeg_destroy(reinterpret_cast<j_common_ptr>(cinfo));
}

}  // namespace

bool ReadJpegImage(JpegReaderState& state, const WideString& path, DecodedImage* image) {
    MappedInput& input = state.input;
    input.status = kStatusUnspecified;
    state.greyscale = 0;
    state.progressive = 0;
    state.message.Clear();
    if (!PrepareImageRecord(input, image)) return false;
    const uint32_t size = OpenAndMapInput(input, path);
    if (size == 0) {
        CloseMappedInput(input);
        return false;
    }
    input.image->fileSize = size;

    DecodeJob job{};
    job.data = input.dataStart;
    job.size = size;
    job.image = input.image;
    job.productTable = &state.productTable;
    job.maxPixelBufferBytes = state.maxPixelBufferBytes;
    job.maxLibraryMemory = state.maxLibraryMemory;
    job.budget = input.budget;
    job.keepCmykSamples = state.keepCmykSamples != 0;
    job.status = kStatusUnspecified;
    RunDecompression(&job);

    state.imageWidth = job.imageWidth;
    state.imageHeight = job.imageHeight;
    state.greyscale = job.greyscale;
    state.progressive = job.progressive;
    if (job.libraryError) KeepMessage(state.message, job.error.message);
    if (job.status != 0) {
        input.status = job.status;
        CloseMappedInput(input);
        return false;
    }
    input.image->pixels = std::move(job.pixels);
    input.image->cmykSamples = std::move(job.cmykSamples);
    input.image->cmykInverted = job.cmykInverted;
    input.status = kStatusUnspecified;  // what a successful read leaves, as every reader
    FinishMappedRead(input);
    return true;
}

}  // namespace qdx
