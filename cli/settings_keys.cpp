#include "cli/settings_keys.h"

#include <cstdio>
#include <type_traits>
#include <variant>

#include "cli/paths.h"
#include "core/preset_rules.h"
#include "core/settings_fields.h"
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

// ---- Values as text ---------------------------------------------------------

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

// A file name of its own: not empty, no separators, ':' or '..'.
bool ParseName(std::string_view text, uint32_t maxLength, WideString& out, std::string& reason) {
    WideString name;
    if (!ParseText(text, maxLength, name, reason)) return false;
    if (!LanguageNameIsPlain(name.Text(), name.Length())) {
        reason = "a plain name, without folder separators, ':' or '..'";
        return false;
    }
    out = static_cast<WideString&&>(name);
    return true;
}

// Text of the suffix or the subfolder, which must keep outputs inside the
// output folder.
bool ParseOutputName(FieldKind kind, std::string_view text, uint32_t maxLength, WideString& out,
                     std::string& reason) {
    WideString name;
    if (!ParseText(text, maxLength, name, reason)) return false;
    if (kind == FieldKind::Suffix && !SuffixIsSafe(name.Text(), name.Length())) {
        reason = "a suffix may not hold folder separators or ':'";
        return false;
    }
    if (kind == FieldKind::Subfolder && !SubfolderIsSafe(name.Text(), name.Length())) {
        reason = "a subfolder is one or more folder names, without '.', '..', ':' or a leading separator";
        return false;
    }
    out = static_cast<WideString&&>(name);
    return true;
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

// An entry of a list: 0 to max.
bool SetChoice(int64_t& field, int64_t max, Request& request) {
    int64_t value = 0;
    if (!RequireInteger(request, value)) return false;
    if (value < 0 || value > max) {
        request.reason = std::to_string(value) + " is not one of 0 to " + std::to_string(max);
        return false;
    }
    field = value;
    return true;
}

bool SetClamped(int64_t& field, int64_t min, int64_t max, Request& request) {
    int64_t typed = 0;
    if (!RequireInteger(request, typed)) return false;
    const int64_t stored = ClampToField(typed, min, max);
    if (stored != typed) request.note = std::to_string(stored) + " (" + std::to_string(typed) + " is out of range)";
    field = stored;
    return true;
}

bool SetSigned32(int64_t& field, Request& request) {
    int64_t value = 0;
    if (!RequireInteger(request, value)) return false;
    if (value < INT32_MIN || value > INT32_MAX) {
        request.reason = std::to_string(value) + " is out of range";
        return false;
    }
    field = value;
    return true;
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
                    {"tiff", kOutputTiff}, {"webp", kOutputWebp}, {"jpg", kOutputJpeg}, {"tif", kOutputTiff}};

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
// Every field of core/settings_fields.h is a key; its kind says how its value
// is shown and typed.

template <typename Record>
struct ShowField {
    const FieldDescriptor<Record>& field;

    template <typename Integer>
        requires std::is_integral_v<Integer>
    std::string operator()(Integer value) const {
        if (field.kind == FieldKind::Format) return FormatName(uint32_t(value));
        if (field.kind == FieldKind::Colour) return ColourText(uint32_t(value));
        return Number(value);
    }
    std::string operator()(const WideString& text) const { return Utf8(text); }
    std::string operator()(const std::vector<WideString>& names) const { return PluginNames(names); }
    std::string operator()(const uint32_t (&colours)[16]) const { return Colours(colours); }
    std::string operator()(const uint8_t (&selection)[kPresetCount]) const { return PresetNumbers(selection); }
};

// A number typed for the field, as the field's kind takes it.
template <typename Record>
bool SetNumber(const FieldDescriptor<Record>& field, int64_t& value, Request& request) {
    switch (field.kind) {
        case FieldKind::Flag: {
            uint8_t flag = 0;
            if (!SetFlag(flag, request)) return false;
            value = flag;
            return true;
        }
        case FieldKind::Choice: return SetChoice(value, field.max, request);
        case FieldKind::Clamped: return SetClamped(value, field.min, field.max, request);
        case FieldKind::Allowed:
            if (!RequireInteger(request, value)) return false;
            if (FieldAllows(field, value)) return true;
            request.reason = field.refusal;
            return false;
        case FieldKind::Format: {
            uint32_t code = 0;
            if (!SetFormat(code, request)) return false;
            value = code;
            return true;
        }
        case FieldKind::Colour: {
            uint32_t colour = 0;
            if (!SetColour(colour, request)) return false;
            value = colour;
            return true;
        }
        default: return SetSigned32(value, request);
    }
}

template <typename Record>
struct SetField {
    const FieldDescriptor<Record>& field;
    Request& request;

    template <typename Integer>
        requires std::is_integral_v<Integer>
    bool operator()(Integer& stored) const {
        int64_t value = 0;
        if (!SetNumber(field, value, request)) return false;
        stored = Integer(value);
        return true;
    }
    bool operator()(WideString& text) const {
        const uint32_t maxLength = uint32_t(field.max);
        switch (field.kind) {
            case FieldKind::Name: return ParseName(request.text, maxLength, text, request.reason);
            case FieldKind::Folder: return SetFolder(text, request);
            case FieldKind::Suffix:
            case FieldKind::Subfolder:
                return ParseOutputName(field.kind, request.text, maxLength, text, request.reason);
            default:
                if (field.min > 0 && request.text.empty()) {
                    request.reason = "must not be empty";
                    return false;
                }
                return ParseText(request.text, maxLength, text, request.reason);
        }
    }
    bool operator()(std::vector<WideString>& names) const { return SetPluginNames(names, request); }
    bool operator()(uint32_t (&colours)[16]) const { return SetColours(colours, request); }
    bool operator()(uint8_t (&selection)[kPresetCount]) const {
        uint8_t chosen[kPresetCount] = {};
        // An empty selection would leave a run without --preset nothing to do.
        if (!ParsePresetNumbers(request.text, chosen)) {
            request.reason = "'" + std::string(request.text) + "' is not a list of preset numbers 1 to 4";
            return false;
        }
        for (int i = 0; i < kPresetCount; ++i) selection[i] = chosen[i];
        return true;
    }
};

template <typename Record>
std::string Show(const FieldDescriptor<Record>& field, const Record& record) {
    return std::visit([&](auto member) { return ShowField<Record>{field}(record.*member); }, field.member);
}

template <typename Record>
bool Set(const FieldDescriptor<Record>& field, Record& record, Request& request) {
    return std::visit([&](auto member) { return SetField<Record>{field, request}(record.*member); }, field.member);
}

// A key names a global, or "presetN." and a preset field.
struct Key {
    const PresetField* presetField = nullptr;
    int preset = -1;
    const GlobalField* globalField = nullptr;
};

Key FindKey(std::string_view name) {
    constexpr std::string_view kPrefix = "preset";
    Key key;
    if (name.size() > kPrefix.size() + 2 && SameWord(name.substr(0, kPrefix.size()), kPrefix) &&
        name[kPrefix.size() + 1] == '.') {
        const char number = name[kPrefix.size()];
        if (number < '1' || number > '4') return key;
        key.presetField = FindPresetField(name.substr(kPrefix.size() + 2));
        if (key.presetField) key.preset = number - '1';
        return key;
    }
    key.globalField = FindGlobalField(name);
    return key;
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

std::string SettingsHelp() {
    const auto line = [](std::string names, const std::string& values) {
        constexpr size_t kNameColumn = 12;
        if (names.size() < kNameColumn) names.resize(kNameColumn, ' ');
        return "  " + names + "  " + values + "\n";
    };
    const auto range = [](const PresetField& field) {
        return std::to_string(field.min) + " to " + std::to_string(field.max);
    };
    std::string text, choices, flags, allowed;
    int flagsNamed = 0;
    for (const PresetField& field : kPresetFields) {
        if (field.kind == FieldKind::Format) {
            std::string names;
            for (uint32_t i = 0; i < kOutputFormatCount; ++i)
                names += (i == 0 ? "" : i + 1 < kOutputFormatCount ? ", " : " or ") + FormatName(i);
            text += line(field.name, names);
        }
        if (field.kind == FieldKind::Choice)
            choices += (choices.empty() ? "" : ", ") + std::string(field.name) + " " + range(field);
        if (field.kind == FieldKind::Flag && flagsNamed++ < 2)
            flags += std::string(flags.empty() ? "" : ", ") + field.name;
        if (field.kind == FieldKind::Allowed)
            allowed += "; " + std::string(field.name) + " " + std::to_string(field.allowed[0]) + " (2x2) or " +
                       std::to_string(field.allowed[1]);
    }
    // Fields held to the same range share a line; the first line also names
    // the fields that take a few values only.
    for (const PresetField& field : kPresetFields) {
        if (field.kind != FieldKind::Clamped) continue;
        std::string names;
        bool firstOfRange = true;
        for (const PresetField& other : kPresetFields) {
            if (other.kind != FieldKind::Clamped || other.min != field.min || other.max != field.max) continue;
            if (names.empty() && &other != &field) firstOfRange = false;
            names += (names.empty() ? "" : ", ") + std::string(other.name);
        }
        if (!firstOfRange) continue;
        text += line(names, range(field) + " (held to that range)" + allowed);
        allowed.clear();
    }
    text += "  " + choices + "\n";
    text += "  flags (" + flags + ", ...)  0/1, off/on, no/yes\n";
    text += "  folders  a missing output folder is stored empty; relative to here\n";
    text += "  suffix  no '/', '\\' or ':'; subfolder  folder names, no '.', '..' or drive\n";
    text += "  colours  #RRGGBB; multiDropSelection  preset numbers, like --preset\n";
    // Settings whose numbers need words, each on a line of its own.
    for (const PresetField& field : kPresetFields)
        if (field.help) text += line(std::string("presetN.") + field.name, field.help);
    for (const GlobalField& field : kGlobalFields)
        if (field.help) text += line(field.name, field.help);
    return text;
}

std::string ShowSettings(const Settings& settings) {
    std::string text;
    for (int i = 0; i < kPresetCount; ++i)
        for (const PresetField& field : kPresetFields)
            text += Line(PresetKeyName(i, field.name), Show(field, settings.presets[i]));
    for (const GlobalField& field : kGlobalFields) text += Line(field.name, Show(field, settings));
    return text;
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
        const Key key = FindKey(name);
        if (!key.presetField && !key.globalField) {
            result.error = name + ": no such setting (see --show-settings)";
            return false;
        }
        Request request{std::string_view(assignment).substr(equals + 1), currentFolder, {}, {}};
        if (key.presetField ? !Set(*key.presetField, changed.presets[key.preset], request)
                            : !Set(*key.globalField, changed, request)) {
            result.error = name + ": " + request.reason;
            return false;
        }
        if (!request.note.empty()) notes.push_back(name + " = " + request.note);
        if (key.presetField)
            presetTouched[key.preset] = true;
        else
            globalTouched = true;
    }
    ApplyRules(changed, presetTouched, globalTouched, notes);
    settings = changed;
    result.notes = static_cast<std::vector<std::string>&&>(notes);
    return true;
}

}  // namespace qdx::cli
