#pragma once

// A minimal walk over the records of a BIFF8 workbook stream, for tests only: enough to find
// each sheet's formulas and to answer what their tokens refer to. It trusts its input (files
// LibreOffice saved) and ignores CONTINUE records.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "automation/readers/biff_formula.h"

namespace tavrio::automation::readers::testing {

struct BiffTestRecord {
  std::uint16_t type = 0;
  std::size_t data_offset = 0;  // of the payload within the stream, past the 4-byte header
  std::span<const std::uint8_t> data;
};

// Every record of the stream in order, headers included in the offsets.
std::vector<BiffTestRecord> BiffTestRecords(std::span<const std::uint8_t> stream);

// The "Workbook" stream of an .xls file; empty when it cannot be read.
std::vector<std::uint8_t> ReadWorkbookStream(const std::string& path);

struct BiffTestFormula {
  std::uint16_t row = 0;
  std::uint16_t column = 0;
  std::vector<std::uint8_t> rgce;
  std::vector<std::uint8_t> rgcb;
};

class BiffTestWorkbook {
 public:
  // The stream must hold no FILEPASS record (or be decrypted already).
  explicit BiffTestWorkbook(std::vector<std::uint8_t> stream);

  const std::vector<std::string>& sheet_names() const { return sheet_names_; }
  // The FORMULA records of the sheet at `sheet` (0-based), in file order.
  std::vector<BiffTestFormula> Formulas(std::size_t sheet) const;
  // The lookups a formula of that sheet at (row, column) needs.
  BiffFormulaContext Context(std::size_t sheet, std::uint16_t row, std::uint16_t column) const;

 private:
  struct Supbook {
    bool self = false;
    std::vector<std::string> external_names;
  };
  void ReadGlobals();

  std::vector<std::uint8_t> stream_;
  std::vector<std::string> sheet_names_;
  std::vector<std::uint32_t> sheet_offsets_;
  std::vector<Supbook> supbooks_;
  std::vector<std::tuple<std::uint16_t, std::uint16_t, std::uint16_t>> xti_;
  std::vector<std::string> names_;
};

}  // namespace tavrio::automation::readers::testing
