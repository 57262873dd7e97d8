#pragma once
// The reader plug-in interface as both sides see it: the host that loads
// plug-ins (core/os/plugin_host*) and our own plug-ins (plugins/). Plain
// types only, so a plug-in library includes it without the engine.
#include <cstdint>

namespace qdx::os {

// What the exports return.
inline constexpr int kPluginSuccess = 0;
inline constexpr int kPluginCancelled = 1;
inline constexpr int kPluginUnknownFormat = 2;
inline constexpr int kPluginBrokenData = 3;
inline constexpr int kPluginOutOfMemory = 4;
inline constexpr int kPluginReadError = 6;

// The low bits of the flag argument say where the picture comes from: 0 a
// file name (with an offset), 1 memory (with a length). Results always come
// back in memory.
inline constexpr unsigned kPluginInputMask = 7;
inline constexpr unsigned kPluginInputFile = 0;
inline constexpr unsigned kPluginInputMemory = 1;

// IsSupported is handed this many bytes of the file.
inline constexpr uint32_t kPluginHeaderBytes = 2048;
// ConfigurationDlg's function number for the plug-in's settings.
inline constexpr int kPluginConfigureSettings = 1;

// What GetPictureInfo fills in: 32 bytes on 64-bit Windows.
struct PluginPictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t horizontalDensity;
    uint16_t verticalDensity;
    int16_t colourDepth;
    uint8_t alignment[2];
    void* textHandle;  // a global memory handle (or null), released by the caller
};
static_assert(sizeof(void*) != 8 || sizeof(PluginPictureInfo) == 32);

}  // namespace qdx::os
