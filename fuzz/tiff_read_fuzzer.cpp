// Feeds arbitrary bytes to the TIFF reader through a file, as the batch does.
#include <cstdint>
#include <cstdio>
#include <string>

#include "codecs/read/tiff_reader.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace {

const qdx::WideString& InputPath() {
    static qdx::WideString path = [] {
        qdx::WideString folder, result;
        qdx::os::TemporaryFolder(folder);
        qdx::WideString name;
        qdx::AppendUtf8(name, ("qdx-tiff-fuzz-" + std::to_string(reinterpret_cast<uintptr_t>(&folder) & 0xFFFFFF) +
                               ".tif").c_str());
        SetFolderPlusName(result, folder.Text(), name.Text());
        return result;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qdx::WideString& path = InputPath();
    {
        qdx::os::File file;
        if (!qdx::os::CreateForWrite(path.Text(), file)) return 0;
        if (size && !qdx::os::WriteAll(file, data, uint32_t(size))) return 0;
    }
    static qdx::TiffReaderState state;
    qdx::DecodedImage image;
    if (qdx::ReadTiffImage(state, path, &image)) {
        // Touch every byte of the picture so a short buffer shows at once.
        const uint32_t stride = qdx::RowStride(uint32_t(image.header.biWidth), image.header.biBitCount);
        const uint64_t bytes = uint64_t(stride) * uint32_t(image.header.biHeight);
        volatile uint8_t sink = 0;
        if (bytes <= (uint64_t(1) << 20))
            for (uint64_t i = 0; i < bytes; ++i) sink = sink ^ image.pixels.Get()[i];
        if (image.sourceKind != 4 || (image.header.biBitCount != 8 && image.header.biBitCount != 24)) __builtin_trap();
    } else if (image.pixels.Get()) {
        __builtin_trap();  // a refused file must not leave a buffer behind
    }
    return 0;
}
