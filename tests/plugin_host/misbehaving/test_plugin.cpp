// Small reader plug-ins that misbehave on purpose, one library per behaviour
// (chosen by QDX_TEST_PLUGIN when compiling):
//   crash_is_supported  IsSupported writes through a null pointer
//   crash_get_picture   accepts "QDXT" files; GetPicture divides by zero
//   overflow_info       accepts "QDXT" files; GetPictureInfo recurses for ever
//   deep_pixels         accepts "QDXT" files; delivers 32 bits a pixel
//   top_down            accepts "QDXT" files; delivers rows top-down
//   archive             an archive reader ("00AM") that accepts everything
//   prefixed            accepts only a header that begins "QDXO" (so a file
//                       with a 128-byte prefix), reports two patterns and two
//                       type names, and delivers one pixel whose blue and
//                       green bytes are the offsets GetPictureInfo and
//                       GetPicture were given.
// Every one of them delivers a 1 x 1 picture when it gets that far, and its
// ConfigurationDlg writes "configured <code>" into the parent window's title.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/os/plugin_interface.h"

#define QDX_IS(name) (std::strcmp(QDX_TEST_PLUGIN, name) == 0)

namespace {

using qdx::os::PluginPictureInfo;
using ProgressCallback = int(WINAPI*)(int, int, LONG_PTR);

LONG_PTR g_infoOffset = -1;
volatile int g_zero = 0;

bool Starts(const void* header, const char* magic) { return std::memcmp(header, magic, 4) == 0; }

// Recursion the optimiser cannot turn into a loop.
__attribute__((noinline)) int Recurse(volatile char* previous) {
    volatile char frame[512];
    frame[0] = previous ? previous[0] : 1;
    return Recurse(frame) + frame[1];
}

HLOCAL Block(const void* bytes, size_t size) {
    HLOCAL block = ::LocalAlloc(LMEM_MOVEABLE, size);
    void* at = ::LocalLock(block);
    std::memcpy(at, bytes, size);
    ::LocalUnlock(block);
    return block;
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI GetPluginInfo(int number, LPSTR text, int size) {
    const char* prefixedTexts[] = {"00IN", "prefixed", "*.qdo", "Offset test", "*.qdp", "Prefixed test"};
    const char* texts[] = {QDX_IS("archive") ? "00AM" : "00IN", QDX_TEST_PLUGIN, "*.qdt", "Test"};
    const char* const* table = QDX_IS("prefixed") ? prefixedTexts : texts;
    const int count = QDX_IS("prefixed") ? 6 : 4;
    if (number < 0 || number >= count || size <= 0) return 0;
    std::snprintf(text, size_t(size), "%s", table[number]);
    return int(std::strlen(text));
}

__declspec(dllexport) int WINAPI IsSupported(LPCSTR, void* header) {
    if (QDX_IS("crash_is_supported")) *static_cast<volatile int*>(nullptr) = 1;
    if (QDX_IS("archive")) return 1;
    if (QDX_IS("prefixed")) return Starts(header, "QDXO");
    return Starts(header, "QDXT");
}

__declspec(dllexport) int WINAPI GetPictureInfo(LPCSTR, LONG_PTR offset, unsigned, PluginPictureInfo* info) {
    if (QDX_IS("overflow_info")) return Recurse(nullptr);
    g_infoOffset = offset;
    std::memset(info, 0, sizeof *info);
    info->width = info->height = 1;
    info->colourDepth = QDX_IS("prefixed") ? 4 : 0;
    info->textHandle = ::GlobalAlloc(GMEM_MOVEABLE, 16);  // the caller frees it
    return 0;
}

__declspec(dllexport) int WINAPI GetPicture(LPCSTR, LONG_PTR offset, unsigned, HANDLE* information, HANDLE* pixels,
                                            ProgressCallback progress, LONG_PTR userData) {
    if (QDX_IS("crash_get_picture")) return 100 / g_zero;
    if (progress && progress(0, 1, userData)) return 1;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = 1;
    header.biHeight = QDX_IS("top_down") ? -1 : 1;
    header.biPlanes = 1;
    header.biBitCount = QDX_IS("deep_pixels") ? 32 : 24;
    const BYTE row[4] = {BYTE(g_infoOffset), BYTE(offset), 0x55, 0};
    *information = Block(&header, sizeof header);
    *pixels = Block(row, sizeof row);
    return 0;
}

__declspec(dllexport) int WINAPI ConfigurationDlg(HWND parent, int code) {
    char title[32];
    std::snprintf(title, sizeof title, "configured %d", code);
    ::SetWindowTextA(parent, title);
    return 0;
}

}  // extern "C"
