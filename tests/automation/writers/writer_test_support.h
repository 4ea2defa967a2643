#pragma once

// What the writer tests share: the independent reader's view of a saved .xlsx.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::testing {

using tavrio::testing::PythonWithOpenpyxl;
using tavrio::testing::ReadFile;
using tavrio::testing::RunCommand;
using tavrio::testing::Soffice;
using tavrio::testing::TempFolder;

// dump_xlsx.py's lines for the file at `path` (see that script); fails the test when it fails.
std::vector<std::string> DumpXlsx(const std::string& path);

// Compares line by line, showing only the start of long lines that differ.
void ExpectSameLines(const std::vector<std::string>& actual,
                     const std::vector<std::string>& expected);

std::string Hex(const std::string& bytes);
// float.hex() of Python for a double, e.g. "0x1.5555555555555p-2", "0x0.0p+0".
std::string PythonFloatHex(double value);

}  // namespace tavrio::automation::testing
