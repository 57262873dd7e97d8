#include "codecs/common/exif_tags.h"

#include <cstring>

#include "codecs/common/tiff_bytes.h"

namespace qdx {
namespace {

constexpr size_t kTiffHeaderSize = 8;
constexpr uint32_t kEntrySize = 12;
constexpr uint16_t kTiffMagic = 42;
// A directory claiming more entries than this is damaged: real ones hold a few dozen.
constexpr uint32_t kMaxDirectoryEntries = 1000;

constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;
constexpr uint16_t kTypeUndefined = 7;
constexpr uint16_t kTypeSignedRational = 10;
constexpr uint16_t kTypeDouble = 12;

constexpr uint16_t kTagOrientation = 274;
constexpr uint16_t kTagExifDirectory = 34665;
constexpr uint16_t kTagPixelXDimension = 40962;
constexpr uint16_t kTagPixelYDimension = 40963;

// Tags of the first directory that describe how the source stored its pixels
// (or point at data the output does not carry): a fresh block never repeats them.
constexpr uint16_t kStorageTags[] = {
    254, 255, 256, 257, 258, 259, 262, 263, 266, 273, 277, 278, 279, 280, 281, 282, 283, 284, 290, 291,
    292, 293, 296, 317, 318, 319, 320, 321, 322, 323, 324, 325, 330, 338, 339, 340, 341, 347, 513, 514,
    529, 530, 531, 532, 700, 33723, 34377, 34675, kTagOrientation, kTagExifDirectory,
    34853,  // GPS directory
    40965,  // interoperability directory
    37500,  // maker notes
    40960, 40961,  // FlashpixVersion and ColorSpace: the output's own matter
    kTagPixelXDimension, kTagPixelYDimension,
};

// What the date-and-camera policy keeps.
constexpr uint16_t kDateAndCameraTags[] = {
    271,    // Make
    272,    // Model
    33434,  // ExposureTime
    33437,  // FNumber
    34855,  // PhotographicSensitivity (ISO)
    36864,  // ExifVersion
    36867,  // DateTimeOriginal
    36881,  // OffsetTimeOriginal
    37386,  // FocalLength
    37521,  // SubSecTimeOriginal
    42034,  // LensSpecification
    42035,  // LensMake
    42036,  // LensModel
};

template <size_t N>
bool Listed(const uint16_t (&list)[N], uint16_t tag) {
    for (uint16_t t : list)
        if (t == tag) return true;
    return false;
}

bool IsStorageTag(uint16_t tag) { return Listed(kStorageTags, tag); }

// Bytes of one value of a field type; 0 for types we do not know.
uint32_t TypeSize(uint16_t type) {
    switch (type) {
    case kTypeByte: case kTypeAscii: case 6: case kTypeUndefined: return 1;
    case kTypeShort: case 8: return 2;
    case kTypeLong: case 9: case 11: return 4;
    case kTypeRational: case kTypeSignedRational: case kTypeDouble: return 8;
    default: return 0;
    }
}

// The size of one element to swap: rationals swap as two 4-byte halves.
uint32_t SwapUnit(uint16_t type) {
    const uint32_t size = TypeSize(type);
    return (type == kTypeRational || type == kTypeSignedRational) ? 4 : size;
}

using Structure = TiffBytes;

// Copies one entry's value into the record, turned little-endian. False when
// the entry is damaged, of an unknown type or does not fit the room left.
bool TakeEntry(const Structure& s, size_t at, uint8_t directory, ExifTags& tags) {
    if (tags.count >= kExifMaxEntries) return false;
    ExifEntry entry;
    entry.tag = s.U16(at);
    entry.type = s.U16(at + 2);
    entry.count = s.U32(at + 4);
    entry.directory = directory;
    const uint32_t unit = TypeSize(entry.type);
    if (unit == 0 || entry.count == 0 || entry.count > kExifValueBytes / unit) return false;
    const uint32_t bytes = entry.count * unit;
    if (bytes > kExifValueBytes - tags.valuesUsed) return false;
    size_t from = at + 8;
    if (bytes > 4) {
        from = s.U32(at + 8);
        if (from > s.size || s.size - from < bytes) return false;
    }
    uint8_t* to = tags.values + tags.valuesUsed;
    std::memcpy(to, s.data + from, bytes);
    const uint32_t swap = SwapUnit(entry.type);
    if (!s.little && swap > 1)
        for (uint32_t i = 0; i < bytes; i += swap)
            for (uint32_t a = i, b = i + swap - 1; a < b; ++a, --b) {
                const uint8_t t = to[a];
                to[a] = to[b];
                to[b] = t;
            }
    entry.valueAt = tags.valuesUsed;
    entry.valueSize = bytes;
    tags.valuesUsed += bytes;
    tags.entries[tags.count++] = entry;
    return true;
}

// Reads one directory; returns the Exif directory's offset found in it (0: none).
uint32_t ReadDirectory(const Structure& s, uint32_t offset, uint8_t directory, ExifTags& tags) {
    if (offset < kTiffHeaderSize || offset > s.size || s.size - offset < 2) return 0;
    uint32_t count = s.U16(offset);
    if (count > kMaxDirectoryEntries) count = kMaxDirectoryEntries;
    uint32_t exifAt = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = size_t(offset) + 2 + size_t(i) * kEntrySize;
        if (at > s.size || s.size - at < kEntrySize) break;
        const uint16_t tag = s.U16(at);
        if (directory == kExifDirectoryMain && tag == kTagExifDirectory &&
            (s.U16(at + 2) == kTypeLong || s.U16(at + 2) == 13) && s.U32(at + 4) == 1)
            exifAt = s.U32(at + 8);
        if (IsStorageTag(tag)) continue;
        TakeEntry(s, at, directory, tags);
    }
    return exifAt;
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// One directory entry to write: a kept tag or one the writer adds.
struct OutEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    const uint8_t* value;  // little-endian bytes
    uint32_t size;
};

constexpr uint32_t kMaxOutEntries = kExifMaxEntries + 3;

// Directory entries in ascending tag order, as readers expect.
void SortEntries(OutEntry* list, uint32_t n) {
    for (uint32_t i = 1; i < n; ++i) {
        const OutEntry e = list[i];
        uint32_t j = i;
        for (; j > 0 && list[j - 1].tag > e.tag; --j) list[j] = list[j - 1];
        list[j] = e;
    }
}

// Writes a directory at `at` with its values after it; returns the offset
// just past them (word-aligned). The next-directory link is 0.
uint32_t PutDirectory(uint8_t* out, uint32_t at, const OutEntry* list, uint32_t n) {
    PutU16(out + at, uint16_t(n));
    uint32_t valuesAt = at + 2 + n * kEntrySize + 4;
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t* e = out + at + 2 + i * kEntrySize;
        PutU16(e, list[i].tag);
        PutU16(e + 2, list[i].type);
        PutU32(e + 4, list[i].count);
        std::memset(e + 8, 0, 4);
        if (list[i].size <= 4) {
            std::memcpy(e + 8, list[i].value, list[i].size);
        } else {
            PutU32(e + 8, valuesAt);
            std::memcpy(out + valuesAt, list[i].value, list[i].size);
            valuesAt += list[i].size + (list[i].size & 1);
            if (list[i].size & 1) out[valuesAt - 1] = 0;
        }
    }
    PutU32(out + at + 2 + n * kEntrySize, 0);
    return valuesAt;
}

}  // namespace

