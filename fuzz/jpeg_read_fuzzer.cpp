// Feeds arbitrary bytes through the JPEG reader, as a file on disk (the
// reader maps its input). Frames are capped so that a few header bytes
// cannot ask for gigabytes: the caps are the reader's own hostile-input
// limits, the 32-bit rule of the image record applying as always.
#include <cstdint>
#include <cstdlib>

#include "codecs/read/jpeg_reader.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/wide_string.h"

namespace {

qdx::WideString* InputPath() {
    static qdx::WideString* path = [] {
        auto* created = new qdx::WideString();
        // A memory-backed folder when there is one: rewriting a disk file for
        // every input costs ten times the decode.
        qdx::WideString folder(u"/dev/shm");
        if (!qdx::os::FolderExists(folder.Text()) && !qdx::os::TemporaryFolder(folder)) std::abort();
        if (!qdx::os::CreateTemporaryFile(folder, *created)) std::abort();
        std::atexit([] { qdx::os::RemoveFile(InputPath()->Text()); });
        return created;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qdx::WideString& path = *InputPath();
    {
        qdx::os::File file;
        if (!qdx::os::CreateForWrite(path.Text(), file)) std::abort();
        if (size > 0 && !qdx::os::WriteAll(file, data, uint32_t(size))) std::abort();
    }
    static qdx::JpegReaderState state;  // reused, as in a batch
    state.maxPixelBufferBytes = 4u << 20;
    state.maxLibraryMemory = 64u << 20;
    qdx::DecodedImage image;
    const bool ok = qdx::ReadJpegImage(state, path, &image);
    if (ok) {
        // Touch the whole buffer: every byte the reader claims must be there.
        const uint32_t stride = qdx::RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
        uint32_t sum = 0;
        for (uint64_t i = 0; i < uint64_t(stride) * uint32_t(image.header.biHeight); i += 61) sum += image.pixels.Get()[i];
        if (image.header.biBitCount != 8 && image.header.biBitCount != 24) __builtin_trap();
        if (image.sourceKind != 3) __builtin_trap();
        (void)sum;
    } else if (image.pixels.Get() != nullptr) {
        __builtin_trap();
    }
    return 0;
}
