#pragma once
// The bridge to external image-reader plug-ins: libraries named "*.spi" and
// "*.sph" in the plug-in folder of the settings. The batch asks it to read a
// file no built-in reader could; the options dialog asks it to list the
// plug-ins, describe one, and open a plug-in's own settings dialog.
//
// Where the system has no such libraries the bridge finds no plug-in: every
// list is empty and every read or description fails.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/decoded_image.h"
#include "core/os/wide_string.h"
#include "core/pixel_budget.h"

namespace qdx {

// The first bytes of the input handed to IsSupported: 2048 bytes of header
// after a possible 128-byte prefix. A shorter file is never offered.
inline constexpr uint32_t kPluginHeaderBytes = 2048;
inline constexpr int32_t kPluginPrefixOffset = 128;
inline constexpr uint32_t kPluginHeaderBlockBytes = kPluginHeaderBytes + kPluginPrefixOffset;

// Longest joined pattern list and type-name list DescribePlugin builds.
inline constexpr uint32_t kPluginTextBytes = 260;

struct PluginBridge {
    const WideString* folder = nullptr;                    // the plug-in folder setting
    const std::vector<WideString>* excluded = nullptr;     // plug-in file names not to use
    int32_t headerOffset = 0;                              // 0 or 128, for the accepted plug-in
    DecodedImage* image = nullptr;                         // the record being filled
    PixelBudget* budget = nullptr;                         // the batch's; null: the default limit
};

// Tries the plug-ins on one file. Fills `image` (or, when it is null, a record
// of its own from the private heap that the caller returns with
// ReleasePluginImage) and returns it, or null when no plug-in read the file.
DecodedImage* ReadWithPlugins(PluginBridge& bridge, const WideString& path, DecodedImage* image);
void ReleasePluginImage(DecodedImage* image);

// File names of the "*.spi" and then the "*.sph" files of the folder that are
// image or archive readers ("00IN" or "00AM"), excluded ones included.
std::vector<WideString> EnumeratePlugins(const PluginBridge& bridge);

// The plug-in's file patterns joined by ";" and its type names joined by "/".
// False when it cannot be loaded or says nothing.
bool DescribePlugin(const PluginBridge& bridge, const WideString& fileName, WideString& patterns,
                    WideString& typeNames);

// Shows the plug-in's own settings dialog, owned by `parentWindow`.
bool OpenPluginConfiguration(const PluginBridge& bridge, intptr_t parentWindow, const WideString& fileName);

// ---- the rules the bridge applies, exposed for the tests --------------------

// True when `fileName` is among `excluded`, folding only A-Z and a-z.
bool IsExcludedPlugin(const std::vector<WideString>* excluded, const char16_t* fileName);

// The version text kinds: "00IN" reads images, "00AM" reads archives.
bool IsImageReaderVersion(const char* version);
bool IsListedVersion(const char* version);

// Joins what a plug-in reports as (number, text) pairs: patterns 2, 4, 6, ...
// with ";" and type names 3, 5, 7, ... with "/", stopping at the first empty
// one or when a joined text would grow past 258 characters. `ask` fills a
// buffer of kPluginTextBytes bytes and returns the characters stored.
using PluginInfoQuery = int32_t (*)(void* context, int32_t number, char* text, int32_t size);
bool JoinPluginTexts(PluginInfoQuery ask, void* context, char* patterns, char* typeNames);

// Checks the delivered BITMAPINFO block (`size` bytes) and copies its header
// and colour table (at most 1064 bytes) into `image`; 1- and 4-bit pictures
// become 8-bit. Refuses compressed, top-down, empty and unknown-depth ones.
bool TakeDeliveredHeader(const uint8_t* block, size_t size, DecodedImage& image, uint16_t& deliveredBits);

// Converts the delivered bottom-up rows (`size` bytes at `block`, rows padded
// to 4 bytes) of `deliveredBits` into a fresh pixel buffer of `image`, whose
// header TakeDeliveredHeader set. False when the block is too small for a 1-
// or 4-bit picture, is empty or holds 4 GiB or more, or memory is short.
bool ConvertDeliveredPixels(const uint8_t* block, size_t size, uint16_t deliveredBits, DecodedImage& image);

}  // namespace qdx
