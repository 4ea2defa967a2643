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

#include "automation/readers/expected_reference.h"
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
  // A text of the row's cells kept in texts_, which may move as it grows: the cell's view of it
  // is pointed at its place once the row is complete.
  struct TextSpan {
    std::size_t cell;  // in cells_
    bool formula;      // the cell's formula, else its text
    std::size_t begin;
    std::size_t size;
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
  void CellPlace(const KeyAttributes& tag, std::uint32_t& row, std::uint16_t& column);
  std::uint32_t CellStyle(const KeyAttributes& tag, std::uint32_t row, std::uint16_t column) const;
  // Reads the children of the cell whose start tag is at `at` and ends at `pos`.
  std::size_t CellChildren(std::size_t at, std::size_t pos, CellType type, CellContent& content);
  std::size_t StartTag(std::size_t at, Tag& tag);
  static bool TakeKeyAttribute(std::string_view name, std::string_view value, KeyAttributes& keys);
  static void TakeAttribute(std::string_view name, std::string_view value, Tag& tag);
  void Store(SinkCell cell, std::string_view text, CellType type);
  // Keeps `text` in texts_ for the cell about to join cells_, and points `view` at it for now.
  void KeepText(std::string_view text, bool formula, std::string_view& view);
  void Emit();
  void AddFormula(SinkCell& cell, const CellContent& content);
  static bool TakeArrayRange(SinkCell& cell, std::string_view ref);
  void EmitCells();

  [[noreturn]] void CellFault(std::uint32_t row, std::uint16_t column, std::string_view why) const;

  SheetContext context_;
  CellSink& sink_;
  XmlTokenizer xml_;  // its depth counts the elements open within the current row
  std::uint32_t last_row_ = 0;
  ExpectedReference expected_;  // the reference of the next cell of the row, in its order
  // The current row's cells as the sink takes them, reused from row to row; built in place,
  // since a copy of each cell on its way to the sink cost ~50 instructions a cell (43 M for two
  // files of the benchmark's million set, `valgrind --tool=callgrind tavrio-bench-merge`).
  std::vector<SinkCell> cells_;
  std::string texts_;                 // their texts that are no view of the data, end to end
  std::vector<TextSpan> text_spans_;  // where in texts_
  double row_height_ = -1;            // the current row's own height, or -1
  std::string value_;                 // the current cell's value, when it had to be decoded
  std::string formula_;               // the same for its formula
  std::unordered_map<std::string, SharedFormula> shared_formulas_;  // by si
};

}  // namespace tavrio::automation::readers
