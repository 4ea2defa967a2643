#pragma once

// A folder made for one test and removed after it, and whole-file reads and writes.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::testing {

// A fresh folder under the system's temporary folder, removed with everything in it (write
// permission restored first, so a test that took it away still cleans up).
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  // The folder's full path, canonical (so it compares equal to cleaned paths), without a
  // trailing "/".
  const std::string& path() const { return path_; }
  // Full path of `name` (which may hold folders) inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Creates a small file, or a folder, at `relative`, with the folders above it.
  void AddFile(const std::string& relative) const;
  void AddFolder(const std::string& relative) const;
  // Names of the entries in the folder, sorted; hidden files included.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// Writes `bytes` to `path`, replacing it; fails the test when it cannot.
void WriteFile(const std::string& path, std::string_view bytes);
// The whole file, or empty when it cannot be read.
std::string ReadFile(const std::string& path);

// A folder of fixtures made once for `key` below `root` and kept between test runs: `generate`
// fills a fresh work folder, which becomes root/key when it succeeds. Test processes may race to
// make the same folder; whichever finishes first wins and the others use its files. Empty when
// `generate` failed.
std::string CachedFixtureDir(const std::string& root, const std::string& key,
                             const std::function<bool(const std::string& dir)>& generate);

}  // namespace tavrio::testing
