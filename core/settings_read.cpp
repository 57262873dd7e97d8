// Reading the settings file: defaults for what is missing, clamps for values
// out of range, and the translation of presets saved by older versions.
#include <cstring>
#include <type_traits>
#include <variant>

#include "core/file_helpers.h"
#include "core/os/owned_memory.h"
#include "core/preset_rules.h"
#include "core/settings_fields.h"
#include "core/settings_file.h"

namespace qdx {

using namespace settings_file;

namespace {

// Versions before this one stored separate width and height limits.
constexpr uint32_t kFirstBoxVersion = 0x0578;

// True when the entry exists in the file's table (index below the count).
bool InTable(const SettingsReader& reader, uint32_t index) { return reader.tableRead && index < reader.count; }

uint32_t EntryA(const SettingsReader& reader, uint32_t index) { return reader.table[index][0]; }
uint32_t EntryB(const SettingsReader& reader, uint32_t index) { return reader.table[index][1]; }

// A block entry that may be read: offset at 2 or above and a length that fits
// the data area. Its bytes may still lie beyond the end of the file; then the
// read falls short.
bool BlockReadable(const SettingsReader& reader, uint32_t index) {
    return InTable(reader, index) && EntryA(reader, index) >= kFirstDataOffset &&
           EntryB(reader, index) <= reader.dataSize;
}

bool ReadBlock(SettingsReader& reader, uint32_t index, void* out, uint32_t size) {
    return os::SeekTo(reader.file, EntryA(reader, index)) && os::ReadExact(reader.file, out, size);
}

uint32_t ReadInteger(const SettingsReader& reader, uint32_t index, uint32_t fallback) {
    return InTable(reader, index) && EntryA(reader, index) == kInteger ? EntryB(reader, index) : fallback;
}
int32_t ReadSigned(const SettingsReader& reader, uint32_t index, int32_t fallback) {
    return int32_t(ReadInteger(reader, index, uint32_t(fallback)));
}
uint8_t ReadFlag(const SettingsReader& reader, uint32_t index, uint8_t fallback) {
    return uint8_t(ReadInteger(reader, index, fallback) & 1);
}

// The default is taken only for an entry the table does not have; an entry
// that is there but damaged reads as the empty string.
void ReadString(SettingsReader& reader, uint32_t index, const char16_t* fallback, WideString& out) {
    out.Clear();
    if (!InTable(reader, index)) {
        out.Assign(fallback);
        return;
    }
    if (!BlockReadable(reader, index)) return;
    const uint32_t bytes = EntryB(reader, index);
    if (bytes < 2) return;
    // Read into a scratch block first: an odd last byte must not land in the
    // string's terminator. The file's bytes are little-endian UTF-16, the
    // order of the machine.
    os::HeapMemory block;
    if (!block.Allocate(bytes) || !ReadBlock(reader, index, block.Get(), bytes)) return;
    // The text ends at its first NUL, as every name made from it would.
    const char16_t* units = reinterpret_cast<const char16_t*>(block.Get());
    uint32_t length = 0;
    while (length < bytes / 2 && units[length] != 0) ++length;
    out.Append(units, length);
}

void ReadCustomColours(SettingsReader& reader, uint32_t index, uint32_t fallback, uint32_t colours[16]) {
    // The colours start out 0. An entry too long for them is skipped and
    // leaves them so; one that is missing, empty or unreadable gives the
    // default.
    std::memset(colours, 0, kCustomColoursBytes);
    bool read = false;
    if (BlockReadable(reader, index)) {
        const uint32_t bytes = EntryB(reader, index);
        if (bytes > kCustomColoursBytes) return;
        uint8_t raw[kCustomColoursBytes] = {};
        if (bytes > 0 && ReadBlock(reader, index, raw, bytes)) {
            for (int i = 0; i < 16; ++i) colours[i] = LoadLittleEndian32(raw + 4 * i);
            read = true;
        }
    }
    if (!read)
        for (int i = 0; i < 16; ++i) colours[i] = fallback;
}

// NUL-separated names; the last one may also end at the end of the block.
void ReadExcludedPlugins(SettingsReader& reader, uint32_t index, std::vector<WideString>& names) {
    names.clear();
    if (!BlockReadable(reader, index)) return;
    const uint32_t bytes = EntryB(reader, index);
    const uint32_t units = bytes / 2;
    if (units == 0) return;
    os::HeapMemory block;
    if (!block.Allocate(bytes) || !ReadBlock(reader, index, block.Get(), bytes)) return;
    const uint8_t* raw = block.Get();
    uint32_t start = 0;
    for (uint32_t i = 0; i <= units; ++i) {
        if (i < units && (raw[2 * i] | raw[2 * i + 1]) != 0) continue;
        // Two NULs in a row name nothing; no plug-in file has an empty name.
        if (i > start) {
            WideString name;
            if (name.Append(reinterpret_cast<const char16_t*>(raw) + start, i - start))
                names.push_back(static_cast<WideString&&>(name));
        }
        start = i + 1;
    }
}

// One field's value from the file, or its default where the table has no
// entry; `position` picks the default of a preset field.
struct FieldRead {
    SettingsReader& reader;
    uint32_t entry;
    const int64_t (&defaults)[kPresetCount];
    const char16_t* textDefault;
    int position;

