#pragma once
// A folder tree to drop, made by the tests in a folder of their own:
//   Trip/      12 pictures, 5 files that are none, and "link", a symbolic
//              link to the folder "outside" beside Trip (a picture in it)
//   Trip/a/    12 pictures, 4 others and one hidden picture
//   Trip/a/b/  11 pictures, 5 others
// 50 files in all. The pictures are BMP, PNG, JPEG, GIF and TIFF in turn;
// the others are text, empty files and text named like a picture. The names
// sort differently by code unit ("p10" before "p2") than the program's lists
// sort them. The hidden file is a dot name natively and carries the hidden
// attribute on Windows.
#include <set>
#include <string>
#include <vector>

#include "core/os/wide_string.h"

namespace qdx::test {

struct TreeFile {
    std::string path;  // below the base folder, "/" between names
    bool picture = false;
};

struct DroppedTree {
    DroppedTree() = default;
    // Removes a link that the folder's own removal cannot (under Wine a
    // Unix link, whose removal from Windows takes the folder it points to).
    ~DroppedTree();
    DroppedTree(const DroppedTree&) = delete;
    DroppedTree& operator=(const DroppedTree&) = delete;

    WideString folder;            // the folder to drop: <base>/Trip
    std::vector<TreeFile> files;  // every file a walk finds, in its order
    std::string error;            // what could not be made; empty when all was
    std::string unixLink;         // the Unix path of a link made from the Unix side
};

// The files of the tree besides the hidden one.
inline constexpr size_t kTreeWalkedFiles = 49;

void MakeDroppedTree(const WideString& base, DroppedTree& tree);

// `base` and `relative` ("/" between names) joined with the system's separator.
WideString Below(const WideString& base, const std::string& relative);

// The folder part of a tree path ("Trip/a" for "Trip/a/p1.png").
std::string FolderOf(const std::string& path);

// Every file below `folder` (links not followed), relative to it with "/"
// between names.
std::set<std::string> FilesBelow(const WideString& folder);

// Where the pictures' outputs belong: `prefix`, the picture's path with its
// extension replaced by `ending` (a suffix and the output's extension).
std::set<std::string> TreeOutputs(const DroppedTree& tree, const std::string& prefix, const std::string& ending);

}  // namespace qdx::test