bool ReadExifTags(const uint8_t* data, size_t size, ExifTags& tags) {
    tags.count = 0;
    tags.valuesUsed = 0;
    if (!data || size < kTiffHeaderSize) return false;
    Structure s{data, size, true};
    if (data[0] == 'I' && data[1] == 'I')
        s.little = true;
    else if (data[0] == 'M' && data[1] == 'M')
        s.little = false;
    else
        return false;
    if (s.U16(2) != kTiffMagic) return false;
    const uint32_t first = s.U32(4);
    if (first < kTiffHeaderSize || first > size || size - first < 2) return false;
    const uint32_t exifAt = ReadDirectory(s, first, kExifDirectoryMain, tags);
    // A pointer back to the first directory would read it twice as the Exif one.
    if (exifAt != 0 && exifAt != first) ReadDirectory(s, exifAt, kExifDirectoryExif, tags);
    return true;
}

void FilterExifTags(ExifTags& tags, MetadataPolicy policy) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < tags.count; ++i) {
        const ExifEntry& e = tags.entries[i];
        bool keep = false;
        if (policy == MetadataPolicy::AllButLocation) keep = true;
        if (policy == MetadataPolicy::DateAndCamera) keep = Listed(kDateAndCameraTags, e.tag);
        if (keep) tags.entries[kept++] = e;
    }
    tags.count = kept;
}

