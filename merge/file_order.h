#pragma once

// The order in which the window lists a folder's files and the batch mode merges them, so that
// both treat the same folder alike.

#include <string>
#include <vector>

namespace tavrio::merge {

// Sorts UTF-8 file names as a Chinese user expects: by the Chinese (zh) collation, so names
// starting with digits come first, then Chinese names in pinyin order, then Latin names with
// case ignored at first.
// Names the collation cannot tell apart (differing only in ways it ignores) fall back to byte
// order, so the result never depends on the order the names came in. Bytes that are not valid
// UTF-8 collate as replacement characters; the names themselves are kept unchanged.
void SortFileNames(std::vector<std::string>& names);

}  // namespace tavrio::merge
