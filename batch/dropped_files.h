#pragma once
// What a drop, the command line or "Send To" hands a batch: the dropped items
// that are files, in their order, and with folder walking on every file below
// a dropped folder. Each walked file keeps the folder it sits in below the
// dropped one, so its outputs keep the tree:
//   <output folder>/<dropped folder's name>/<subfolders>/<output name>
#include <cstdint>
#include <vector>

#include "core/os/wide_string.h"

namespace qdx {

struct DroppedFiles {
    std::vector<WideString> paths;
    // One per path: the folder below the output folder its outputs go into
    // ("<dropped folder>/<sub>/..."); empty for an item dropped as a file.
    std::vector<WideString> outputSubfolders;
    // One per path: the index of the dropped item it came from.
    std::vector<uint32_t> items;
    // Per dropped item: 1 when it was a folder (walked or skipped).
    std::vector<uint8_t> itemWasFolder;
};

// Folders deeper than this below a dropped one are not walked: a bound on the
// walk's recursion and on path lengths (outputs fail beyond 259 units anyway).
inline constexpr uint32_t kMaxWalkDepth = 64;

// Keeps every item that is an existing file. With `walkFolders` a folder gives
// every plain file below it, subfolders included: each folder's files in name
// order (os::CompareNamesLogically), then its subfolders in name order;
// symbolic links, junctions, hidden and system entries are left out. Without
// it folders are skipped. Items that do not exist are left out. False when
// memory ran short.
bool CollectDroppedFiles(const WideString* items, uint32_t count, bool walkFolders, DroppedFiles& files);

}  // namespace qdx
