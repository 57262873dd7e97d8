#pragma once
// Every preset field and global setting described once: the name the command
// line shows, the settings-file entry, the defaults, the rule applied after
// reading and the range the dialogs and --set hold a value to. The defaults,
// equality, the settings-file reader and writer and the command line's keys
// and help are all made from these two tables.
//
// Adding a setting: a member in core/settings.h, one line here, and its
// dialog control. The table order is the order of --show-settings and of the
// data blocks in the settings file, so new lines go at the end of their table.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string_view>
#include <variant>
#include <vector>

#include "core/preset_codes.h"
#include "core/preset_rules.h"
#include "core/settings.h"
#include "core/settings_format.h"

namespace qdx {

// How a value is shown and typed on the command line.
enum class FieldKind : uint8_t {
    Flag,           // 0/1, off/on, no/yes, false/true
    Number,         // any 32-bit value
    Clamped,        // held to min..max, with a note when typed outside
    Choice,         // a list entry, 0 to max; anything else is refused
    Allowed,        // one of `allowed`; anything else is refused with `refusal`
    Format,         // an output format by name
    Text,           // at most max UTF-16 units; min 1: must not be empty
    Name,           // a file name of its own: not empty, no separators, ':' or '..'
    Suffix,         // Text that stays part of a file name (SuffixIsSafe)
    Subfolder,      // Text of plain folder names (SubfolderIsSafe)
    Folder,         // kept as a full path; missing ones are emptied on --set
    Colour,         // #RRGGBB, red kept in the low byte
    Colours,        // 16 colours separated by ','
    PluginNames,    // names separated by '|'
    PresetNumbers,  // one flag per preset, shown as "1,3"
};

// What reading the file does to a value it found.
enum class ReadRule : uint8_t {
    None,
    FallbackAboveMax,       // above max: `fallback`
    FallbackUnlessAllowed,  // not one of `allowed`: `fallback`
    AtLeastMin,             // below min: min
    Clamp,                  // held to min..max, as its dialog control holds it
    EmptyUnlessPlainName,   // not a plain name (LanguageNameIsPlain): empty
    MenuFontWhenEmpty,      // empty: the system's menu font face
};

// When the field is read at start-up (see core/settings_file.h).
enum class ReadStage : uint8_t { Main, Language, Geometry };

inline constexpr int64_t kNoLimit = std::numeric_limits<int32_t>::max();
inline constexpr int32_t kSubsamplingCodes[] = {kSubsamplingHalf, kSubsamplingFull};
inline constexpr int32_t kFontWeights[] = {kFontWeightNormal, kFontWeightBold};

// The members a field of each record can be.
template <typename Record>
struct FieldMembers;
template <>
struct FieldMembers<Preset> {
    using Type = std::variant<uint8_t Preset::*, uint32_t Preset::*, int32_t Preset::*, WideString Preset::*>;
};
template <>
struct FieldMembers<Settings> {
    using Type = std::variant<uint8_t Settings::*, uint32_t Settings::*, int32_t Settings::*, WideString Settings::*,
                              std::vector<WideString> Settings::*, uint32_t (Settings::*)[16],
                              uint8_t (Settings::*)[kPresetCount]>;
};

template <typename Record>
struct FieldDescriptor {
    const char* name;
    uint32_t entry;  // of the first preset for preset fields and per-preset arrays; the others follow it
    typename FieldMembers<Record>::Type member;
    FieldKind kind;
    // One value per preset for preset fields and per-preset arrays; a global
    // takes the first, and so does every one of the custom colours.
    int64_t defaults[kPresetCount] = {};
    const char16_t* textDefaults[kPresetCount] = {u"", u"", u"", u""};
    int64_t min = 0;  // the range: a number's, or a text's length
    int64_t max = kNoLimit;
    ReadRule rule = ReadRule::None;
    int64_t fallback = 0;
    const int32_t* allowed = nullptr;
    size_t allowedCount = 0;
    const char* refusal = nullptr;  // why --set refuses a value not allowed
    ReadStage stage = ReadStage::Main;
    const char* help = nullptr;  // the values in words, for --help (one line)
};

using PresetField = FieldDescriptor<Preset>;
using GlobalField = FieldDescriptor<Settings>;

// The defaults of the four presets, in order:
//   1: JPEG q90, full-resolution chroma, 100 KiB limit on, 800x600 box cropped
//      (mode 5), bicubic, suffix "_800x600", subfolder "Output";
//   2: JPEG q75, width limited to 400 (mode 1), area average;
//   3: PNG, height limited to 300 (mode 2), bicubic;
//   4: GIF keeping transparency, longer side limited to 200 (mode 3), nearest.
inline constexpr PresetField kPresetFields[] = {
    {.name = "outputFormat", .entry = settings_file::kOutputFormat, .member = &Preset::outputFormat,
     .kind = FieldKind::Format, .defaults = {kOutputJpeg, kOutputJpeg, kOutputPng, kOutputGif},
     .max = kOutputFormatCount - 1, .rule = ReadRule::FallbackAboveMax, .fallback = kOutputJpeg},
    {.name = "keepTransparency", .entry = settings_file::kKeepTransparency, .member = &Preset::keepTransparency,
     .kind = FieldKind::Flag, .defaults = {0, 0, 0, 1}},
    {.name = "jpegQuality", .entry = settings_file::kJpegQuality, .member = &Preset::jpegQuality,
     .kind = FieldKind::Clamped, .defaults = {90, 75, 75, 75}, .min = kJpegQualityMin, .max = kJpegQualityMax,
     .rule = ReadRule::Clamp},
    {.name = "jpegSubsampling", .entry = settings_file::kJpegSubsampling, .member = &Preset::jpegSubsampling,
     .kind = FieldKind::Allowed, .defaults = {kChromaFullResolution, kChromaHalved, kChromaHalved, kChromaHalved},
     .rule = ReadRule::FallbackUnlessAllowed, .fallback = kSubsamplingHalf, .allowed = kSubsamplingCodes,
     .allowedCount = std::size(kSubsamplingCodes), .refusal = "not 0 (chroma at 2x2) or 2 (chroma at full resolution)"},
    {.name = "limitFileSize", .entry = settings_file::kLimitFileSize, .member = &Preset::limitFileSize,
     .kind = FieldKind::Flag, .defaults = {1, 0, 0, 0}},
    {.name = "maxFileSizeKiB", .entry = settings_file::kMaxFileSizeKiB, .member = &Preset::maxFileSizeKiB,
     .kind = FieldKind::Clamped, .defaults = {100, 0, 0, 0}, .max = kSizeFieldMax, .rule = ReadRule::Clamp},
    {.name = "resizeMode", .entry = settings_file::kResizeMode, .member = &Preset::resizeMode,
     .kind = FieldKind::Choice, .defaults = {ResizeToBox, ResizeToWidth, ResizeToHeight, ResizeLongerSide},
     .max = kResizeModeCount - 1, .rule = ReadRule::FallbackAboveMax, .fallback = ResizeNone},
    {.name = "resampleFilter", .entry = settings_file::kResampleFilter, .member = &Preset::resampleFilter,
     .kind = FieldKind::Choice, .defaults = {FilterBicubic, FilterAreaAverage, FilterBicubic, FilterNearest},
     .max = kResampleFilterCount - 1, .rule = ReadRule::FallbackAboveMax, .fallback = FilterAreaAverage},
    {.name = "targetWidth", .entry = settings_file::kTargetWidth, .member = &Preset::targetWidth,
     .kind = FieldKind::Clamped, .defaults = {800, 400, 300, 200}, .max = kSizeFieldMax},
    {.name = "targetHeight", .entry = settings_file::kTargetHeight, .member = &Preset::targetHeight,
     .kind = FieldKind::Clamped, .defaults = {600, 0, 0, 0}, .max = kSizeFieldMax},
    {.name = "keepAspect", .entry = settings_file::kKeepAspect, .member = &Preset::keepAspect,
     .kind = FieldKind::Flag, .defaults = {1, 0, 0, 0}},
    {.name = "sharpness", .entry = settings_file::kSharpness, .member = &Preset::sharpness,
     .kind = FieldKind::Choice, .max = kSharpnessCount - 1, .rule = ReadRule::FallbackAboveMax},
    {.name = "suffix", .entry = settings_file::kSuffix, .member = &Preset::suffix, .kind = FieldKind::Suffix,
     .textDefaults = {u"_800x600", u"", u"", u""}, .max = kSuffixMaxLength},
    {.name = "subfolder", .entry = settings_file::kSubfolder, .member = &Preset::subfolder,
     .kind = FieldKind::Subfolder, .textDefaults = {u"Output", u"", u"", u""}, .max = kSubfolderMaxLength},
    {.name = "outputFolder", .entry = settings_file::kOutputFolder, .member = &Preset::outputFolder,
     .kind = FieldKind::Folder, .max = kFolderPathMaxLength},
    {.name = "targetDisabled", .entry = settings_file::kTargetDisabled, .member = &Preset::targetDisabled,
     .kind = FieldKind::Flag},
    {.name = "webpLossless", .entry = settings_file::kWebpLossless, .member = &Preset::webpLossless,
     .kind = FieldKind::Flag, .help = "1 writes WebP lossless (palette pictures always are)"},
};

inline constexpr GlobalField kGlobalFields[] = {
    // Empty: chosen at start-up from the user's language.
    {.name = "languageName", .entry = settings_file::kLanguageName, .member = &Settings::languageName,
     .kind = FieldKind::Name, .max = kFolderPathMaxLength, .rule = ReadRule::EmptyUnlessPlainName,
     .stage = ReadStage::Language},
    {.name = "fontFace", .entry = settings_file::kFontFace, .member = &Settings::fontFace, .kind = FieldKind::Text,
     .min = 1, .max = kFontFaceMaxLength, .rule = ReadRule::MenuFontWhenEmpty},
    {.name = "fontHeight", .entry = settings_file::kFontHeight, .member = &Settings::fontHeight,
     .kind = FieldKind::Allowed, .defaults = {kFontHeights[0]}, .rule = ReadRule::FallbackUnlessAllowed,
     .fallback = kFontHeights[0], .allowed = kFontHeights, .allowedCount = std::size(kFontHeights), .refusal = "not -12, -14 or -16"},
    {.name = "fontWeight", .entry = settings_file::kFontWeight, .member = &Settings::fontWeight,
     .kind = FieldKind::Allowed, .defaults = {kFontWeightNormal}, .rule = ReadRule::FallbackUnlessAllowed,
     .fallback = kFontWeightNormal, .allowed = kFontWeights, .allowedCount = std::size(kFontWeights), .refusal = "not 400 or 700"},
    {.name = "largeDialogFont", .entry = settings_file::kLargeDialogFont, .member = &Settings::largeDialogFont,
     .kind = FieldKind::Flag},
    {.name = "windowLeft", .entry = settings_file::kWindowLeft, .member = &Settings::windowLeft,
     .kind = FieldKind::Number, .defaults = {200}, .stage = ReadStage::Geometry},
    {.name = "windowTop", .entry = settings_file::kWindowTop, .member = &Settings::windowTop,
     .kind = FieldKind::Number, .defaults = {100}, .stage = ReadStage::Geometry},
    {.name = "clientWidth", .entry = settings_file::kClientWidth, .member = &Settings::clientWidth,
     .kind = FieldKind::Clamped, .defaults = {440}, .min = kMinClientWidth, .rule = ReadRule::AtLeastMin,
     .stage = ReadStage::Geometry},
    {.name = "clientHeight", .entry = settings_file::kClientHeight, .member = &Settings::clientHeight,
     .kind = FieldKind::Clamped, .defaults = {325}, .min = kMinClientHeight, .rule = ReadRule::AtLeastMin,
     .stage = ReadStage::Geometry},
    {.name = "globalOutputFolder", .entry = settings_file::kGlobalOutputFolder,
     .member = &Settings::globalOutputFolder, .kind = FieldKind::Folder, .max = kFolderPathMaxLength},
    {.name = "pluginFolder", .entry = settings_file::kPluginFolder, .member = &Settings::pluginFolder,
     .kind = FieldKind::Folder, .max = kFolderPathMaxLength},
    // Written with only the names whose files are in the plug-in folder.
    {.name = "excludedPlugins", .entry = settings_file::kExcludedPlugins, .member = &Settings::excludedPlugins,
     .kind = FieldKind::PluginNames, .max = kFolderPathMaxLength},
    {.name = "useOwnBackground", .entry = settings_file::kUseOwnBackground, .member = &Settings::useOwnBackground,
     .kind = FieldKind::Flag},
    {.name = "backgroundColour", .entry = settings_file::kBackgroundColour, .member = &Settings::backgroundColour,
     .kind = FieldKind::Colour, .defaults = {0xFFFFFF}},
    {.name = "alwaysOnTop", .entry = settings_file::kAlwaysOnTop, .member = &Settings::alwaysOnTop,
     .kind = FieldKind::Flag},
    {.name = "showTooltips", .entry = settings_file::kShowTooltips, .member = &Settings::showTooltips,
     .kind = FieldKind::Flag, .defaults = {1}},
    {.name = "customColours", .entry = settings_file::kCustomColours, .member = &Settings::customColours,
     .kind = FieldKind::Colours, .defaults = {0xFFFFFF}},
    {.name = "optionsPage", .entry = settings_file::kOptionsPage, .member = &Settings::optionsPage,
     .kind = FieldKind::Choice, .max = kOptionsPageCount - 1, .rule = ReadRule::FallbackAboveMax},
    {.name = "multiDropSelection", .entry = settings_file::kMultiDropSelection,
     .member = &Settings::multiDropSelection, .kind = FieldKind::PresetNumbers, .defaults = {1, 1, 1, 1}},
    // A value a later version may give these falls back to the default.
    {.name = "colourProfiles", .entry = settings_file::kColourProfiles, .member = &Settings::colourProfiles,
     .kind = FieldKind::Choice, .defaults = {kColourProfilesToSrgb}, .max = kColourProfilesCount - 1,
     .rule = ReadRule::FallbackAboveMax, .fallback = kColourProfilesToSrgb,
     .help = "1 converts embedded profiles to sRGB, 0 keeps the numbers"},
    {.name = "keepMetadata", .entry = settings_file::kKeepMetadata, .member = &Settings::keepMetadata,
     .kind = FieldKind::Choice, .defaults = {kKeepDateAndCamera}, .max = kKeepMetadataCount - 1,
     .rule = ReadRule::FallbackAboveMax, .fallback = kKeepDateAndCamera,
     .help = "Exif kept: 1 date and camera, 2 all but location, 0 none"},
    {.name = "convertFolders", .entry = settings_file::kConvertFolders, .member = &Settings::convertFolders,
     .kind = FieldKind::Flag, .help = "1 walks dropped folders and subfolders, like --recursive"},
};

// ASCII letters compared without regard to case: the fields' names and the
// words their values are typed with.
inline constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
bool SameWord(std::string_view a, std::string_view b);

// The field of a member, for the limits of its dialog control:
// FieldOf(&Preset::jpegQuality)->max.
template <typename Record, size_t Count, typename Value>
constexpr const FieldDescriptor<Record>* FindMemberField(const FieldDescriptor<Record> (&fields)[Count],
                                                         Value Record::*member) {
    for (const FieldDescriptor<Record>& field : fields)
        if (const auto* candidate = std::get_if<Value Record::*>(&field.member); candidate && *candidate == member)
            return &field;
    return nullptr;
}
template <typename Value>
constexpr const PresetField* FieldOf(Value Preset::*member) {
    return FindMemberField(kPresetFields, member);
}
template <typename Value>
constexpr const GlobalField* FieldOf(Value Settings::*member) {
    return FindMemberField(kGlobalFields, member);
}

// The field of that command-line name (case-insensitive), or null.
const PresetField* FindPresetField(std::string_view name);
const GlobalField* FindGlobalField(std::string_view name);

// A typed number held to the field's range, as its dialog control and --set
// hold it.
int64_t ClampToField(int64_t typed, int64_t min, int64_t max);
template <typename Record>
int64_t ClampToField(const FieldDescriptor<Record>& field, int64_t typed) {
    return ClampToField(typed, field.min, field.max);
}

// Whether `value` is one the field allows (FieldKind::Allowed).
template <typename Record>
bool FieldAllows(const FieldDescriptor<Record>& field, int64_t value) {
    for (size_t i = 0; i < field.allowedCount; ++i)
        if (value == field.allowed[i]) return true;
    return false;
}

}  // namespace qdx
