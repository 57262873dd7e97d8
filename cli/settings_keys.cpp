#include "cli/settings_keys.h"

#include <cstdio>

#include "cli/paths.h"
#include "core/preset_rules.h"
#include "core/os/utf_convert.h"

namespace qdx::cli {

namespace {

// One value being set: its text, and what the setter has to say about it.
struct Request {
    std::string_view text;
    const WideString& currentFolder;
    std::string reason;  // why the value was refused
    std::string note;    // how an accepted value was adjusted
};

using Show = std::string (*)(const Settings&, int preset);
using Set = bool (*)(Settings&, int preset, Request&);

struct Key {
    const char* name;
    Show show;
    Set set;
};

// ---- Values as text ---------------------------------------------------------

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string Utf8(const WideString& text) { return ToUtf8(text.Text(), text.Length()); }

// Decimal with an optional sign; at most 18 digits, so it always fits.
bool ParseInteger(std::string_view text, int64_t& value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    constexpr size_t kMaxDigits = 18;
    if (i == text.size() || text.size() - i > kMaxDigits) return false;
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

bool RequireInteger(Request& request, int64_t& value) {
    if (ParseInteger(request.text, value)) return true;
    request.reason = "'" + std::string(request.text) + "' is not a whole number";
    return false;
}

// Colours are kept with red in the low byte and written #RRGGBB.
std::string ColourText(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

bool ParseColour(std::string_view text, uint32_t& colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    uint32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        const char c = LowerAscii(text[i]);
        const uint32_t digit = c >= '0' && c <= '9' ? uint32_t(c - '0') : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10) : 16;
        if (digit == 16) return false;
        rgb = rgb << 4 | digit;
    }
    colour = (rgb >> 16) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != separator) continue;
        parts.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return parts;
}

// Text as the single-line edits take it: valid UTF-8 without control
// characters, at most `maxLength` UTF-16 units.
bool ParseText(std::string_view text, uint32_t maxLength, WideString& out, std::string& reason) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            reason = "control characters are not allowed";
            return false;
        }
    WideString converted;
    if (!AppendUtf8(converted, text.data(), text.size()) || Utf8(converted) != text) {
        reason = "not valid UTF-8";
        return false;
    }
    if (converted.Length() > maxLength) {
        reason = "longer than " + std::to_string(maxLength) + " characters";
        return false;
    }
    out = static_cast<WideString&&>(converted);
    return true;
}

// A file name of its own: not empty, no folder separators.
bool ParseName(std::string_view text, uint32_t maxLength, WideString& out, std::string& reason) {
    if (text.empty()) {
        reason = "must not be empty";
        return false;
    }
    if (text.find_first_of("/\\") != std::string_view::npos) {
        reason = "a name, without folder separators";
        return false;
    }
    return ParseText(text, maxLength, out, reason);
}

// ---- Setters by kind --------------------------------------------------------

bool SetFlag(uint8_t& field, Request& request) {
    static constexpr struct {
        const char* word;
        uint8_t value;
    } kWords[] = {{"0", 0}, {"1", 1}, {"off", 0}, {"on", 1}, {"no", 0}, {"yes", 1}, {"false", 0}, {"true", 1}};
    for (const auto& word : kWords)
        if (SameWord(request.text, word.word)) {
            field = word.value;
            return true;
        }
    request.reason = "'" + std::string(request.text) + "' is not 0 or 1";
    return false;
}

// An entry of a list: 0 to count - 1.
bool SetChoice(uint32_t& field, uint32_t count, Request& request) {
    int64_t value = 0;
    if (!RequireInteger(request, value)) return false;
    if (value < 0 || value >= int64_t(count)) {
        request.reason = std::to_string(value) + " is not one of 0 to " + std::to_string(count - 1);
        return false;
    }
    field = uint32_t(value);
    return true;
}

template <typename Field>
bool SetClamped(Field& field, int64_t (*clamp)(int64_t), Request& request) {
    int64_t typed = 0;
    if (!RequireInteger(request, typed)) return false;
    const int64_t stored = clamp(typed);
    if (stored != typed) request.note = std::to_string(stored) + " (" + std::to_string(typed) + " is out of range)";
    field = Field(stored);
    return true;
}
int64_t QualityRange(int64_t typed) { return ClampJpegQuality(typed); }
int64_t SizeRange(int64_t typed) { return ClampSizeField(typed); }
int64_t ClientWidthRange(int64_t typed) {
    return typed < kMinClientWidth ? kMinClientWidth : typed > INT32_MAX ? INT32_MAX : typed;
}
int64_t ClientHeightRange(int64_t typed) {
    return typed < kMinClientHeight ? kMinClientHeight : typed > INT32_MAX ? INT32_MAX : typed;
}

