#pragma once

// The reading side of the engine: one reader per file format behind one interface. A reader
// opens a file, tells its sheets at once, and parses a sheet's cells only when asked for them.
// Readers never write the file they read.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrio::automation::readers {

struct SheetInfo {
  std::string name;
  bool hidden = false;
};

// A cell as a reader hands it over (see CellSink::Cells).
struct SinkCell {
  enum class Kind : std::uint8_t { kNumber, kText, kSharedText, kBoolean, kError, kBlank };
  std::uint32_t row;
  std::uint16_t column;
  Kind kind;
  std::uint32_t style;
  std::uint32_t shared_index;  // kSharedText
  double number;               // kNumber; kBoolean: 1 or 0
  std::string_view text;       // kText, kSharedText, kError
  std::string_view formula;    // without the '='; empty when the cell has none
  // An array formula's extent (rows by columns from this cell, its top-left), 0 for any other
  // formula. The range's other cells come as plain values: their results.
  std::uint32_t array_rows = 0;
  std::uint16_t array_columns = 0;

  static SinkCell Number(std::uint32_t row, std::uint16_t column, double value,
                         std::uint32_t style) {
    return {row, column, Kind::kNumber, style, 0, value, {}, {}};
  }
  static SinkCell Text(std::uint32_t row, std::uint16_t column, std::string_view text,
                       std::uint32_t style) {
    return {row, column, Kind::kText, style, 0, 0, text, {}};
  }
  static SinkCell Boolean(std::uint32_t row, std::uint16_t column, bool value,
                          std::uint32_t style) {
    return {row, column, Kind::kBoolean, style, 0, value ? 1.0 : 0.0, {}, {}};
  }
  // An error value as the application spells it: "#N/A", "#DIV/0!", "#REF!", ...
  static SinkCell Error(std::uint32_t row, std::uint16_t column, std::string_view text,
                        std::uint32_t style) {
    return {row, column, Kind::kError, style, 0, 0, text, {}};
  }
  // A cell with a style but no value.
  static SinkCell Blank(std::uint32_t row, std::uint16_t column, std::uint32_t style) {
    return {row, column, Kind::kBlank, style, 0, 0, {}, {}};
  }
};

// Receives the cells of one sheet. Rows and columns are 1-based. `style` indexes the reader's
// StyleInfo table (0 is the default style). Texts handed over as string_views are only valid
// during the call.
class CellSink {
 public:
  virtual ~CellSink() = default;
  // The cells a reader found together, in file order, each with its formula: a whole row at a
  // time where the format stores rows (a sink storing millions of cells takes that fastest), a
  // cell at a time where it does not; cells may come in any order. A formula's value is its
  // result when last calculated, kBlank when the file kept none; a shared formula comes
  // expanded to the cell's own. An array formula comes on its range's top-left cell with the
  // range's extent (array_rows, array_columns), a dynamic array's as a legacy one; data tables
  // and array formulas whose range is unusable come as their results alone.
  // kSharedText is a text the file stores once and refers to by `shared_index` (an .xlsx
  // shared string): equal indexes within one sheet are equal texts, so a sink can convert each
  // text once rather than once per cell.
  virtual void Cells(std::span<const SinkCell> cells) = 0;
  // One cell, for a reader that meets them one at a time.
  void Put(const SinkCell& cell) { Cells({&cell, 1}); }
  // A row the file gives a height of its own, in points (0 to 409); other rows take the
  // default. Comes after the row's cells.
  virtual void RowHeight(std::uint32_t /*row*/, double /*points*/) {}
  // Cells shown as one, 1-based and inclusive, spanning two cells or more; the value is the
  // top-left cell's.
  virtual void MergedCells(std::uint32_t /*first_row*/, std::uint16_t /*first_column*/,
                           std::uint32_t /*last_row*/, std::uint16_t /*last_column*/) {}
};

