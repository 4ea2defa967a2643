#pragma once

// The reading side of the engine: one reader per file format behind one interface. A reader
// opens a file, tells its sheets at once, and parses a sheet's cells only when asked for them.
// Readers never write the file they read.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

struct SheetInfo {
  std::string name;
  bool hidden = false;
};

// Receives the cells of one sheet. Rows and columns are 1-based; cells may come in any order.
// `style` indexes the reader's StyleInfo table (0 is the default style). Text handed over as a
// string_view is only valid during the call.
class CellSink {
 public:
  virtual ~CellSink() = default;
  virtual void Number(std::uint32_t row, std::uint16_t column, double value,
                      std::uint32_t style) = 0;
  virtual void Text(std::uint32_t row, std::uint16_t column, std::string_view text,
                    std::uint32_t style) = 0;
  virtual void Boolean(std::uint32_t row, std::uint16_t column, bool value,
                       std::uint32_t style) = 0;
  // An error value as the application spells it: "#N/A", "#DIV/0!", "#REF!", ...
  virtual void ErrorValue(std::uint32_t row, std::uint16_t column, std::string_view text,
                          std::uint32_t style) = 0;
  // A cell with a style but no value.
  virtual void Blank(std::uint32_t row, std::uint16_t column, std::uint32_t style) = 0;
};

// What a cell style says. The number format code is what makes a number a date, a time or a
// percentage ("General" when none is set).
struct StyleInfo {
  std::string number_format = "General";
};

class WorkbookReader {
 public:
  virtual ~WorkbookReader() = default;

  // Every sheet in workbook order, hidden ones included.
  virtual const std::vector<SheetInfo>& Sheets() const = 0;

  // Cell styles, indexed by the `style` handed to a CellSink; never empty.
  virtual const std::vector<StyleInfo>& Styles() const = 0;

  // True when serial date numbers count from 1904-01-01 instead of 1899-12-30.
  virtual bool Uses1904DateSystem() const = 0;

  // Parses sheet `index` (0-based, in Sheets() order) and hands every cell to `sink`.
  // Throws tavrio::Error naming the file and sheet when the sheet is damaged or breaks a limit.
  virtual void ReadSheet(std::size_t index, CellSink& sink) = 0;
};

// Opens the workbook at `path`, choosing the reader by the file's content, not its extension.
// Throws tavrio::Error naming the file and saying why it cannot be read: not found, not a
// workbook, damaged, password-protected, or a limit it breaks.
std::unique_ptr<WorkbookReader> OpenWorkbookFile(const std::string& path);

}  // namespace tavrio::automation::readers