bool SetSigned32(int32_t& field, Request& request) {
    int64_t value = 0;
    if (!RequireInteger(request, value)) return false;
    if (value < INT32_MIN || value > INT32_MAX) {
        request.reason = std::to_string(value) + " is out of range";
        return false;
    }
    field = int32_t(value);
    return true;
}

bool SetText(WideString& field, uint32_t maxLength, Request& request) {
    return ParseText(request.text, maxLength, field, request.reason);
}

// A folder typed relative to the current folder is kept as a full path.
bool SetFolder(WideString& field, Request& request) {
    if (request.text.empty()) {
        field.Clear();
        return true;
    }
    WideString typed;
    if (!ParseText(request.text, kFolderPathMaxLength, typed, request.reason)) return false;
    WideString full = FullPath(request.currentFolder, typed);
    if (full.Length() > kFolderPathMaxLength) {
        request.reason = "longer than " + std::to_string(kFolderPathMaxLength) + " characters";
        return false;
    }
    field = static_cast<WideString&&>(full);
    return true;
}

bool SetColour(uint32_t& field, Request& request) {
    if (ParseColour(request.text, field)) return true;
    request.reason = "'" + std::string(request.text) + "' is not a colour #RRGGBB";
    return false;
}

// ---- Per-kind display -------------------------------------------------------

constexpr struct {
    const char* name;
    uint32_t code;
} kFormatNames[] = {{"bmp", 0},  {"png", kOutputPng},  {"jpeg", kOutputJpeg}, {"gif", kOutputGif},
                    {"tiff", kOutputTiff}, {"jpg", kOutputJpeg}, {"tif", kOutputTiff}};

std::string FormatName(uint32_t code) {
    for (const auto& format : kFormatNames)
        if (format.code == code) return format.name;
    return "bmp";  // every other code writes BMP
}

bool SetFormat(uint32_t& field, Request& request) {
    for (const auto& format : kFormatNames)
        if (SameWord(request.text, format.name)) {
            field = format.code;
            return true;
        }
    request.reason = "'" + std::string(request.text) + "' is not one of bmp, png, jpeg, gif, tiff";
    return false;
}

bool SetSubsampling(int32_t& field, Request& request) {
    int64_t value = 0;
    if (!RequireInteger(request, value)) return false;
    if (value != kSubsamplingHalf && value != kSubsamplingFull) {
        request.reason = "not 0 (chroma at 2x2) or 2 (chroma at full resolution)";
        return false;
    }
    field = int32_t(value);
    return true;
}

std::string PresetNumbers(const uint8_t selection[kPresetCount]) {
    std::string text;
    for (int i = 0; i < kPresetCount; ++i)
        if (selection[i]) text += (text.empty() ? "" : ",") + std::to_string(i + 1);
    return text;
}

bool SetPluginNames(std::vector<WideString>& names, Request& request) {
    std::vector<WideString> parsed;
    if (!request.text.empty())
        for (const std::string_view part : Split(request.text, '|')) {
            WideString name;
            if (!ParseName(part, kFolderPathMaxLength, name, request.reason)) return false;
            parsed.push_back(static_cast<WideString&&>(name));
        }
    names = static_cast<std::vector<WideString>&&>(parsed);
    return true;
}

std::string PluginNames(const std::vector<WideString>& names) {
    std::string text;
    for (const WideString& name : names) text += (text.empty() ? "" : "|") + Utf8(name);
    return text;
}

std::string Colours(const uint32_t (&colours)[16]) {
    std::string text;
    for (const uint32_t colour : colours) text += (text.empty() ? "" : ",") + ColourText(colour);
    return text;
}

bool SetColours(uint32_t (&colours)[16], Request& request) {
    const std::vector<std::string_view> parts = Split(request.text, ',');
    uint32_t parsed[16];
    if (parts.size() != 16) {
        request.reason = "needs 16 colours #RRGGBB separated by ','";
        return false;
    }
    for (size_t i = 0; i < 16; ++i)
        if (!ParseColour(parts[i], parsed[i])) {
            request.reason = "'" + std::string(parts[i]) + "' is not a colour #RRGGBB";
            return false;
        }
    for (size_t i = 0; i < 16; ++i) colours[i] = parsed[i];
    return true;
}