    void operator()(uint8_t& flag) const { flag = ReadFlag(reader, entry, uint8_t(defaults[position])); }
    void operator()(uint32_t& value) const { value = ReadInteger(reader, entry, uint32_t(defaults[position])); }
    void operator()(int32_t& value) const { value = ReadSigned(reader, entry, int32_t(defaults[position])); }
    void operator()(WideString& text) const { ReadString(reader, entry, textDefault, text); }
    void operator()(std::vector<WideString>& names) const { ReadExcludedPlugins(reader, entry, names); }
    void operator()(uint32_t (&colours)[16]) const {
        ReadCustomColours(reader, entry, uint32_t(defaults[0]), colours);
    }
    void operator()(uint8_t (&flags)[kPresetCount]) const {
        for (uint32_t i = 0; i < uint32_t(kPresetCount); ++i)
            flags[i] = ReadFlag(reader, entry + i, uint8_t(defaults[i]));
    }
};

// The field's own rule on a value read.
template <typename Record>
int64_t NumberRule(const FieldDescriptor<Record>& field, int64_t value) {
    switch (field.rule) {
        case ReadRule::FallbackAboveMax: return value > field.max ? field.fallback : value;
        case ReadRule::FallbackUnlessAllowed: return FieldAllows(field, value) ? value : field.fallback;
        case ReadRule::AtLeastMin: return value < field.min ? field.min : value;
        case ReadRule::Clamp: return ClampToField(field, value);
        default: return value;
    }
}

template <typename Record>
struct FieldRule {
    const FieldDescriptor<Record>& field;

    template <typename Integer>
        requires std::is_integral_v<Integer>
    void operator()(Integer& value) const {
        value = Integer(NumberRule(field, value));
    }
    void operator()(WideString& text) const {
        if (field.rule == ReadRule::MenuFontWhenEmpty && text.IsEmpty()) os::MenuFontFace(text);
        if (field.rule == ReadRule::EmptyUnlessPlainName && !LanguageNameIsPlain(text.Text(), text.Length()))
            text.Clear();
    }
    template <typename Other>
    void operator()(Other&) const {}
};

template <typename Record, size_t Count>
void ReadFields(SettingsReader& reader, const FieldDescriptor<Record> (&fields)[Count], ReadStage stage,
                Record& record, int position) {
    for (const FieldDescriptor<Record>& field : fields) {
        if (field.stage != stage) continue;
        const FieldRead read{reader, field.entry + uint32_t(position), field.defaults, field.textDefaults[position],
                             position};
        std::visit([&](auto member) { read(record.*member); }, field.member);
        std::visit([&](auto member) { FieldRule<Record>{field}(record.*member); }, field.member);
    }
}

// The rules that weigh one field of a preset against another.
void ApplyLoadRules(Preset& preset, bool translateOldSizes) {
    ApplyFileSizeLimitRule(preset);

    if (translateOldSizes && preset.resizeMode != 0) {
        // Older files kept a width limit and a height limit side by side.
        if (preset.targetWidth != 0) {
            preset.resizeMode = preset.targetHeight != 0 ? 5 : 1;
        } else {
            preset.resizeMode = 2;
            preset.targetWidth = preset.targetHeight;
        }
    }
    ApplyResizeValidityRule(preset);
}

}  // namespace

void OpenSettings(SettingsReader& reader, const char16_t* path) {
    CloseSettings(reader);
    if (!os::OpenForReadShared(path, reader.file)) return;
    uint8_t header[4];
    if (!os::ReadExact(reader.file, header, 4)) return;
    const uint32_t value = LoadLittleEndian32(header);
    reader.headerRead = true;
    reader.version = value >> 16;
    uint32_t count = value & 0xFFFF;
    if (count > kEntryCount) count = kEntryCount;
    reader.count = count;

    uint64_t size = 0;
    if (!os::FileSize(reader.file, size) || size == 0 || size >= (uint64_t(1) << 32)) return;
    uint8_t raw[kTableBytes];
    const uint32_t tableBytes = count * 8;
    if (!os::ReadExact(reader.file, raw, tableBytes)) return;
    // The table read succeeded, so the file holds at least the header and table.
    if (size < kTableOffset + uint64_t(tableBytes)) return;
    for (uint32_t i = 0; i < count; ++i) {
        reader.table[i][0] = LoadLittleEndian32(raw + 8 * i);
        reader.table[i][1] = LoadLittleEndian32(raw + 8 * i + 4);
    }
    reader.dataSize = size - kTableOffset - tableBytes;
    reader.tableRead = true;
}

void CloseSettings(SettingsReader& reader) {
    reader.file.Close();
    reader.headerRead = false;
    reader.tableRead = false;
    reader.version = 0;
    reader.count = 0;
    reader.dataSize = 0;
    std::memset(reader.table, 0, sizeof reader.table);
}

void LoadLanguageName(SettingsReader& reader, Settings& settings) {
    ReadFields(reader, kGlobalFields, ReadStage::Language, settings, 0);
}

void LoadSettings(SettingsReader& reader, Settings& settings) {
    ReadFields(reader, kGlobalFields, ReadStage::Main, settings, 0);
    const bool translateOldSizes = reader.tableRead && reader.version < kFirstBoxVersion;
    for (int i = 0; i < kPresetCount; ++i) {
        ReadFields(reader, kPresetFields, ReadStage::Main, settings.presets[i], i);
        ApplyLoadRules(settings.presets[i], translateOldSizes);
    }
}

void LoadWindowGeometry(SettingsReader& reader, Settings& settings) {
    ReadFields(reader, kGlobalFields, ReadStage::Geometry, settings, 0);
}

void LoadSettings(const char16_t* path, Settings& settings) {
    SettingsReader reader;
    OpenSettings(reader, path);
    LoadLanguageName(reader, settings);
    LoadSettings(reader, settings);
    LoadWindowGeometry(reader, settings);
    CloseSettings(reader);
}

}  // namespace qdx
