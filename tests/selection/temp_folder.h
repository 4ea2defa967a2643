#pragma once

// A folder tree made for one test and removed after it.

#include <QTemporaryDir>
#include <string>

namespace tavrio::testing {

class TempFolder {
 public:
  TempFolder();

  // The folder's full path, without a trailing "/".
  std::string path() const;
  // Full path of `relative` inside the folder.
  std::string Path(const std::string& relative) const;

  // Creates an empty file (and the folders above it) at `relative`.
  void AddFile(const std::string& relative) const;
  void AddFolder(const std::string& relative) const;

 private:
  QTemporaryDir dir_;
};

}  // namespace tavrio::testing