std::string Number(int64_t value) { return std::to_string(value); }

// ---- The keys ---------------------------------------------------------------
// Lambdas keep each key on a few lines; `i` is the preset index (0 to 3).

#define PRESET(field) s.presets[i].field

constexpr Key kPresetKeys[] = {
    {"outputFormat", [](const Settings& s, int i) { return FormatName(PRESET(outputFormat)); },
     [](Settings& s, int i, Request& r) { return SetFormat(PRESET(outputFormat), r); }},
    {"keepTransparency", [](const Settings& s, int i) { return Number(PRESET(keepTransparency)); },
     [](Settings& s, int i, Request& r) { return SetFlag(PRESET(keepTransparency), r); }},
    {"jpegQuality", [](const Settings& s, int i) { return Number(PRESET(jpegQuality)); },
     [](Settings& s, int i, Request& r) { return SetClamped(PRESET(jpegQuality), QualityRange, r); }},
    {"jpegSubsampling", [](const Settings& s, int i) { return Number(PRESET(jpegSubsampling)); },
     [](Settings& s, int i, Request& r) { return SetSubsampling(PRESET(jpegSubsampling), r); }},
    {"limitFileSize", [](const Settings& s, int i) { return Number(PRESET(limitFileSize)); },
     [](Settings& s, int i, Request& r) { return SetFlag(PRESET(limitFileSize), r); }},
    {"maxFileSizeKiB", [](const Settings& s, int i) { return Number(PRESET(maxFileSizeKiB)); },
     [](Settings& s, int i, Request& r) { return SetClamped(PRESET(maxFileSizeKiB), SizeRange, r); }},
    {"resizeMode", [](const Settings& s, int i) { return Number(PRESET(resizeMode)); },
     [](Settings& s, int i, Request& r) { return SetChoice(PRESET(resizeMode), kResizeModeCount, r); }},
    {"resampleFilter", [](const Settings& s, int i) { return Number(PRESET(resampleFilter)); },
     [](Settings& s, int i, Request& r) { return SetChoice(PRESET(resampleFilter), kResampleFilterCount, r); }},
    {"targetWidth", [](const Settings& s, int i) { return Number(PRESET(targetWidth)); },
     [](Settings& s, int i, Request& r) { return SetClamped(PRESET(targetWidth), SizeRange, r); }},
    {"targetHeight", [](const Settings& s, int i) { return Number(PRESET(targetHeight)); },
     [](Settings& s, int i, Request& r) { return SetClamped(PRESET(targetHeight), SizeRange, r); }},
    {"keepAspect", [](const Settings& s, int i) { return Number(PRESET(keepAspect)); },
     [](Settings& s, int i, Request& r) { return SetFlag(PRESET(keepAspect), r); }},
    {"sharpness", [](const Settings& s, int i) { return Number(PRESET(sharpness)); },
     [](Settings& s, int i, Request& r) { return SetChoice(PRESET(sharpness), kSharpnessCount, r); }},
    {"suffix", [](const Settings& s, int i) { return Utf8(PRESET(suffix)); },
     [](Settings& s, int i, Request& r) { return SetText(PRESET(suffix), kSuffixMaxLength, r); }},
    {"subfolder", [](const Settings& s, int i) { return Utf8(PRESET(subfolder)); },
     [](Settings& s, int i, Request& r) { return SetText(PRESET(subfolder), kSubfolderMaxLength, r); }},
    {"outputFolder", [](const Settings& s, int i) { return Utf8(PRESET(outputFolder)); },
     [](Settings& s, int i, Request& r) { return SetFolder(PRESET(outputFolder), r); }},
    {"targetDisabled", [](const Settings& s, int i) { return Number(PRESET(targetDisabled)); },
     [](Settings& s, int i, Request& r) { return SetFlag(PRESET(targetDisabled), r); }},
};

#undef PRESET

