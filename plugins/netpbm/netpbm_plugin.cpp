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

#include "plugins/netpbm/netpbm_decode.h"

namespace {

using qdx::netpbm::Picture;

// Result codes of the interface.
constexpr int kSuccess = 0;
constexpr int kCancelled = 1;
constexpr int kUnknownFormat = 2;
constexpr int kBrokenData = 3;
constexpr int kOutOfMemory = 4;
constexpr int kReadError = 6;

constexpr unsigned kInputMask = 7;  // low bits of the flag: 0 file name, 1 memory
constexpr unsigned kInputFromMemory = 1;
constexpr size_t kHeaderBytes = 2048;
constexpr LONG_PTR kSmallestPointer = 0x10000;  // below this, a header argument is a file handle

// GetPluginInfo's texts: version, name, then pattern and type name pairs.
constexpr const char* kInfoTexts[] = {
    "00IN",        "Netpbm reader 1.0 (PBM, PGM, PPM)",
    "*.pbm",       "Portable bitmap",
    "*.pgm",       "Portable greymap",
    "*.ppm",       "Portable pixmap",
    "*.pnm",       "Portable anymap",
};

struct PictureInfo {
    LONG left, top, width, height;
    WORD horizontalDensity, verticalDensity;
    SHORT colourDepth;
    HLOCAL text;
};

using ProgressCallback = int(WINAPI*)(int step, int total, LONG_PTR userData);

// The bytes of the picture, from a named file (after `offset` bytes) or from
// memory the caller holds. Owned.
class Input {
public:
    const BYTE* data = nullptr;
    size_t size = 0;

    int Load(LPCSTR source, LONG_PTR lengthOrOffset, unsigned flag) {
        if ((flag & kInputMask) == kInputFromMemory) {
            data = reinterpret_cast<const BYTE*>(source);
            size = size_t(lengthOrOffset);
            return data ? kSuccess : kReadError;
        }
        HANDLE file = ::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return kReadError;
        int result = ReadAll(file, lengthOrOffset);
        ::CloseHandle(file);
        return result;
    }

private:
    int ReadAll(HANDLE file, LONG_PTR offset) {
        LARGE_INTEGER fileSize;
        if (!::GetFileSizeEx(file, &fileSize) || offset < 0 || fileSize.QuadPart <= offset) return kReadError;
        const ULONGLONG wanted = ULONGLONG(fileSize.QuadPart - offset);
        if (wanted > 0x7FFFFFFF) return kOutOfMemory;
        LARGE_INTEGER to;
        to.QuadPart = offset;
        if (!::SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) return kReadError;
        owned_.reset(new (std::nothrow) BYTE[size_t(wanted)]);
        if (!owned_) return kOutOfMemory;
        DWORD done = 0;
        if (!::ReadFile(file, owned_.get(), DWORD(wanted), &done, nullptr) || done != wanted) return kReadError;
        data = owned_.get();
        size = size_t(wanted);
        return kSuccess;
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
    return qdx::netpbm::ReadHeader(static_cast<const BYTE*>(header), kHeaderBytes, parsed) ? 1 : 0;
}

__declspec(dllexport) int WINAPI GetPictureInfo(LPCSTR source, LONG_PTR length, unsigned flag, PictureInfo* info) {
    if (!info) return kBrokenData;
    Input input;
    if (const int result = input.Load(source, length, flag); result != kSuccess) return result;
    qdx::netpbm::Header header;
    if (!qdx::netpbm::ReadHeader(input.data, input.size, header)) return kUnknownFormat;
    std::memset(info, 0, sizeof *info);
    info->width = LONG(header.width);
    info->height = LONG(header.height);
    info->colourDepth = SHORT(qdx::netpbm::StoredBitDepth(header));
    return kSuccess;
}

__declspec(dllexport) int WINAPI GetPicture(LPCSTR source, LONG_PTR length, unsigned flag, HANDLE* information,
                                            HANDLE* pixels, ProgressCallback progress, LONG_PTR userData) {
    if (!information || !pixels) return kBrokenData;
    *information = *pixels = nullptr;
    Input input;
    if (const int result = input.Load(source, length, flag); result != kSuccess) return result;
    if (!qdx::netpbm::HasSignature(input.data, input.size)) return kUnknownFormat;
    if (progress && progress(0, 1, userData)) return kCancelled;
    Picture picture;
    if (!qdx::netpbm::Decode(input.data, input.size, picture)) return kBrokenData;

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
        return kOutOfMemory;
    }
    if (progress && progress(1, 1, userData)) {
        ::LocalFree(infoBlock);
        ::LocalFree(pixelBlock);
        return kCancelled;
    }
    *information = infoBlock;
    *pixels = pixelBlock;
    return kSuccess;
}

__declspec(dllexport) int WINAPI ConfigurationDlg(HWND parent, int) {
    ::MessageBoxA(parent, "This reader has no settings.", "Netpbm reader", MB_OK | MB_ICONINFORMATION);
    return kSuccess;
}

}  // extern "C"
