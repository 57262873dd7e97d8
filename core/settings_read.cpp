// Reading the settings file: defaults for what is missing, clamps for values
// out of range, and the translation of presets saved by older versions.
#include <cstring>

#include "core/file_helpers.h"
#include "core/os/owned_memory.h"
#include "core/preset_rules.h"
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
void ReadString(SettingsReader& reader, uint32_t index, const WideString& fallback, WideString& out) {
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
    out.Append(reinterpret_cast<const char16_t*>(block.Get()), bytes / 2);
}

void ReadCustomColours(SettingsReader& reader, uint32_t colours[16]) {
    // The colours start out 0. An entry too long for them is skipped and
    // leaves them so; one that is missing, empty or unreadable gives white.
    std::memset(colours, 0, kCustomColoursBytes);
    bool read = false;
    if (BlockReadable(reader, kCustomColours)) {
        const uint32_t bytes = EntryB(reader, kCustomColours);
        if (bytes > kCustomColoursBytes) return;
        uint8_t raw[kCustomColoursBytes] = {};
        if (bytes > 0 && ReadBlock(reader, kCustomColours, raw, bytes)) {
            for (int i = 0; i < 16; ++i) colours[i] = LoadLittleEndian32(raw + 4 * i);
            read = true;
        }
    }
    if (!read)
        for (int i = 0; i < 16; ++i) colours[i] = 0xFFFFFF;
}

// NUL-separated names; the last one may also end at the end of the block.
void ReadExcludedPlugins(SettingsReader& reader, std::vector<WideString>& names) {
    names.clear();
    if (!BlockReadable(reader, kExcludedPlugins)) return;
    const uint32_t bytes = EntryB(reader, kExcludedPlugins);
    const uint32_t units = bytes / 2;
    if (units == 0) return;
    os::HeapMemory block;
    if (!block.Allocate(bytes) || !ReadBlock(reader, kExcludedPlugins, block.Get(), bytes)) return;
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

void ApplyLoadRules(Preset& preset, bool translateOldSizes) {
    if (preset.outputFormat > 4) preset.outputFormat = kOutputJpeg;
    if (preset.resizeMode > 5) preset.resizeMode = 0;
    if (preset.jpegSubsampling != 2) preset.jpegSubsampling = 0;
    ApplyFileSizeLimitRule(preset);
    if (preset.resampleFilter > 3) preset.resampleFilter = 0;
    if (preset.sharpness > 3) preset.sharpness = 0;

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
    const Settings defaults;
    ReadString(reader, kLanguageName, defaults.languageName, settings.languageName);
}

void LoadSettings(SettingsReader& reader, Settings& settings) {
    const Settings defaults;
    Settings& s = settings;
    const Settings& d = defaults;

    const int32_t fontHeight = ReadSigned(reader, kFontHeight, d.fontHeight);
    s.fontHeight = FontHeightAllowed(fontHeight) ? fontHeight : kFontHeights[0];
    const int32_t fontWeight = ReadSigned(reader, kFontWeight, d.fontWeight);
    s.fontWeight = FontWeightAllowed(fontWeight) ? fontWeight : kFontWeightNormal;
    ReadString(reader, kFontFace, d.fontFace, s.fontFace);
    if (s.fontFace.IsEmpty()) os::MenuFontFace(s.fontFace);
    s.largeDialogFont = ReadFlag(reader, kLargeDialogFont, d.largeDialogFont);

    ReadString(reader, kGlobalOutputFolder, d.globalOutputFolder, s.globalOutputFolder);
    ReadString(reader, kPluginFolder, d.pluginFolder, s.pluginFolder);
    ReadExcludedPlugins(reader, s.excludedPlugins);
    s.useOwnBackground = ReadFlag(reader, kUseOwnBackground, d.useOwnBackground);
    s.backgroundColour = ReadInteger(reader, kBackgroundColour, d.backgroundColour);
    s.alwaysOnTop = ReadFlag(reader, kAlwaysOnTop, d.alwaysOnTop);
    s.showTooltips = ReadFlag(reader, kShowTooltips, d.showTooltips);
    ReadCustomColours(reader, s.customColours);
    s.optionsPage = ReadInteger(reader, kOptionsPage, d.optionsPage);
    if (s.optionsPage > 2) s.optionsPage = 0;

    const bool translateOldSizes = reader.tableRead && reader.version < kFirstBoxVersion;
    for (uint32_t i = 0; i < uint32_t(kPresetCount); ++i) {
        Preset& p = s.presets[i];
        const Preset& q = d.presets[i];
        p.outputFormat = ReadInteger(reader, kOutputFormat + i, q.outputFormat);
        p.keepTransparency = ReadFlag(reader, kKeepTransparency + i, q.keepTransparency);
        p.jpegQuality = ReadInteger(reader, kJpegQuality + i, q.jpegQuality);
        p.jpegSubsampling = ReadSigned(reader, kJpegSubsampling + i, q.jpegSubsampling);
        p.limitFileSize = ReadFlag(reader, kLimitFileSize + i, q.limitFileSize);
        p.maxFileSizeKiB = ReadInteger(reader, kMaxFileSizeKiB + i, q.maxFileSizeKiB);
        p.resizeMode = ReadInteger(reader, kResizeMode + i, q.resizeMode);
        p.resampleFilter = ReadInteger(reader, kResampleFilter + i, q.resampleFilter);
        p.targetWidth = ReadSigned(reader, kTargetWidth + i, q.targetWidth);
        p.targetHeight = ReadSigned(reader, kTargetHeight + i, q.targetHeight);
        p.keepAspect = ReadFlag(reader, kKeepAspect + i, q.keepAspect);
        p.sharpness = ReadInteger(reader, kSharpness + i, q.sharpness);
        ReadString(reader, kSuffix + i, q.suffix, p.suffix);
        ReadString(reader, kSubfolder + i, q.subfolder, p.subfolder);
        ReadString(reader, kOutputFolder + i, q.outputFolder, p.outputFolder);
        p.targetDisabled = ReadFlag(reader, kTargetDisabled + i, q.targetDisabled);
        s.multiDropSelection[i] = ReadFlag(reader, kMultiDropSelection + i, d.multiDropSelection[i]);
        ApplyLoadRules(p, translateOldSizes);
    }
}

void LoadWindowGeometry(SettingsReader& reader, Settings& settings) {
    const Settings defaults;
    settings.windowLeft = ReadSigned(reader, kWindowLeft, defaults.windowLeft);
    settings.windowTop = ReadSigned(reader, kWindowTop, defaults.windowTop);
    settings.clientWidth = ReadSigned(reader, kClientWidth, defaults.clientWidth);
    if (settings.clientWidth < kMinClientWidth) settings.clientWidth = kMinClientWidth;
    settings.clientHeight = ReadSigned(reader, kClientHeight, defaults.clientHeight);
    if (settings.clientHeight < kMinClientHeight) settings.clientHeight = kMinClientHeight;
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
