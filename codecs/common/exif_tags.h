#pragma once
// Our own small Exif reader and writer. The reader takes a TIFF structure (an
// Exif block, or a whole TIFF file) and keeps the tags of its first directory
// and of its Exif directory, values turned little-endian; the GPS directory,
// the thumbnail directory, the maker notes and every tag that describes how
// the source's pixels were stored are never taken. The writer builds a fresh
// little-endian block from the tags a policy keeps, with the orientation
// written as upright and the pixel size of the output.
#include <cstddef>
#include <cstdint>

namespace qdx {

// What the outputs carry of the source's Exif block (the keepMetadata setting).
enum class MetadataPolicy : uint8_t {
    Nothing = 0,
    DateAndCamera = 1,  // date taken, camera, lens and exposure
    AllButLocation = 2,  // everything but GPS, maker notes and thumbnail
};

inline constexpr uint8_t kExifDirectoryMain = 0;  // the first directory (IFD0)
inline constexpr uint8_t kExifDirectoryExif = 1;  // the directory tag 34665 points to

struct ExifEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint8_t directory = kExifDirectoryMain;
    uint32_t valueAt = 0;  // offset of the value bytes in ExifTags::values
    uint32_t valueSize = 0;
};

// A block written from these tags always fits one JPEG APP1 segment: at most
// kExifMaxEntries directory entries and kExifValueBytes bytes of values.
inline constexpr uint32_t kExifMaxEntries = 400;
inline constexpr uint32_t kExifValueBytes = 48 * 1024;
// The most bytes a written block takes (header, two directories with their
// counts and next-directory links, the values with their padding).
inline constexpr uint32_t kExifMaxBlockBytes = 8 + 2 * 6 + (kExifMaxEntries + 4) * 12 + kExifValueBytes + kExifMaxEntries;

// Large (about 60 KiB): keep it on the heap.
struct ExifTags {
    ExifEntry entries[kExifMaxEntries];
    uint32_t count = 0;
    uint8_t values[kExifValueBytes];
    uint32_t valuesUsed = 0;
};

// Reads the tags of a TIFF structure. Damaged entries are skipped; false when
// the structure has no readable first directory. Tags that do not fit the
// record's room are dropped, so a huge block still reads.
bool ReadExifTags(const uint8_t* data, size_t size, ExifTags& tags);

// Keeps only the tags `policy` lets through (nothing for Nothing).
void FilterExifTags(ExifTags& tags, MetadataPolicy policy);

// Writes a little-endian TIFF structure holding `tags`, the orientation 1 and
// the pixel size `width` x `height` into `out` (room for kExifMaxBlockBytes).
// Returns the bytes written, 0 when `tags` holds nothing to write.
uint32_t WriteExifBlock(const ExifTags& tags, uint32_t width, uint32_t height, uint8_t* out);

// For a block WriteExifBlock made, to be stored at file offset `base` of a
// TIFF file: adds `base` to every offset inside it (the Exif pointer and the
// out-of-line values of both directories). False when the block is not one
// of ours or an offset would not fit 32 bits.
bool RebaseExifBlock(uint8_t* block, uint32_t size, uint32_t base);

// The number of entries of a written block's first directory (0: none).
uint32_t ExifBlockMainEntries(const uint8_t* block, uint32_t size);
inline constexpr uint32_t kExifBlockMainDirectory = 8;  // where that directory starts

// The Exif block an output carries: the source's block read, filtered by the
// policy and written again for the output's size. 0 when nothing is kept.
uint32_t MakeOutputExif(const uint8_t* source, size_t sourceSize, MetadataPolicy policy, uint32_t width,
                        uint32_t height, ExifTags& scratch, uint8_t* out);

}  // namespace qdx
