#pragma once

// The files a batch merge takes, each as the window's file list would hold it: a folder and a
// bare name, which the merge run joins with "/".

#include <string>
#include <vector>

namespace tavrio::batch {

struct InputFile {
  std::string folder;
  std::string name;
};

// One sheet of a file merged as an entry of its own (--all-sheets): its 1-based position among
// all its workbook's sheets, hidden ones included, and its name.
struct SheetEntry {
  int position;
  std::string name;
};

// Files given one by one keep their order, each with its own folder ("." for a bare name), so
// that folder + "/" + name is the path as given. One folder given alone stands for its regular
// files whose names do not start with ".", in the window's name order; with `recursive`, each of
// its subfolders (except those starting with ".", and links) follows with its own files, folder
// by folder in the same order, depth first. Fails with tavrio::Error
// for a folder that cannot be read, a folder mixed with other inputs, no file to merge, or more
// files than one merge run can count (32,766).
std::vector<InputFile> ResolveInputs(const std::vector<std::string>& inputs,
                                     bool recursive = false);

}  // namespace tavrio::batch
