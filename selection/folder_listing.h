#pragma once

// Reading one folder for the browsing lists. Plain C++: names stay the bytes the file system
// holds, so a name that is not valid UTF-8 still reaches the merge run unchanged.

#include <string>
#include <vector>

#include "automation/base/error.h"

namespace tavrio::selection {

// The most entries one list can hold: its entries are addressed by 16-bit signed indexes.
inline constexpr int kMaxListEntries = 32767;

struct FolderListing {
  std::vector<std::string> folders;  // sub-folders, symbolic links to folders included
  std::vector<std::string> files;    // regular files, symbolic links to files included
};

// The non-hidden entries directly inside `folder`, each list in the file order the merge uses.
// Hidden entries are those whose name starts with ".". Anything else (sockets, devices, broken
// links) is in neither list. Throws tavrio::Error naming the folder when it cannot be read.
FolderListing ReadFolder(const std::string& folder);

// The folder path as the lists show it: absolute, without "." or ".." parts and without a
// trailing "/" except for the root itself.
std::string CleanFolderPath(const std::string& folder);

}  // namespace tavrio::selection
