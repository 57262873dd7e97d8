// JPEG reading and writing speed for the job most users run: a 4000 x 3000
// photo (quality 90, 4:2:0) decoded, and an 800 x 600 result encoded at
// quality 90 with full-resolution chroma, without and with a 100 KiB limit.
// Beside our figures: the floor (djpeg decode, cjpeg encode of the same
// files) and, for the whole job, the peers on the same input.
//
// Usage: bench_jpeg [photo.jpg]   (without an argument a synthetic photo is made)
// Times are processor time, best of several runs.
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "batch/conversion_context.h"
#include "batch/output_steps.h"
#include "batch/resize_and_write.h"
#include "bench/bench_support.h"
#include "codecs/read/jpeg_reader.h"
#include "codecs/write/jpeg_writer.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"
#include "scale/scaling.h"

using namespace qdx;
using namespace qdx::bench;

namespace {

// Starts a fresh peak (Linux: "5" to clear_refs resets the high-water mark).
void ResetPeakRss() {
    if (FILE* file = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", file);
        std::fclose(file);
    }
}

// The peak resident size since the last reset, from /proc (else getrusage).
double PeakRssMiB() {
    if (FILE* file = std::fopen("/proc/self/status", "r")) {
        char line[256];
        long kib = -1;
        while (std::fgets(line, sizeof line, file))
            if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
        std::fclose(file);
        if (kib >= 0) return double(kib) / 1024.0;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Every fifth pixel: an 800 x 600 picture with the input's content.
void Decimate(const DecodedImage& in, DecodedImage& out, int width, int height) {
    SetImageHeader(out, width, height, 24);
    out.pixels = AllocatePixelBuffer(uint32_t(width), uint32_t(height), 24);
    const uint32_t inStride = RowStride(uint32_t(in.header.biWidth), 24);
    const uint32_t outStride = RowStride(uint32_t(width), 24);
    const int stepX = in.header.biWidth / width, stepY = in.header.biHeight / height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                out.pixels.Get()[size_t(y) * outStride + x * 3 + c] =
                    in.pixels.Get()[size_t(y * stepY) * inStride + size_t(x * stepX) * 3 + c];
}

}  // namespace

int main(int argc, char** argv) {
    WideString tempRoot, folder;
    if (!os::TemporaryFolder(tempRoot)) return 1;
    folder = PathIn(tempRoot, "qdx-bench-jpeg");
    os::CreateFolder(folder.Text());
    WideString input = PathIn(folder, "photo.jpg");
    const WideString small = PathIn(folder, "small.jpg");
    const WideString limited = PathIn(folder, "limited.jpg");
    JpegWriterState writer;
    Preset preset;
    preset.jpegQuality = 90;

    if (argc > 1) {
        input.Clear();
        AppendUtf8(input, argv[1]);
    } else {
        DecodedImage photo;
        MakePhoto(photo, 4000, 3000);
        PrepareJpegWriter(writer, photo, preset.jpegQuality, false);  // 4:2:0
        if (!WriteJpegFile(writer, input, photo.palette, photo.pixels.Get())) return 1;
    }
    const std::string inputPath = Narrow(input);

    // Decode.
    JpegReaderState reader;
    DecodedImage decoded;
    ResetPeakRss();
    const double rssBefore = PeakRssMiB();
    const double decode = BestOf(5, [&] {
        if (!ReadJpegImage(reader, input, &decoded)) std::exit(1);
    });
    const double decodedMiB = double(RowStride(uint32_t(decoded.header.biWidth), 24)) * decoded.header.biHeight / 1048576.0;
    std::printf("input %s: %d x %d, %u bytes, decoded %.1f MiB\n", inputPath.c_str(), decoded.header.biWidth,
                decoded.header.biHeight, decoded.fileSize, decodedMiB);

    // Encode 800 x 600.
    DecodedImage output;
    Decimate(decoded, output, 800, 600);
    decoded.pixels.Reset();
    const double encode = BestOf(10, [&] {
        PrepareJpegWriter(writer, output, preset.jpegQuality, true);
        if (!WriteJpegFile(writer, small, output.palette, output.pixels.Get())) std::exit(1);
    });
    uint64_t smallSize = 0;
    {
        os::File file;
        os::OpenForReadShared(small.Text(), file);
        os::FileSize(file, smallSize);
    }
    uint32_t compressions = 0;
    int32_t finalQuality = 0;
    const double encodeLimited = BestOf(5, [&] {
        PrepareJpegWriter(writer, output, preset.jpegQuality, true);
        if (!WriteJpegLimited(writer, limited, output.palette, output.pixels.Get(), 100)) std::exit(1);
        compressions = writer.compressions;
        finalQuality = writer.quality;
    });
    uint64_t limitedSize = 0;
    {
        os::File file;
        os::OpenForReadShared(limited.Text(), file);
        os::FileSize(file, limitedSize);
    }
    const double peakRss = PeakRssMiB();

    std::printf("ours (in process, best of runs):\n");
    std::printf("  decode 4000 x 3000                           %8.1f ms\n", decode * 1000);
    std::printf("  encode 800 x 600 q90 1x1                     %8.1f ms  (%llu bytes)\n", encode * 1000,
                (unsigned long long)smallSize);
    std::printf("  encode 800 x 600 limited to 100 KiB          %8.1f ms  (%u compressions, quality %d, %llu bytes)\n",
                encodeLimited * 1000, compressions, finalQuality, (unsigned long long)limitedSize);
    std::printf("  decode + encode                              %8.1f ms\n", (decode + encode) * 1000);
    std::printf("  decode + limited encode                      %8.1f ms\n", (decode + encodeLimited) * 1000);
    std::printf("  peak RSS %.1f MiB (%.1f before decoding) = %.2f x the decoded input\n", peakRss, rssBefore,
                peakRss / decodedMiB);

    // The whole job of preset 0 as the batch runs it: decode, cover the
    // 800 x 600 box with bicubic and crop, write quality 90 with 1x1 chroma;
    // without and with its 100 KiB limit.
    ConversionContext context;
    if (!context.Initialise()) return 1;
    Preset job;
    job.outputFormat = kOutputJpeg;
    job.jpegQuality = 90;
    job.jpegSubsampling = 2;
    job.resizeMode = ResizeToBox;
    job.targetWidth = 800;
    job.targetHeight = 600;
    job.keepAspect = 1;
    job.resampleFilter = FilterBicubic;
    const WideString jobOutput = PathIn(folder, "job.jpg");
    context.preset = &job;
    context.tempPath = &jobOutput;
    context.outputStep = JpegOutputStep;
    auto runJob = [&] {
        if (!ReadJpegImage(*context.jpegReader, input, &context.image)) std::exit(1);
        context.savedBitDepth = context.image.header.biBitCount;
        if (!ResizeAndWrite(context)) std::exit(1);
    };
    job.limitFileSize = 0;
    ResetPeakRss();
    const double jobPlain = BestOf(5, runJob);
    const double jobPlainRss = PeakRssMiB();
    job.limitFileSize = 1;
    job.maxFileSizeKiB = 100;
    ResetPeakRss();
    const double jobLimited = BestOf(5, runJob);
    const double jobLimitedRss = PeakRssMiB();
    std::printf("whole job, preset 0 (in process, best of 5):\n");
    std::printf("  (a) no size limit                            %8.1f ms  peak RSS %.1f MiB = %.2f x decoded input\n",
                jobPlain * 1000, jobPlainRss, jobPlainRss / decodedMiB);
    std::printf("  (b) 100 KiB limit                            %8.1f ms  peak RSS %.1f MiB = %.2f x decoded input"
                "  (%u compressions, quality %d)\n",
                jobLimited * 1000, jobLimitedRss, jobLimitedRss / decodedMiB, context.jpegWriter->compressions,
                context.jpegWriter->quality);
    os::RemoveFile(jobOutput.Text());

    // The floor: the library's own tools on the same files (process start included).
    const std::string ppm = Narrow(folder) + "/small.ppm";
    WritePpm(output, ppm);
    output.pixels.Reset();
    std::printf("floor (libjpeg-turbo tools, one process each):\n");
    const double djpeg = TimeCommand("djpeg -outfile /dev/null '" + inputPath + "'", 5);
    const double cjpeg = TimeCommand("cjpeg -quality 90 -sample 1x1 -optimize -outfile /dev/null '" + ppm + "'", 10);
    PrintPeer("djpeg 4000 x 3000", djpeg);
    PrintPeer("cjpeg 800 x 600 q90 1x1", cjpeg);
    if (djpeg >= 0 && cjpeg >= 0) PrintPeer("floor (djpeg + cjpeg)", djpeg + cjpeg);

    // Peers on the whole job (box 800 x 600 with crop, bicubic, q90, 1x1), one thread each.
    const std::string out = Narrow(folder) + "/peer.jpg";
    std::printf("peers, whole job (one process, one thread):\n");
    PrintPeer("ImageMagick 6", TimeCommand("/usr/bin/convert-im6.q16 -limit thread 1 '" + inputPath +
                                               "' -filter Catrom -resize 800x600^ -gravity center -extent 800x600 "
                                               "-quality 90 -sampling-factor 1x1 '" + out + "'",
                                           3));
    PrintPeer("GraphicsMagick", TimeCommand("OMP_NUM_THREADS=1 gm convert '" + inputPath +
                                                "' -filter Catrom -resize 800x600^ -gravity center -extent 800x600 "
                                                "-quality 90 -sampling-factor 1x1 '" + out + "'",
                                            3));
    PrintPeer("libvips (resize, no shrink-on-load)",
              TimeCommand("VIPS_CONCURRENCY=1 vips resize '" + inputPath + "' '" + out +
                              "[Q=90,no_subsample,optimize_coding]' 0.2 --kernel cubic",
                          3));
    os::RemoveFile(small.Text());
    os::RemoveFile(limited.Text());
    os::RemoveFile(PathIn(folder, "small.ppm").Text());
    os::RemoveFile(PathIn(folder, "peer.jpg").Text());
    if (argc <= 1) os::RemoveFile(input.Text());
    os::RemoveFolder(folder.Text());
    return 0;
}