constexpr Key kGlobalKeys[] = {
    {"languageName", [](const Settings& s, int) { return Utf8(s.languageName); },
     [](Settings& s, int, Request& r) { return ParseName(r.text, kFolderPathMaxLength, s.languageName, r.reason); }},
    {"fontFace", [](const Settings& s, int) { return Utf8(s.fontFace); },
     [](Settings& s, int, Request& r) {
         if (r.text.empty()) {
             r.reason = "must not be empty";
             return false;
         }
         return SetText(s.fontFace, kFontFaceMaxLength, r);
     }},
    {"fontHeight", [](const Settings& s, int) { return Number(s.fontHeight); },
     [](Settings& s, int, Request& r) {
         int64_t value = 0;
         if (!RequireInteger(r, value)) return false;
         if (!FontHeightAllowed(int32_t(value)) || value != int32_t(value)) {
             r.reason = "not -12, -14 or -16";
             return false;
         }
         s.fontHeight = int32_t(value);
         return true;
     }},
    {"fontWeight", [](const Settings& s, int) { return Number(s.fontWeight); },
     [](Settings& s, int, Request& r) {
         int64_t value = 0;
         if (!RequireInteger(r, value)) return false;
         if (!FontWeightAllowed(int32_t(value)) || value != int32_t(value)) {
             r.reason = "not 400 or 700";
             return false;
         }
         s.fontWeight = int32_t(value);
         return true;
     }},
    {"largeDialogFont", [](const Settings& s, int) { return Number(s.largeDialogFont); },
     [](Settings& s, int, Request& r) { return SetFlag(s.largeDialogFont, r); }},
    {"windowLeft", [](const Settings& s, int) { return Number(s.windowLeft); },
     [](Settings& s, int, Request& r) { return SetSigned32(s.windowLeft, r); }},
    {"windowTop", [](const Settings& s, int) { return Number(s.windowTop); },
     [](Settings& s, int, Request& r) { return SetSigned32(s.windowTop, r); }},
    {"clientWidth", [](const Settings& s, int) { return Number(s.clientWidth); },
     [](Settings& s, int, Request& r) { return SetClamped(s.clientWidth, ClientWidthRange, r); }},
    {"clientHeight", [](const Settings& s, int) { return Number(s.clientHeight); },
     [](Settings& s, int, Request& r) { return SetClamped(s.clientHeight, ClientHeightRange, r); }},
    {"globalOutputFolder", [](const Settings& s, int) { return Utf8(s.globalOutputFolder); },
     [](Settings& s, int, Request& r) { return SetFolder(s.globalOutputFolder, r); }},
    {"pluginFolder", [](const Settings& s, int) { return Utf8(s.pluginFolder); },
     [](Settings& s, int, Request& r) { return SetFolder(s.pluginFolder, r); }},
    {"excludedPlugins", [](const Settings& s, int) { return PluginNames(s.excludedPlugins); },
     [](Settings& s, int, Request& r) { return SetPluginNames(s.excludedPlugins, r); }},
    {"useOwnBackground", [](const Settings& s, int) { return Number(s.useOwnBackground); },
     [](Settings& s, int, Request& r) { return SetFlag(s.useOwnBackground, r); }},
    {"backgroundColour", [](const Settings& s, int) { return ColourText(s.backgroundColour); },
     [](Settings& s, int, Request& r) { return SetColour(s.backgroundColour, r); }},
    {"alwaysOnTop", [](const Settings& s, int) { return Number(s.alwaysOnTop); },
     [](Settings& s, int, Request& r) { return SetFlag(s.alwaysOnTop, r); }},
    {"showTooltips", [](const Settings& s, int) { return Number(s.showTooltips); },
     [](Settings& s, int, Request& r) { return SetFlag(s.showTooltips, r); }},
    {"customColours", [](const Settings& s, int) { return Colours(s.customColours); },
     [](Settings& s, int, Request& r) { return SetColours(s.customColours, r); }},
    {"optionsPage", [](const Settings& s, int) { return Number(s.optionsPage); },
     [](Settings& s, int, Request& r) { return SetChoice(s.optionsPage, kOptionsPageCount, r); }},
    {"multiDropSelection", [](const Settings& s, int) { return PresetNumbers(s.multiDropSelection); },
     [](Settings& s, int, Request& r) {
         uint8_t selection[kPresetCount] = {};
         if (!r.text.empty() && !ParsePresetNumbers(r.text, selection)) {
             r.reason = "'" + std::string(r.text) + "' is not a list of preset numbers 1 to 4";
             return false;
         }
         for (int i = 0; i < kPresetCount; ++i) s.multiDropSelection[i] = selection[i];
         return true;
     }},
};

