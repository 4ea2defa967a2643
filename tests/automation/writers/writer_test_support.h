#pragma once

// What the writer tests share: a scratch folder, running a command, and the independent
// reader's view of a saved .xlsx.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "automation/engine/engine.h"

namespace tavrio::automation::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Names of the entries in the folder, sorted; hidden temporary files included.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

// Runs a shell command; its standard output, or nothing when it exits non-zero.
std::optional<std::string> RunCommand(const std::string& command);

// The independent reader, or empty when the system's Python with openpyxl is missing.
std::optional<std::string> PythonWithOpenpyxl();

// dump_xlsx.py's lines for the file at `path` (see that script); fails the test when it fails.
std::vector<std::string> DumpXlsx(const std::string& path);

// Compares line by line, showing only the start of long lines that differ.
void ExpectSameLines(const std::vector<std::string>& actual,
                     const std::vector<std::string>& expected);

std::string Hex(const std::string& bytes);
// float.hex() of Python for a double, e.g. "0x1.5555555555555p-2", "0x0.0p+0".
std::string PythonFloatHex(double value);

std::string ReadFile(const std::string& path);

}  // namespace tavrio::automation::testing