// A colour as the file states it: an ARGB value, a theme colour or an entry of the legacy
// palette, the last two optionally lightened (tint > 0) or darkened. All unset is "automatic",
// the application's own choice.
struct ColorInfo {
  std::string rgb;  // "FF1F4E79"
  int theme = -1;
  int indexed = -1;
  double tint = 0;

  bool IsSet() const { return !rgb.empty() || theme >= 0 || indexed >= 0; }
  friend bool operator==(const ColorInfo&, const ColorInfo&) = default;
};

// A font; an empty name or a size of 0 means the saved workbook's default for that part.
struct FontInfo {
  std::string name;
  double size = 0;  // points
  bool bold = false;
  bool italic = false;
  bool strike = false;
  std::string underline;  // empty for none; "single", "double", "singleAccounting", ...
  ColorInfo color;
  friend bool operator==(const FontInfo&, const FontInfo&) = default;
};

// A pattern fill; a solid one shows its foreground colour. An empty or "none" pattern is no fill.
struct FillInfo {
  std::string pattern;  // "solid", "gray125", "darkGrid", ...
  ColorInfo foreground;
  ColorInfo background;
  friend bool operator==(const FillInfo&, const FillInfo&) = default;
};

struct BorderSide {
  std::string style;  // empty for none; "thin", "medium", "dashed", "double", ...
  ColorInfo color;
  friend bool operator==(const BorderSide&, const BorderSide&) = default;
};

struct BorderInfo {
  BorderSide left;
  BorderSide right;
  BorderSide top;
  BorderSide bottom;
  friend bool operator==(const BorderInfo&, const BorderInfo&) = default;
};

// Empty strings are the defaults: horizontal "general" (by value), vertical "bottom".
struct AlignmentInfo {
  std::string horizontal;  // "left", "center", "right", "fill", "justify", ...
  std::string vertical;    // "top", "center", "justify", "distributed"
  bool wrap = false;
  friend bool operator==(const AlignmentInfo&, const AlignmentInfo&) = default;
};

// What a cell style says. The number format code is what makes a number a date, a time or a
// percentage ("General" when none is set). A reader that knows no more than the number format
// leaves the rest at their defaults, which read as the saved workbook's default look.
struct StyleInfo {
  StyleInfo() = default;
  // A style that sets only a number format, as the readers of plainer formats make; not
  // explicit, so that {"0.00"} makes one.
  StyleInfo(std::string format) : number_format(std::move(format)) {}

  std::string number_format = "General";
  FontInfo font;
  FillInfo fill;
  BorderInfo border;
  AlignmentInfo alignment;
  friend bool operator==(const StyleInfo&, const StyleInfo&) = default;
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

  // Whether the formulas' results stored in the file are what a spreadsheet application
  // showed its author. False for a file that asks to be recalculated when opened or that a
  // program wrote without calculating (its results are missing or placeholders such as 0); a
  // formula with no stored result at all comes as kBlank whatever this says.
  virtual bool FormulaResultsTrusted() const { return true; }

  // Parses sheet `index` (0-based, in Sheets() order) and hands every cell to `sink`.
  // Throws tavrio::Error naming the file and sheet when the sheet is damaged or breaks a limit.
  virtual void ReadSheet(std::size_t index, CellSink& sink) = 0;

  // Reads now what the first ReadSheet would read before any sheet (an .xlsx's shared strings),
  // for a caller that opens a file on one thread and reads its sheet on another. Throws
  // tavrio::Error naming the file and its first sheet when that fails; a later ReadSheet then
  // tries again and fails as it would have.
  virtual void ReadSharedParts() {}
};

// Opens the workbook at `path`, choosing the reader by the file's content, not its extension.
// Throws tavrio::Error naming the file and saying why it cannot be read: not found, not a
// workbook, damaged, password-protected, or a limit it breaks.
std::unique_ptr<WorkbookReader> OpenWorkbookFile(const std::string& path);

}  // namespace tavrio::automation::readers