// A key names a global, or "presetN." and a preset field; `preset` is -1
// for a global.
const Key* FindKey(std::string_view name, int& preset) {
    constexpr std::string_view kPrefix = "preset";
    preset = -1;
    if (name.size() > kPrefix.size() + 2 && SameWord(name.substr(0, kPrefix.size()), kPrefix) &&
        name[kPrefix.size() + 1] == '.') {
        const char number = name[kPrefix.size()];
        if (number < '1' || number > '4') return nullptr;
        const std::string_view field = name.substr(kPrefix.size() + 2);
        for (const Key& key : kPresetKeys)
            if (SameWord(field, key.name)) {
                preset = number - '1';
                return &key;
            }
        return nullptr;
    }
    for (const Key& key : kGlobalKeys)
        if (SameWord(name, key.name)) return &key;
    return nullptr;
}

std::string PresetKeyName(int preset, const char* field) {
    return "preset" + std::to_string(preset + 1) + "." + field;
}

std::string Line(const std::string& key, const std::string& value) {
    return value.empty() ? key + " =\n" : key + " = " + value + "\n";
}

// The dialogs' rules on what was touched, each adjustment noted.
void ApplyRules(Settings& settings, const bool presetTouched[kPresetCount], bool globalTouched,
                std::vector<std::string>& notes) {
    for (int i = 0; i < kPresetCount; ++i) {
        if (!presetTouched[i]) continue;
        Preset& preset = settings.presets[i];
        const Preset before = preset;
        ApplyPresetDialogRules(preset);
        if (preset.resizeMode != before.resizeMode)
            notes.push_back(PresetKeyName(i, "resizeMode") + " = 0 (a size mode " +
                            std::to_string(before.resizeMode) + " needs is 0: resizing is off)");
        if (preset.limitFileSize != before.limitFileSize)
            notes.push_back(PresetKeyName(i, "limitFileSize") + " = 0 (the size limit is 0)");
        if (!SameText(preset.outputFolder, before.outputFolder))
            notes.push_back(PresetKeyName(i, "outputFolder") + " = (empty) (no such folder: " +
                            Utf8(before.outputFolder) + ")");
    }
    if (globalTouched) {
        const WideString before = settings.globalOutputFolder;
        ApplyOptionsDialogRules(settings);
        if (!SameText(settings.globalOutputFolder, before))
            notes.push_back("globalOutputFolder = (empty) (no such folder: " + Utf8(before) + ")");
    }
}

}  // namespace

bool ParsePresetNumbers(std::string_view text, uint8_t selection[kPresetCount]) {
    uint8_t parsed[kPresetCount] = {};
    for (const std::string_view part : Split(text, ',')) {
        if (part.size() != 1 || part[0] < '1' || part[0] > '4') return false;
        parsed[part[0] - '1'] = 1;
    }
    for (int i = 0; i < kPresetCount; ++i) selection[i] = parsed[i];
    return true;
}

std::string ShowSettings(const Settings& settings) {
    std::string text;
    for (int i = 0; i < kPresetCount; ++i)
        for (const Key& key : kPresetKeys) text += Line(PresetKeyName(i, key.name), key.show(settings, i));
    for (const Key& key : kGlobalKeys) text += Line(key.name, key.show(settings, -1));
    return text;
}

bool SettingValue(const Settings& settings, std::string_view name, std::string& value) {
    int preset = -1;
    const Key* key = FindKey(name, preset);
    if (!key) return false;
    value = key->show(settings, preset);
    return true;
}

bool ApplySettingChanges(Settings& settings, const std::vector<std::string>& assignments,
                         const WideString& currentFolder, SettingChanges& result) {
    Settings changed = settings;
    bool presetTouched[kPresetCount] = {};
    bool globalTouched = false;
    std::vector<std::string> notes;
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        const std::string name = assignment.substr(0, equals);
        if (equals == std::string::npos) {
            result.error = name + ": expected KEY=VALUE";
            return false;
        }
        int preset = -1;
        const Key* key = FindKey(name, preset);
        if (!key) {
            result.error = name + ": no such setting (see --show-settings)";
            return false;
        }
        Request request{std::string_view(assignment).substr(equals + 1), currentFolder, {}, {}};
        if (!key->set(changed, preset, request)) {
            result.error = name + ": " + request.reason;
            return false;
        }
        if (!request.note.empty()) notes.push_back(name + " = " + request.note);
        if (preset >= 0)
            presetTouched[preset] = true;
        else
            globalTouched = true;
    }
    ApplyRules(changed, presetTouched, globalTouched, notes);
    settings = changed;
    result.notes = static_cast<std::vector<std::string>&&>(notes);
    return true;
}

}  // namespace qdx::cli
