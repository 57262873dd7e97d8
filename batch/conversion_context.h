#pragma once
// One ConversionContext per drop or command line: it owns every reader's and
// writer's working state for the whole batch, so their buffers survive from
// one file to the next and are released when the batch ends.
#include <cstdint>
#include <memory>

#include "codecs/common/exif_tags.h"
#include "core/decoded_image.h"
#include "core/pixel_budget.h"
#include "core/settings.h"

namespace qdx {

struct JpegReaderState;
struct JpegWriterState;
struct PngReaderState;
struct PngWriterState;
struct GifReaderState;
struct GifWriterState;
struct BmpReaderState;
struct BmpWriterState;
struct TiffReaderState;
struct TiffWriterState;
struct WebpWriterState;
struct TiffLibraryReaderState;
struct WebpReaderState;
struct HeifReaderState;
struct PluginReaderSet;
struct ScalingState;
struct SharpenState;
struct BlendTable;
struct ConversionContext;
class WorkerPool;

using OutputStep = bool (*)(ConversionContext& context);

// What the batch does with what a source carries beside its pixels.
struct SourceDataOptions {
    bool convertColours = true;  // embedded ICC profiles to sRGB; false: numbers as stored
    MetadataPolicy keepMetadata = MetadataPolicy::DateAndCamera;
};

// The options the settings' colourProfiles and keepMetadata choose.
SourceDataOptions SourceDataOptionsOf(const Settings& settings);

struct ConversionContext {
    ConversionContext();
    ~ConversionContext();
    ConversionContext(const ConversionContext&) = delete;
    ConversionContext& operator=(const ConversionContext&) = delete;

    // Creates every state, the blend table and a pool of `threads` threads
    // (0: ConversionThreads()), every reader checking sizes against `budget`;
    // false when memory is short.
    bool Initialise(uint32_t threads = 0);

    std::unique_ptr<JpegReaderState> jpegReader;
    std::unique_ptr<JpegWriterState> jpegWriter;
    std::unique_ptr<PngReaderState> pngReader;
    std::unique_ptr<PngWriterState> pngWriter;
    std::unique_ptr<GifReaderState> gifReader;
    std::unique_ptr<GifWriterState> gifWriter;
    std::unique_ptr<BmpReaderState> bmpReader;
    std::unique_ptr<BmpWriterState> bmpWriter;
    std::unique_ptr<TiffReaderState> tiffReader;
    std::unique_ptr<TiffWriterState> tiffWriter;
    std::unique_ptr<TiffLibraryReaderState> tiffLibraryReader;
    std::unique_ptr<WebpReaderState> webpReader;
    std::unique_ptr<WebpWriterState> webpWriter;
    std::unique_ptr<HeifReaderState> heifReader;
    std::unique_ptr<PluginReaderSet> plugins;
    std::unique_ptr<ScalingState> scaling;
    std::unique_ptr<SharpenState> sharpen;
    std::unique_ptr<BlendTable> blendTable;
    // Threads that share the rows of each picture (ConversionThreads()).
    std::unique_ptr<WorkerPool> pool;

    // The batch's settings, set by RunConversion before anything is decoded
    // or written: the decode and output steps read them from here.
    const Settings* settings = nullptr;
    SourceDataOptions sourceData;
    const Preset* preset = nullptr;
    const WideString* tempPath = nullptr;
    // The batch's private folder, where workers make their own temporary
    // files; null: the system's temporary folder.
    const char16_t* temporaryFolder = nullptr;
    DecodedImage image;
    // The size of picture the readers admit; what a refusal was is kept here.
    PixelBudget budget;
    uint16_t savedBitDepth = 0;
    TransparentColour transparent;
    // What DecodeInput found the last file to be (an InputKind).
    uint32_t inputKind = 0;
    OutputStep outputStep = nullptr;
    // Set by a read that needed a library which could not be loaded: the
    // names of its missing files, for the batch to tell once.
    const char16_t* missingLibrary = nullptr;
    bool missingLibraryTold = false;  // the batch has shown its message
    // Room for the Exif block an output step writes (kExifMaxBlockBytes) and
    // the tags it is made from; taken on first use, kept for the batch.
    os::HeapMemory exifOut;
    os::HeapObject<ExifTags> exifTags;
};

}  // namespace qdx
