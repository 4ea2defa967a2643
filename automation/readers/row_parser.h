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
#include "automation/readers/xml_tokenizer.h"

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
    std::uint32_t array_rows = 0;   // an array formula's extent, see SinkCell
    std::uint16_t array_columns = 0;
  };
  // The attributes of a cell's start tag, r and t of a row's or formula's.
  struct KeyAttributes {
    std::string_view r, s, t;
    bool has_r = false, has_s = false, has_t = false;
  };
  // What a cell's children say; the views last until the row is emitted.
  struct CellContent {
    bool has_value = false;
    std::string_view value;
    bool has_formula = false;
    std::string_view formula;
    std::string_view formula_type;   // its t attribute
    std::string_view formula_index;  // its si attribute
    std::string_view formula_ref;    // its ref attribute
  };
  // A shared formula as its first cell holds it.
  struct SharedFormula {
    std::string text;
    std::uint32_t row;
    std::uint16_t column;
  };

  std::size_t Step(std::size_t pos, bool& ended);
  std::size_t Row(const Tag& tag);
  std::size_t CellElement(std::size_t at, std::size_t name_end, std::uint32_t row,
                          std::uint16_t& column);
  void CellPlace(const KeyAttributes& tag, std::uint32_t& row, std::uint16_t& column) const;
  std::uint32_t CellStyle(const KeyAttributes& tag, std::uint32_t row, std::uint16_t column) const;
  // Reads the children of the cell whose start tag is at `at` and ends at `pos`.
  std::size_t CellChildren(std::size_t at, std::size_t pos, CellType type, CellContent& content);
  std::size_t StartTag(std::size_t at, Tag& tag);
  static bool TakeKeyAttribute(std::string_view name, std::string_view value, KeyAttributes& keys);
  static void TakeAttribute(std::string_view name, std::string_view value, Tag& tag);
  void Store(Cell cell, std::string_view text, CellType type);
  void Emit();
  void AddFormula(Cell& cell, const CellContent& content);
  static bool TakeArrayRange(Cell& cell, std::string_view ref);
  void EmitCells();

  [[noreturn]] void CellFault(std::uint32_t row, std::uint16_t column, std::string_view why) const;

  SheetContext context_;
  CellSink& sink_;
  XmlTokenizer xml_;  // its depth counts the elements open within the current row
  std::uint32_t last_row_ = 0;
  std::vector<Cell> cells_;           // the current row's cells, reused from row to row
  std::vector<SinkCell> sink_cells_;  // the same as the sink takes them
  std::string texts_;                 // their texts, end to end
  double row_height_ = -1;            // the current row's own height, or -1
  std::string value_;                 // the current cell's value, when it had to be decoded
  std::string formula_;               // the same for its formula
  std::unordered_map<std::string, SharedFormula> shared_formulas_;  // by si
};

}  // namespace tavrio::automation::readers
