#pragma once

// The hot path of reading: the rows inside <sheetData>, parsed in one pass straight from the
// inflated bytes. A general XML parser builds a tree for every cell only for it to be walked
// once and thrown away, which costs several times the inflating itself; this parser reads
// just the elements a row holds (<c>, <v>, <is>, <t>, <r>) and skips any other element whole.
// A row's cells are handed to the sink only once the row is complete, so a row cut by the end
// of a chunk is parsed again, whole, when the next chunk arrives.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/readers/shared_strings.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

struct SheetContext {
  std::string_view part;
  const SharedStrings* strings = nullptr;  // may be null when the workbook has none
  std::size_t style_count = 1;
  bool date1904 = false;
};

// What a cell's t attribute says its value is.
enum class CellType { kNumber, kShared, kFormulaText, kInline, kBoolean, kError, kDate, kUnknown };

class RowParser {
 public:
  // `depth` is the nesting depth of <sheetData> itself, for the nesting limit.
  RowParser(const SheetContext& context, CellSink& sink, int depth);

  // Parses data[pos..] up to the first row not yet complete and returns where it stopped; sets
  // `ended` when it consumed </sheetData>. `base` is the offset of data[0] in the part.
  // Throws ReadFault for a damaged or refused row.
  std::size_t Parse(std::string_view data, std::size_t pos, std::uint64_t base, bool& ended);

 private:
  struct Tag;
  enum class Kind : std::uint8_t { kNumber, kText, kShared, kBoolean, kError, kBlank };
  struct Cell {
    std::uint32_t row;
    std::uint16_t column;
    std::uint32_t style;
    Kind kind;
    double number;
    std::size_t text_begin;  // in texts_, or the shared-string index
    std::size_t text_size;
    std::size_t formula_begin = 0;  // in texts_
    std::size_t formula_size = 0;   // 0: no formula
  };
  // A shared formula as its first cell holds it.
  struct SharedFormula {
    std::string text;
    std::uint32_t row;
    std::uint16_t column;
  };

  std::size_t Step(std::size_t pos, bool& ended);
  std::size_t Row(const Tag& tag);
  std::size_t CellElement(const Tag& tag, std::uint32_t row, std::uint16_t& column);
  std::size_t CellChildren(const Tag& tag, std::string_view value_element, bool& has_value);
  bool PlainValue(std::size_t pos, std::string_view& value, std::size_t& end) const;
  bool FastCell(std::size_t at, std::uint16_t& column, std::size_t& end);
  std::size_t InlineString(const Tag& tag, std::string& out);
  std::size_t Text(std::size_t pos, std::string_view name, std::string& out);
  void AppendDecoded(std::size_t begin, std::size_t end, std::string& out);
  std::size_t SkipElement(const Tag& tag);
  std::size_t SkipMarkup(std::size_t at);
  std::size_t NameEnd(std::size_t i, bool attribute) const;
  std::size_t StartTag(std::size_t at, Tag& tag);
  std::size_t EndTag(std::size_t at, std::string_view expected);
  void Store(Cell cell, std::string_view text, CellType type);
  void Emit();
  void AddFormula(Cell& cell);
  void EmitCells();
  void Enter(std::size_t at);

  char At(std::size_t pos) const;
  std::size_t NextTag(std::size_t pos) const;
  [[noreturn]] void Malformed(std::size_t pos, std::string_view why) const;
  [[noreturn]] void CellFault(std::uint32_t row, std::uint16_t column, std::string_view why) const;

  SheetContext context_;
  CellSink& sink_;
  int base_depth_;
  int depth_ = 0;  // elements open within the current row
  std::string_view data_;
  std::uint64_t base_ = 0;
  std::uint32_t last_row_ = 0;
  std::vector<Cell> cells_;           // the current row's cells, reused from row to row
  std::vector<SinkCell> sink_cells_;  // the same as the sink takes them
  std::string texts_;                 // their texts, end to end
  double row_height_ = -1;            // the current row's own height, or -1
  std::string value_;
  // The current cell's <f>: its text and its t and si attributes.
  bool has_formula_ = false;
  std::string formula_;
  std::string formula_type_;
  std::string formula_index_;
  std::unordered_map<std::string, SharedFormula> shared_formulas_;  // by si
};

}  // namespace tavrio::automation::readers
