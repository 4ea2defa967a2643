#pragma once

// What freexl does not tell about an Excel 97-2003 (BIFF8) workbook, read from its "Workbook"
// stream: whether it is encrypted, which sheets are hidden, the cells freexl drops — the
// cached results of formulas, booleans and error values — and the number format of each cell.
// Earlier BIFF versions report only encryption.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavrio::automation::readers {

struct BiffSheet {
  bool hidden = false;
  bool worksheet = true;  // false for chart sheets and macro sheets
  std::uint32_t offset = 0;
};

struct BiffGlobals {
  bool biff8 = false;
  bool encrypted = false;
  bool date1904 = false;
  std::vector<BiffSheet> sheets;  // workbook order; empty unless biff8
  // The number formats the FORMAT records define, by format id (UTF-8 codes), and the format
  // id of each XF record in file order, which a cell record names by position. Empty unless
  // biff8; the built-in ids have no FORMAT record of their own.
  std::unordered_map<std::uint16_t, std::string> formats;
  std::vector<std::uint16_t> xf_formats;
};

// One cell freexl leaves empty. Rows and columns are 0-based, as in the file.
struct BiffCell {
  enum class Kind { kNumber, kText, kBoolean, kError };
  std::uint16_t row = 0;
  std::uint16_t column = 0;
  Kind kind = Kind::kNumber;
  double number = 0;
  bool boolean = false;
  std::string text;  // UTF-8 text, or the error value ("#DIV/0!")
  // A number as stored (NUMBER, RK, MULRK records). freexl reads these too, but turns the ones
  // shown as dates into calendar text, dropping the time of a date and the days of a time.
  bool stored = false;
};

// Throws ReadFault when the records are damaged.
BiffGlobals ScanBiffGlobals(std::string_view stream);

// Hands every stored number, formula result, boolean and error value of the sheet whose substream
// starts at `offset` to `cell`. Throws ReadFault when the records are damaged.
void ScanBiffSheetCells(std::string_view stream, std::uint32_t offset,
                        const std::function<void(const BiffCell&)>& cell);

// Hands the row, column (0-based) and XF index of every cell record of the sheet whose
// substream starts at `offset` to `cell`, blanks included. Throws ReadFault when the records
// are damaged.
void ScanBiffCellFormats(
    std::string_view stream, std::uint32_t offset,
    const std::function<void(std::uint16_t row, std::uint16_t column, std::uint16_t xf)>& cell);

}  // namespace tavrio::automation::readers