uint32_t WriteExifBlock(const ExifTags& tags, uint32_t width, uint32_t height, uint8_t* out) {
    if (tags.count == 0) return 0;
    static const uint8_t kUpright[2] = {1, 0};
    uint8_t widthBytes[4];
    uint8_t heightBytes[4];
    PutU32(widthBytes, width);
    PutU32(heightBytes, height);
    uint8_t exifPointer[4] = {};

    OutEntry main[kMaxOutEntries];
    OutEntry exif[kMaxOutEntries];
    uint32_t mainCount = 0;
    uint32_t exifCount = 0;
    for (uint32_t i = 0; i < tags.count; ++i) {
        const ExifEntry& e = tags.entries[i];
        const OutEntry o{e.tag, e.type, e.count, tags.values + e.valueAt, e.valueSize};
        if (e.directory == kExifDirectoryMain)
            main[mainCount++] = o;
        else
            exif[exifCount++] = o;
    }
    main[mainCount++] = OutEntry{kTagOrientation, kTypeShort, 1, kUpright, 2};
    main[mainCount++] = OutEntry{kTagExifDirectory, kTypeLong, 1, exifPointer, 4};
    exif[exifCount++] = OutEntry{kTagPixelXDimension, kTypeLong, 1, widthBytes, 4};
    exif[exifCount++] = OutEntry{kTagPixelYDimension, kTypeLong, 1, heightBytes, 4};
    SortEntries(main, mainCount);
    SortEntries(exif, exifCount);

    out[0] = 'I';
    out[1] = 'I';
    PutU16(out + 2, kTiffMagic);
    PutU32(out + 4, uint32_t(kTiffHeaderSize));
    // The first directory's size is known before it is written, so the Exif
    // pointer can be filled in first.
    uint32_t mainEnd = uint32_t(kTiffHeaderSize) + 2 + mainCount * kEntrySize + 4;
    for (uint32_t i = 0; i < mainCount; ++i)
        if (main[i].size > 4) mainEnd += main[i].size + (main[i].size & 1);
    PutU32(exifPointer, mainEnd);
    PutDirectory(out, uint32_t(kTiffHeaderSize), main, mainCount);
    return PutDirectory(out, mainEnd, exif, exifCount);
}

uint32_t ExifBlockMainEntries(const uint8_t* block, uint32_t size) {
    if (!block || size < kTiffHeaderSize + 2 || block[0] != 'I' || block[1] != 'I') return 0;
    const uint32_t count = uint32_t(block[8] | block[9] << 8);
    return uint64_t(kTiffHeaderSize) + 2 + uint64_t(count) * kEntrySize + 4 <= size ? count : 0;
}

bool RebaseExifBlock(uint8_t* block, uint32_t size, uint32_t base) {
    const Structure s{block, size, true};
    uint32_t directory = uint32_t(kTiffHeaderSize);
    for (int d = 0; d < 2 && directory != 0; ++d) {
        if (directory > size || size - directory < 2) return false;
        const uint32_t count = s.U16(directory);
        if (uint64_t(directory) + 2 + uint64_t(count) * kEntrySize + 4 > size) return false;
        uint32_t next = 0;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* e = block + directory + 2 + i * kEntrySize;
            const uint16_t type = s.U16(size_t(e - block) + 2);
            const uint64_t bytes = uint64_t(TypeSize(type)) * s.U32(size_t(e - block) + 4);
            const bool isPointer = d == 0 && s.U16(size_t(e - block)) == kTagExifDirectory;
            if (bytes <= 4 && !isPointer) continue;
            const uint32_t offset = s.U32(size_t(e - block) + 8);
            if (isPointer) next = offset;
            if (uint64_t(offset) + base > 0xFFFFFFFFu) return false;
            PutU32(e + 8, offset + base);
        }
        directory = next;
    }
    return true;
}

uint32_t MakeOutputExif(const uint8_t* source, size_t sourceSize, MetadataPolicy policy, uint32_t width,
                        uint32_t height, ExifTags& scratch, uint8_t* out) {
    if (policy == MetadataPolicy::Nothing || !ReadExifTags(source, sourceSize, scratch)) return 0;
    FilterExifTags(scratch, policy);
    return WriteExifBlock(scratch, width, height, out);
}

}  // namespace qdx
