#include "batch/conversion_context.h"

#include <new>

#include "codecs/read/blend_table.h"
#include "codecs/read/bmp_reader.h"
#include "codecs/read/gif_reader.h"
#include "codecs/read/heif_reader.h"
#include "codecs/read/jpeg_reader.h"
#include "codecs/read/plugin_readers.h"
#include "codecs/read/png_reader.h"
#include "codecs/read/tiff_libtiff_reader.h"
#include "codecs/read/tiff_reader.h"
#include "codecs/read/webp_reader.h"
#include "codecs/write/bmp_writer.h"
#include "codecs/write/gif_writer.h"
#include "codecs/write/jpeg_writer.h"
#include "codecs/write/png_writer.h"
#include "codecs/write/tiff_writer.h"
#include "codecs/write/webp_writer.h"
#include "core/worker_pool.h"
#include "scale/scaling.h"
#include "scale/sharpen.h"

namespace qdx {

static_assert(uint32_t(MetadataPolicy::Nothing) == kKeepNoMetadata &&
              uint32_t(MetadataPolicy::DateAndCamera) == kKeepDateAndCamera &&
              uint32_t(MetadataPolicy::AllButLocation) == kKeepAllButLocation);

SourceDataOptions SourceDataOptionsOf(const Settings& settings) {
    SourceDataOptions options;
    options.convertColours = settings.colourProfiles != kColourProfilesAsStored;
    // The reader's rule keeps the code in range; one set by hand beyond it
    // keeps the default.
    if (settings.keepMetadata < kKeepMetadataCount) options.keepMetadata = MetadataPolicy(settings.keepMetadata);
    return options;
}

ConversionContext::ConversionContext() = default;

ConversionContext::~ConversionContext() = default;

bool ConversionContext::Initialise(uint32_t threads) {
    jpegReader.reset(new (std::nothrow) JpegReaderState());
    jpegWriter.reset(new (std::nothrow) JpegWriterState());
    pngReader.reset(new (std::nothrow) PngReaderState());
    pngWriter.reset(new (std::nothrow) PngWriterState());
    gifReader.reset(new (std::nothrow) GifReaderState());
    gifWriter.reset(new (std::nothrow) GifWriterState());
    bmpReader.reset(new (std::nothrow) BmpReaderState());
    bmpWriter.reset(new (std::nothrow) BmpWriterState());
    tiffReader.reset(new (std::nothrow) TiffReaderState());
    tiffWriter.reset(new (std::nothrow) TiffWriterState());
    tiffLibraryReader.reset(new (std::nothrow) TiffLibraryReaderState());
    webpReader.reset(new (std::nothrow) WebpReaderState());
    webpWriter.reset(new (std::nothrow) WebpWriterState());
    heifReader.reset(new (std::nothrow) HeifReaderState());
    plugins.reset(new (std::nothrow) PluginReaderSet());
    scaling.reset(new (std::nothrow) ScalingState());
    sharpen.reset(new (std::nothrow) SharpenState());
    blendTable.reset(new (std::nothrow) BlendTable());
    pool.reset(new (std::nothrow) WorkerPool(threads != 0 ? threads : ConversionThreads()));
    if (!jpegReader || !jpegWriter || !pngReader || !pngWriter || !gifReader || !gifWriter || !bmpReader ||
        !bmpWriter || !tiffReader || !tiffWriter || !tiffLibraryReader || !webpReader || !webpWriter || !heifReader || !plugins || !scaling ||
        !sharpen || !blendTable || !pool)
        return false;
    for (MappedInput* input : {&jpegReader->input, &pngReader->input, &gifReader->input, &bmpReader->input,
                               &tiffReader->input, &tiffLibraryReader->input, &webpReader->input})
        input->budget = &budget;
    plugins->bridge.budget = &budget;
    scaling->pool = pool.get();
    sharpen->pool = pool.get();
    BuildBlendTable(*blendTable);
    return true;
}

}  // namespace qdx
