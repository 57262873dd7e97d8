// Writing the settings file. The new contents are built in memory: header,
// the full table of every entry this version knows, then every string and
// data block from the end of the table on. Entries this version does not write (entry 5, and whatever other
// versions keep there) are carried over from the old file. The result goes to
// a file beside the old one which then replaces it in one step, so a crash or
// a full disk half-way leaves the old settings whole.
#include <bit>
#include <cstring>
#include <variant>
#include <utility>

#include "core/file_helpers.h"
#include "core/os/owned_memory.h"
#include "core/settings_fields.h"
#include "core/os/path_edit.h"
#include "core/settings_file.h"

namespace qdx {

using namespace settings_file;

static_assert(std::endian::native == std::endian::little, "texts are copied to the file as they lie in memory");

namespace {

// A growable byte block on the private heap; a failed growth is remembered.
class ByteBuffer {
public:
    bool Append(const void* bytes, uint32_t size) {
        if (failed_) return false;
        uint32_t need = 0;
        if (!CheckedAdd32(size_, size, need)) return Fail();
        if (need > capacity_) {
            uint64_t grown = capacity_ ? uint64_t(capacity_) * 2 : 4096;
            while (grown < need) grown *= 2;
            if (grown > 0xFFFFFFFFu) grown = need;
            if (!os::ResizeHeapMemory(data_, grown)) return Fail();
            capacity_ = uint32_t(grown);
        }
        if (size) std::memcpy(data_.Get() + size_, bytes, size);
        size_ = need;
        return true;
    }
    uint8_t* Data() { return data_.Get(); }
    uint32_t Size() const { return size_; }
    bool Failed() const { return failed_; }
    bool Fail() {
        failed_ = true;
        return false;
    }

private:
    os::HeapMemory data_;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
    bool failed_ = false;
};

// What survives from the file being replaced.
struct OldContents {
    uint32_t table[kEntryCount][2] = {};
    uint32_t count = 0;          // entries read into the table, at most kEntryCount
    os::HeapMemory data;         // the old data area
    uint64_t dataStart = 0;      // its file offset
    uint32_t dataSize = 0;
};

void ReadOldContents(os::File& file, OldContents& old) {
    uint64_t size = 0;
    uint8_t header[4];
    if (!os::FileSize(file, size) || size < 4 || !os::ReadExact(file, header, 4)) return;
    const uint32_t fullCount = LoadLittleEndian32(header) & 0xFFFF;
    const uint32_t count = fullCount < kEntryCount ? fullCount : kEntryCount;
    uint8_t raw[kTableBytes];
    if (!os::ReadExact(file, raw, count * 8)) return;  // the table stays zero
    old.count = count;
    for (uint32_t i = 0; i < count; ++i) {
        old.table[i][0] = LoadLittleEndian32(raw + 8 * i);
        old.table[i][1] = LoadLittleEndian32(raw + 8 * i + 4);
    }
    // The old data area follows the whole old table, however long it was.
    const uint64_t start = kTableOffset + uint64_t(fullCount) * 8;
    if (start > size || size - start > 0xFFFFFFFFu) return;
    const uint32_t bytes = uint32_t(size - start);
    os::HeapMemory data;
    if (!data.Allocate(bytes ? bytes : 1)) return;
    if (!os::SeekTo(file, start) || !os::ReadExact(file, data.Get(), bytes)) return;
    old.data = std::move(data);
    old.dataStart = start;
    old.dataSize = bytes;
}

// The new file being put together.
struct SettingsImage {
    uint32_t table[kEntryCount][2] = {};
    bool written[kEntryCount] = {};
    ByteBuffer data;  // everything from kDataStart on

    void Integer(uint32_t index, uint32_t value) {
        table[index][0] = kInteger;
        table[index][1] = value;
        written[index] = true;
    }
    void Flag(uint32_t index, uint8_t value) { Integer(index, value != 0 ? 1 : 0); }
    void Signed(uint32_t index, int32_t value) { Integer(index, uint32_t(value)); }

    // Appends the bytes at the current end; an empty block is written absent.
    void Block(uint32_t index, const void* bytes, uint32_t size) {
        written[index] = true;
        table[index][0] = kAbsent;
        table[index][1] = 0;
        if (size == 0) return;
        // Offsets are 32-bit: the whole file must stay below 4 GiB.
        uint32_t offset = 0, end = 0;
        if (!CheckedAdd32(kDataStart, data.Size(), offset) || !CheckedAdd32(offset, size, end)) {
            data.Fail();
            return;
        }
        if (!data.Append(bytes, size)) return;
        table[index][0] = offset;
        table[index][1] = size;
    }
    void Text(uint32_t index, const WideString& text) {
        uint32_t bytes = 0;
        written[index] = true;
        if (!CheckedMul32(text.Length(), 2, bytes)) {
            data.Fail();
            return;
        }
        Block(index, text.Buffer(), bytes);
    }
};

// The names joined, each followed by a NUL, keeping only names of files that
// are there in the plug-in folder.
void JoinExcludedPlugins(const Settings& settings, ByteBuffer& block) {
    static constexpr char16_t kNul = 0;
    for (const WideString& name : settings.excludedPlugins) {
        if (name.IsEmpty()) continue;
        WideString file;
        if (!SetFolderPlusName(file, settings.pluginFolder.Text(), name.Text()) || file.IsEmpty() ||
            !os::FileExists(file.Text()))
            continue;
        block.Append(name.Buffer(), name.Length() * 2);
        block.Append(&kNul, 2);
    }
}

// A window geometry handed to SaveSettings replaces the one loaded.
int32_t GeometryValue(const WindowGeometry* geometry, uint32_t entry, int32_t loaded) {
    if (!geometry) return loaded;
    switch (entry) {
        case kWindowLeft: return geometry->left;
        case kWindowTop: return geometry->top;
        case kClientWidth: return geometry->clientWidth;
        case kClientHeight: return geometry->clientHeight;
        default: return loaded;
    }
}

// One field into the image; blocks go in the order the fields are written.
struct FieldWrite {
    const Settings& settings;
    const WindowGeometry* geometry;
    SettingsImage& image;
    uint32_t entry;

