#pragma once
// Layout of the settings file "Quillodex.ini" (all integers little-endian):
//
//   offset 0   header: low 16 bits = number of table entries, high 16 bits =
//              format version
//   offset 4   the entry table, two 32-bit values A and B per entry
//   after it   the data area holding the bytes of string and data entries
//
// An entry is absent when its index is not below the count or A = 0; an
// integer when A = 1 (B is the value); a string or data block when A >= 2
// (A is its file offset, B its length in bytes). Strings are UTF-16 code units
// without a terminator. New entries can be added without breaking older
// readers, which is why the table has a count of its own: a reader takes the
// entries it knows and leaves the rest (a program that knows 87 reads the
// first 87 of a longer table and finds the data blocks wherever they lie),
// and an entry beyond a file's count takes its default.
#include <cstdint>

namespace qdx::settings_file {

inline constexpr uint32_t kEntryCount = 94;
// The version stays: the entries after the first 87 changed nothing the
// earlier ones mean.
inline constexpr uint32_t kVersion = 0x0578;
inline constexpr uint32_t kHeader = (kVersion << 16) | kEntryCount;  // 0x0578005E
inline constexpr uint32_t kTableOffset = 4;
inline constexpr uint32_t kTableBytes = kEntryCount * 8;            // 752
inline constexpr uint32_t kDataStart = kTableOffset + kTableBytes;  // 756

inline constexpr uint32_t kAbsent = 0;
inline constexpr uint32_t kInteger = 1;
inline constexpr uint32_t kFirstDataOffset = 2;  // A at or above this is a file offset

// Entry indexes. Per-preset entries are four in a row, preset 0 first.
enum Entry : uint32_t {
    kLanguageName = 0,
    kFontHeight = 1,
    kWindowLeft = 2,
    kWindowTop = 3,
    kGlobalOutputFolder = 4,
    kUnused = 5,  // never read or written; carried over as found
    kPluginFolder = 6,
    kOutputFormat = 7,
    kResizeMode = 11,
    kKeepAspect = 15,
    kTargetWidth = 19,
    kTargetHeight = 23,
    kSuffix = 27,
    kSubfolder = 31,
    kJpegQuality = 35,
    kJpegSubsampling = 39,
    kLimitFileSize = 43,
    kMaxFileSizeKiB = 47,
    kMultiDropSelection = 51,
    kExcludedPlugins = 55,
    kUseOwnBackground = 56,
    kBackgroundColour = 57,
    kKeepTransparency = 58,
    kOutputFolder = 62,
    kTargetDisabled = 66,
    kAlwaysOnTop = 70,
    kCustomColours = 71,
    kFontFace = 72,
    kLargeDialogFont = 73,
    kFontWeight = 74,
    kOptionsPage = 75,
    kShowTooltips = 76,
    kClientWidth = 77,
    kClientHeight = 78,
    kResampleFilter = 79,
    kSharpness = 83,
    // Added after the first 87: older programs leave them alone.
    kColourProfiles = 87,
    kKeepMetadata = 88,
    kConvertFolders = 89,
    kWebpLossless = 90,
};

inline constexpr uint32_t kCustomColoursBytes = 64;

}  // namespace qdx::settings_file
