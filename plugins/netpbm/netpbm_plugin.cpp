// Our Netpbm reader as a plug-in library: the five exports of the reader
// plug-in interface around the portable decoding core. Built for Windows only
// (a library of its own, so it talks to the system directly).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "core/os/plugin_interface.h"
#include "plugins/netpbm/netpbm_decode.h"

namespace {

using qdx::netpbm::Picture;

using qdx::os::kPluginBrokenData;
using qdx::os::kPluginCancelled;
using qdx::os::kPluginOutOfMemory;
using qdx::os::kPluginReadError;
using qdx::os::kPluginSuccess;
using qdx::os::kPluginUnknownFormat;
using qdx::os::PluginPictureInfo;

constexpr LONG_PTR kSmallestPointer = 0x10000;  // below this, a header argument is a file handle

// GetPluginInfo's texts: version, name, then pattern and type name pairs.
constexpr const char* kInfoTexts[] = {
    "00IN",        "Netpbm reader 1.0 (PBM, PGM, PPM)",
    "*.pbm",       "Portable bitmap",
    "*.pgm",       "Portable greymap",
    "*.ppm",       "Portable pixmap",
    "*.pnm",       "Portable anymap",
};

using ProgressCallback = int(WINAPI*)(int step, int total, LONG_PTR userData);

// The bytes of the picture, from a named file (after `offset` bytes) or from
// memory the caller holds. Owned.
class Input {
public:
    const BYTE* data = nullptr;
    size_t size = 0;

    int Load(LPCSTR source, LONG_PTR lengthOrOffset, unsigned flag) {
        if ((flag & qdx::os::kPluginInputMask) == qdx::os::kPluginInputMemory) {
            data = reinterpret_cast<const BYTE*>(source);
            size = size_t(lengthOrOffset);
            return data ? kPluginSuccess : kPluginReadError;
        }
        HANDLE file = ::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return kPluginReadError;
        int result = ReadAll(file, lengthOrOffset);
        ::CloseHandle(file);
        return result;
    }

private:
    int ReadAll(HANDLE file, LONG_PTR offset) {
        LARGE_INTEGER fileSize;
        if (!::GetFileSizeEx(file, &fileSize) || offset < 0 || fileSize.QuadPart <= offset) return kPluginReadError;
        const ULONGLONG wanted = ULONGLONG(fileSize.QuadPart - offset);
        if (wanted > 0x7FFFFFFF) return kPluginOutOfMemory;
        LARGE_INTEGER to;
        to.QuadPart = offset;
        if (!::SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) return kPluginReadError;
        owned_.reset(new (std::nothrow) BYTE[size_t(wanted)]);
        if (!owned_) return kPluginOutOfMemory;
        DWORD done = 0;
        if (!::ReadFile(file, owned_.get(), DWORD(wanted), &done, nullptr) || done != wanted) return kPluginReadError;
        data = owned_.get();
        size = size_t(wanted);
        return kPluginSuccess;
    }

    std::unique_ptr<BYTE[]> owned_;
};

// A movable local-memory block filled with `size` bytes, or null.
HLOCAL MakeBlock(const void* first, size_t firstSize, const void* second, size_t secondSize) {
    HLOCAL block = ::LocalAlloc(LMEM_MOVEABLE, firstSize + secondSize);
    if (!block) return nullptr;
    auto* bytes = static_cast<BYTE*>(::LocalLock(block));
    if (!bytes) {
        ::LocalFree(block);
        return nullptr;
    }
    std::memcpy(bytes, first, firstSize);
    if (secondSize) std::memcpy(bytes + firstSize, second, secondSize);
    ::LocalUnlock(block);
    return block;
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI GetPluginInfo(int number, LPSTR text, int size) {
    constexpr int kCount = int(sizeof kInfoTexts / sizeof kInfoTexts[0]);
    if (number < 0 || number >= kCount || !text || size <= 0) return 0;
    const size_t length = std::strlen(kInfoTexts[number]);
    const size_t stored = length < size_t(size) ? length : size_t(size) - 1;
    std::memcpy(text, kInfoTexts[number], stored);
    text[stored] = 0;
    return int(stored);
}

__declspec(dllexport) int WINAPI IsSupported(LPCSTR, void* header) {
    // Only a pointer to the first 2048 bytes is understood, not a file handle.
    if (reinterpret_cast<LONG_PTR>(header) < kSmallestPointer) return 0;
    qdx::netpbm::Header parsed;
    return qdx::netpbm::ReadHeader(static_cast<const BYTE*>(header), qdx::os::kPluginHeaderBytes, parsed) ? 1 : 0;
}

__declspec(dllexport) int WINAPI GetPictureInfo(LPCSTR source, LONG_PTR length, unsigned flag,
                                                PluginPictureInfo* info) {
    if (!info) return kPluginBrokenData;
    Input input;
    if (const int result = input.Load(source, length, flag); result != kPluginSuccess) return result;
    qdx::netpbm::Header header;
    if (!qdx::netpbm::ReadHeader(input.data, input.size, header)) return kPluginUnknownFormat;
    std::memset(info, 0, sizeof *info);
    info->width = int32_t(header.width);
    info->height = int32_t(header.height);
    info->colourDepth = int16_t(qdx::netpbm::StoredBitDepth(header));
    return kPluginSuccess;
}

__declspec(dllexport) int WINAPI GetPicture(LPCSTR source, LONG_PTR length, unsigned flag, HANDLE* information,
                                            HANDLE* pixels, ProgressCallback progress, LONG_PTR userData) {
    if (!information || !pixels) return kPluginBrokenData;
    *information = *pixels = nullptr;
    Input input;
    if (const int result = input.Load(source, length, flag); result != kPluginSuccess) return result;
    if (!qdx::netpbm::HasSignature(input.data, input.size)) return kPluginUnknownFormat;
    if (progress && progress(0, 1, userData)) return kPluginCancelled;
    Picture picture;
    if (!qdx::netpbm::Decode(input.data, input.size, picture)) return kPluginBrokenData;

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = LONG(picture.header.width);
    header.biHeight = LONG(picture.header.height);  // rows bottom-up
    header.biPlanes = 1;
    header.biBitCount = picture.bitCount;
    header.biCompression = BI_RGB;
    header.biClrUsed = picture.paletteEntries;
    HLOCAL infoBlock = MakeBlock(&header, sizeof header, picture.palette, picture.paletteEntries * sizeof(RGBQUAD));
    HLOCAL pixelBlock = infoBlock ? MakeBlock(picture.rows.get(), picture.rowBytes, nullptr, 0) : nullptr;
    if (!pixelBlock) {
        if (infoBlock) ::LocalFree(infoBlock);
        return kPluginOutOfMemory;
    }
    if (progress && progress(1, 1, userData)) {
        ::LocalFree(infoBlock);
        ::LocalFree(pixelBlock);
        return kPluginCancelled;
    }
    *information = infoBlock;
    *pixels = pixelBlock;
    return kPluginSuccess;
}

__declspec(dllexport) int WINAPI ConfigurationDlg(HWND parent, int) {
    ::MessageBoxA(parent, "This reader has no settings.", "Netpbm reader", MB_OK | MB_ICONINFORMATION);
    return kPluginSuccess;
}

}  // extern "C"