    void operator()(uint8_t flag) const { image.Flag(entry, flag); }
    void operator()(uint32_t value) const { image.Integer(entry, value); }
    void operator()(int32_t value) const { image.Signed(entry, GeometryValue(geometry, entry, value)); }
    void operator()(const WideString& text) const { image.Text(entry, text); }
    void operator()(const std::vector<WideString>&) const {
        ByteBuffer excluded;
        JoinExcludedPlugins(settings, excluded);
        if (excluded.Failed()) image.data.Fail();
        image.Block(entry, excluded.Data(), excluded.Size());
    }
    void operator()(const uint32_t (&colours)[16]) const {
        uint8_t bytes[kCustomColoursBytes];
        for (int i = 0; i < 16; ++i) StoreLittleEndian32(bytes + 4 * i, colours[i]);
        image.Block(entry, bytes, kCustomColoursBytes);
    }
    void operator()(const uint8_t (&flags)[kPresetCount]) const {
        for (uint32_t i = 0; i < uint32_t(kPresetCount); ++i) image.Flag(entry + i, flags[i]);
    }
};

// The globals, then each preset in turn, every one in table order.
void WriteEntries(const Settings& settings, const WindowGeometry* geometry, SettingsImage& image) {
    for (const GlobalField& field : kGlobalFields)
        std::visit([&](auto member) { FieldWrite{settings, geometry, image, field.entry}(settings.*member); },
                   field.member);
    for (uint32_t i = 0; i < uint32_t(kPresetCount); ++i)
        for (const PresetField& field : kPresetFields)
            std::visit(
                [&](auto member) {
                    FieldWrite{settings, geometry, image, field.entry + i}(settings.presets[i].*member);
                },
                field.member);
}

// Blocks of entries this version did not write move to the end of the new
// data area; integers among them are already in the table as read. A block
// whose bytes are not inside the old data area would point at unrelated new
// bytes, so it is dropped.
void CarryOverOldBlocks(const OldContents& old, SettingsImage& image) {
    for (uint32_t i = 0; i < old.count; ++i) {
        if (image.written[i] || old.table[i][0] < kFirstDataOffset) continue;
        const uint64_t offset = old.table[i][0], length = old.table[i][1];
        image.table[i][0] = kAbsent;
        image.table[i][1] = 0;
        if (!old.data || offset < old.dataStart || offset + length > old.dataStart + old.dataSize) continue;
        uint32_t at = 0, end = 0;
        if (!CheckedAdd32(kDataStart, image.data.Size(), at) || !CheckedAdd32(at, uint32_t(length), end)) {
            image.data.Fail();
            return;
        }
        if (!image.data.Append(old.data.Get() + (offset - old.dataStart), uint32_t(length))) return;
        image.table[i][0] = at;
        image.table[i][1] = uint32_t(length);
    }
}

bool WriteNewFile(const char16_t* path, const uint8_t* head, uint32_t headSize, ByteBuffer& data) {
    os::File file;
    if (!os::CreateForWrite(path, file)) return false;
    const bool ok = os::WriteAll(file, head, headSize) && os::WriteAll(file, data.Data(), data.Size()) &&
                    os::FlushToDisk(file);
    file.Close();
    return ok;
}

}  // namespace

bool SettingsReplacementPath(const char16_t* path, WideString& replacement) {
    replacement.Clear();
    return replacement.Append(path) && replacement.Append(u".new") && replacement.Length() > 4;
}

bool SaveSettings(const char16_t* path, const Settings& settings, const WindowGeometry* geometry) {
    OldContents old;
    if (os::FileExists(path)) {
        // Opened without sharing, as a check that no other program is using it.
        os::File file;
        if (!os::OpenReadWriteExclusive(path, file)) return false;
        ReadOldContents(file, old);
    }

    SettingsImage image;
    std::memcpy(image.table, old.table, sizeof image.table);
    WriteEntries(settings, geometry, image);
    CarryOverOldBlocks(old, image);
    if (image.data.Failed()) return false;

    uint8_t head[kDataStart];
    StoreLittleEndian32(head, kHeader);
    for (uint32_t i = 0; i < kEntryCount; ++i) {
        StoreLittleEndian32(head + kTableOffset + 8 * i, image.table[i][0]);
        StoreLittleEndian32(head + kTableOffset + 8 * i + 4, image.table[i][1]);
    }
    uint32_t total = 0;
    if (!CheckedAdd32(kDataStart, image.data.Size(), total)) return false;

    WideString replacement;
    if (!SettingsReplacementPath(path, replacement)) return false;
    if (!WriteNewFile(replacement.Text(), head, kDataStart, image.data) ||
        !os::ReplaceFileAtomically(replacement.Text(), path)) {
        os::RemoveFile(replacement.Text());
        return false;
    }
    return true;
}

}  // namespace qdx
