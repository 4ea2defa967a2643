#pragma once

// The readers no one here wrote, which check what the program saves: Debian's python3-openpyxl
// (loaded by Debian's own interpreter) and LibreOffice headless. A test that needs one skips
// where it is missing, but not on CI: CI installs both, so there a missing reader is a fault of
// the set-up and fails the test that wanted it.

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavrio::testing {

// Runs a shell command; its standard output, or nothing when it exits non-zero.
std::optional<std::string> RunCommand(const std::string& command);
// Runs a shell command with its output thrown away; true when it exits 0.
bool RunQuietly(const std::string& command);

// Debian's Python interpreter when it can import openpyxl, else nothing.
std::optional<std::string> PythonWithOpenpyxl();
// LibreOffice's soffice when it is installed, else nothing.
std::optional<std::string> Soffice();

// Has LibreOffice calculate every formula of `xlsx` anew, whatever results the file keeps (left to
// itself it shows the stored ones), and save the first sheet as UTF-8 CSV in `work_dir`, which
// also holds its profile. The CSV's path, or nothing when LibreOffice failed.
std::optional<std::string> RecalculatedCsv(const std::string& xlsx, const std::string& work_dir);

// True when the reader (or what only it can make) is missing, so the calling test must skip; on CI
// (the CI variable set) it also records a failure naming `what`.
bool MustSkipWithout(bool available, const std::string& what);
inline bool MustSkipWithout(const std::optional<std::string>& reader, const std::string& what) {
  return MustSkipWithout(reader.has_value(), what);
}

}  // namespace tavrio::testing

// Skips the test when the reader is missing (failing it on CI), e.g.
//   TAVRIO_SKIP_WITHOUT(tavrio::testing::Soffice(), "LibreOffice");
#define TAVRIO_SKIP_WITHOUT(reader, what)                     \
  if (::tavrio::testing::MustSkipWithout((reader), (what))) { \
    GTEST_SKIP() << (what) << " is not installed";            \
  }
