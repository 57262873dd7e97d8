#include "codecs/read/plugin_bridge.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>

#include "core/os/os.h"
#include "core/os/owned_memory.h"
#include "core/os/path_edit.h"
#include "core/os/plugin_host.h"

namespace qdx {

namespace {

// The two library patterns, in the order they are searched and listed.
constexpr const char16_t* kPluginPatterns[] = {u"*.spi", u"*.sph"};

// GetPluginInfo numbers: 0 is the version text (asked into 8 bytes); from 2
// on, even numbers are file patterns and odd ones their type names.
constexpr int32_t kVersionInfo = 0;
constexpr int32_t kVersionBytes = 8;
constexpr int32_t kFirstPatternInfo = 2;
// A joined text keeps room for its NUL and one spare byte.
constexpr size_t kJoinedTextLimit = kPluginTextBytes - 2;

// A BITMAPINFOHEADER with its colour table is copied up to this size.
constexpr size_t kColourTableBytes = sizeof(RGBQUAD) * 256;
constexpr uint32_t kUncompressed = 0;
constexpr uint64_t kBlockLimit = uint64_t(1) << 32;
constexpr uint64_t kFileSizeLimit = uint64_t(1) << 32;

bool IsVersion(const char* version, const char* kind) { return std::strncmp(version, kind, 4) == 0; }

bool LoadNamedPlugin(const PluginBridge& bridge, const char16_t* fileName, os::PluginLibrary& library) {
    if (!bridge.folder || bridge.folder->IsEmpty()) return false;
    WideString fullPath;
    SetFolderPlusName(fullPath, bridge.folder->Text(), fileName);
    return !fullPath.IsEmpty() && os::LoadPluginLibrary(fullPath.Text(), library);
}

bool VersionOf(os::PluginLibrary& library, char (&version)[kVersionBytes]) {
    return library.GetPluginInfo(kVersionInfo, version, kVersionBytes) > 0;
}

// Step 4 of a read: the first plug-in, "*.spi" before "*.sph", that says it
// can read the header block at offset 0 or else at offset 128 and is an
// image reader.
bool FindPlugin(PluginBridge& bridge, const char* path, const uint8_t* header, os::PluginLibrary& accepted) {
    for (const char16_t* pattern : kPluginPatterns) {
        for (const WideString& name : os::ListPluginFiles(*bridge.folder, pattern)) {
            if (IsExcludedPlugin(bridge.excluded, name.Text())) continue;
            os::PluginLibrary library;
            if (!LoadNamedPlugin(bridge, name.Text(), library) || !library.HasExport("IsSupported")) continue;
            int32_t offset = 0;
            bool supported = library.IsSupported(path, header);
            if (!supported && !library.Faulted()) {
                supported = library.IsSupported(path, header + kPluginPrefixOffset);
                offset = kPluginPrefixOffset;
            }
            if (!supported) continue;
            char version[kVersionBytes] = {};
            if (!VersionOf(library, version) || !IsImageReaderVersion(version)) continue;
            bridge.headerOffset = offset;
            accepted = std::move(library);
            return true;
        }
    }
    return false;
}

// Step 5: the picture from the accepted plug-in into `image`.
// The size the plug-in reports goes through the pixel check before it is
// asked for the picture, and the size it delivers before that is converted.
bool DecodeWithPlugin(os::PluginLibrary& plugin, const char* path, int32_t offset, PixelBudget* budget,
                      DecodedImage& image) {
    uint32_t reportedDepth = 0;
    os::PluginPictureInfo info;
    if (plugin.GetPictureInfo(path, offset, info)) {
        if (info.colourDepth > 0) reportedDepth = static_cast<uint32_t>(info.colourDepth);
        if (info.width > 0 && info.height > 0 && AdmitPicture(budget, uint32_t(info.width), uint32_t(info.height)))
            return false;
    }

    os::PluginMemoryBlock informationBlock;
    os::PluginMemoryBlock pixelBlock;
    if (!plugin.GetPicture(path, offset, informationBlock, pixelBlock)) return false;
    size_t informationSize = 0;
    const uint8_t* information = informationBlock.Lock(informationSize);
    uint16_t deliveredBits = 0;
    if (!information || !TakeDeliveredHeader(information, informationSize, image, deliveredBits) ||
        AdmitPicture(budget, uint32_t(image.header.biWidth), uint32_t(image.header.biHeight)))
        return false;
    image.sourceBitDepth = reportedDepth ? reportedDepth : deliveredBits;
    size_t pixelSize = 0;
    const uint8_t* pixels = pixelBlock.Lock(pixelSize);
    if (!pixels || !ConvertDeliveredPixels(pixels, pixelSize, deliveredBits, image)) return false;
    image.sourceKind = 0;
    return true;
}

bool ReadInto(PluginBridge& bridge, const WideString& path, DecodedImage& image) {
    char ansiPath[os::kPluginPathBytes];
    if (!os::PathToAnsi(path.Text(), ansiPath)) return false;  // a name plug-ins could not open
    std::array<uint8_t, kPluginHeaderBlockBytes> header{};
    {
        os::File file;
        uint64_t size = 0;
        if (!os::OpenForReadShared(path.Text(), file) || !os::FileSize(file, size)) return false;
        image.fileSize = size < kFileSizeLimit ? static_cast<uint32_t>(size) : 0;
        if (!os::LastWriteTime(file, image.lastWriteTime)) image.lastWriteTime = 0;
        // A file shorter than the whole block is offered to no plug-in.
        if (!os::ReadExact(file, header.data(), kPluginHeaderBlockBytes)) return false;
    }
    os::PluginLibrary plugin;
    return FindPlugin(bridge, ansiPath, header.data(), plugin) &&
           DecodeWithPlugin(plugin, ansiPath, bridge.headerOffset, bridge.budget, image);
}

}  // namespace

// ---- the operations -----------------------------------------------------------

DecodedImage* ReadWithPlugins(PluginBridge& bridge, const WideString& path, DecodedImage* image) {
    if (!bridge.folder || bridge.folder->IsEmpty() || !os::FolderExists(bridge.folder->Text())) return nullptr;
    os::HeapObject<DecodedImage> own;
    if (image) {
        std::memset(image->palette, 0, sizeof image->palette);
        image->pixels.Reset();
    } else {
        own = os::MakeHeapObject<DecodedImage>();
        if (!own) return nullptr;
    }
    DecodedImage* record = image ? image : own.get();
    bridge.image = record;
    bridge.headerOffset = 0;
    if (ReadInto(bridge, path, *record)) {
        (void)own.release();  // the caller returns it with ReleasePluginImage
        return record;
    }
    record->pixels.Reset();
    bridge.image = nullptr;
    return nullptr;
}

void ReleasePluginImage(DecodedImage* image) { os::HeapObject<DecodedImage> released(image); }

std::vector<WideString> EnumeratePlugins(const PluginBridge& bridge) {
    std::vector<WideString> names;
    if (!bridge.folder || bridge.folder->IsEmpty()) return names;
    for (const char16_t* pattern : kPluginPatterns) {
        for (WideString& name : os::ListPluginFiles(*bridge.folder, pattern)) {
            os::PluginLibrary library;
            char version[kVersionBytes] = {};
            if (LoadNamedPlugin(bridge, name.Text(), library) && VersionOf(library, version) &&
                IsListedVersion(version))
                names.push_back(std::move(name));
        }
    }
    return names;
}

bool DescribePlugin(const PluginBridge& bridge, const WideString& fileName, WideString& patterns,
                    WideString& typeNames) {
    patterns.Clear();
    typeNames.Clear();
    os::PluginLibrary library;
    if (!LoadNamedPlugin(bridge, fileName.Text(), library) || !library.HasExport("GetPluginInfo")) return false;
    char joinedPatterns[kPluginTextBytes];
    char joinedNames[kPluginTextBytes];
    const auto ask = [](void* context, int32_t number, char* text, int32_t size) {
        return static_cast<os::PluginLibrary*>(context)->GetPluginInfo(number, text, size);
    };
    if (!JoinPluginTexts(ask, &library, joinedPatterns, joinedNames)) return false;
    return os::AppendAnsi(patterns, joinedPatterns) && os::AppendAnsi(typeNames, joinedNames);
}

bool OpenPluginConfiguration(const PluginBridge& bridge, intptr_t parentWindow, const WideString& fileName) {
    os::PluginLibrary library;
    return LoadNamedPlugin(bridge, fileName.Text(), library) && library.OpenConfiguration(parentWindow);
}

// ---- the rules ----------------------------------------------------------------

bool IsExcludedPlugin(const std::vector<WideString>* excluded, const char16_t* fileName) {
    if (!excluded) return false;
    return std::any_of(excluded->begin(), excluded->end(),
                       [&](const WideString& name) { return EqualsIgnoringAsciiCase(name.Text(), fileName); });
}

bool IsImageReaderVersion(const char* version) { return IsVersion(version, "00IN"); }
bool IsListedVersion(const char* version) { return IsVersion(version, "00IN") || IsVersion(version, "00AM"); }

bool JoinPluginTexts(PluginInfoQuery ask, void* context, char* patterns, char* typeNames) {
    // Asks one entry into `text` (kPluginTextBytes bytes) and returns its
    // length, cut at what the plug-in said it stored.
    const auto get = [&](int32_t number, char* text) -> size_t {
        text[0] = 0;
        const int32_t stored = ask(context, number, text, int32_t(kPluginTextBytes));
        text[kPluginTextBytes - 1] = 0;
        const size_t length = std::strlen(text);
        if (stored <= 0) text[0] = 0;
        else if (size_t(stored) < length) text[stored] = 0;
        return std::strlen(text);
    };
    if (get(kFirstPatternInfo, patterns) == 0 || get(kFirstPatternInfo + 1, typeNames) == 0) return false;
    size_t patternsLength = std::strlen(patterns);
    size_t namesLength = std::strlen(typeNames);
    char piece[kPluginTextBytes];
    for (int32_t number = kFirstPatternInfo + 2; number > 0; number += 2) {
        size_t length = get(number, piece);
        if (length == 0 || patternsLength + 1 + length > kJoinedTextLimit) break;
        patterns[patternsLength++] = ';';
        std::memcpy(patterns + patternsLength, piece, length + 1);
        patternsLength += length;
        length = get(number + 1, piece);
        if (length == 0 || namesLength + 1 + length > kJoinedTextLimit) break;
        typeNames[namesLength++] = '/';
        std::memcpy(typeNames + namesLength, piece, length + 1);
        namesLength += length;
    }
    return true;
}

bool TakeDeliveredHeader(const uint8_t* block, size_t size, DecodedImage& image, uint16_t& deliveredBits) {
    BITMAPINFOHEADER header;
    if (size < sizeof header) return false;
    std::memcpy(&header, block, sizeof header);
    // The colour table follows the header, whatever size its version has.
    if (header.biSize < sizeof header || header.biSize > size) return false;
    if (header.biCompression != kUncompressed) return false;
    if (header.biWidth <= 0 || header.biHeight <= 0) return false;  // top-down rows are refused too
    switch (header.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        break;
    default:
        return false;
    }
    deliveredBits = header.biBitCount;
    const size_t tableBytes = std::min(size - header.biSize, kColourTableBytes);
    std::memset(image.palette, 0, sizeof image.palette);
    std::memcpy(image.palette, block + header.biSize, tableBytes);
    header.biSize = sizeof header;
    if (header.biBitCount < 8) header.biBitCount = 8;
    header.biXPelsPerMeter = std::max(header.biXPelsPerMeter, 0);
    header.biYPelsPerMeter = std::max(header.biYPelsPerMeter, 0);
    image.header = header;
    return true;
}

bool ConvertDeliveredPixels(const uint8_t* block, size_t size, uint16_t deliveredBits, DecodedImage& image) {
    if (size == 0 || uint64_t(size) >= kBlockLimit) return false;
    const auto width = static_cast<uint32_t>(image.header.biWidth);
    const auto height = static_cast<uint32_t>(image.header.biHeight);
    const uint16_t outputBits = deliveredBits == 24 ? 24 : 8;
    const uint32_t outputStride = RowStride(width, outputBits);
    os::PixelMemory pixels = AllocatePixelBuffer(width, height, outputBits);
    if (!pixels) return false;
    if (deliveredBits == 8 || deliveredBits == 24) {
        // A short block leaves the remaining rows black.
        const uint64_t wanted = uint64_t(outputStride) * height;
        std::memcpy(pixels.Get(), block, size_t(std::min<uint64_t>(wanted, size)));
    } else {
        const uint32_t perByte = 8 / deliveredBits;
        const uint64_t sourceStride = ((uint64_t(width) + perByte - 1) / perByte + 3) / 4 * 4;
        if (sourceStride * height > size) return false;
        const uint8_t mask = static_cast<uint8_t>((1u << deliveredBits) - 1);
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* in = block + sourceStride * y;
            uint8_t* out = pixels.Get() + uint64_t(outputStride) * y;
            for (uint32_t x = 0; x < width; ++x) {
                // Most significant bits first.
                const uint32_t shift = 8 - deliveredBits * (x % perByte + 1);
                out[x] = static_cast<uint8_t>((in[x / perByte] >> shift) & mask);
            }
        }
    }
    image.pixels = std::move(pixels);
    return true;
}

}  // namespace qdx
