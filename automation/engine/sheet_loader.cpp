#include "automation/engine/sheet_loader.h"

#include <utility>

#include "automation/base/error.h"

namespace tavrio::automation::engine {
namespace {

// Days from 1899-12-30 (day 0 of the 1900 system as stored) to 1904-01-01 (day 0 of the 1904 one).
constexpr double k1904Offset = 1462;

}  // namespace

SheetLoader::SheetLoader(Sheet& sheet, StringPool& strings, const StyleTable& styles,
                         const std::vector<std::uint32_t>& style_ids, bool from_1904,
                         bool trusted_results, std::string file)
    : sheet_(sheet),
      strings_(strings),
      styles_(styles),
      style_ids_(style_ids),
      from_1904_(from_1904),
      trusted_results_(trusted_results),
      file_(std::move(file)) {}

void SheetLoader::PlaceFault(std::uint32_t row, std::uint32_t column) const {
  throw Error(error_number::kApplicationDefined,
              "无法读取文件“" + file_ + "”的工作表“" + sheet_.name() + "”：单元格（第 " +
                  std::to_string(row) + " 行，第 " + std::to_string(column) +
                  " 列）超出工作表的范围（1048576 行，16384 列）。");
}

void SheetLoader::StyleFault(std::uint32_t row, std::uint32_t column, std::uint32_t style) const {
  throw Error(error_number::kApplicationDefined,
              "无法读取文件“" + file_ + "”的工作表“" + sheet_.name() + "”：单元格（第 " +
                  std::to_string(row) + " 行，第 " + std::to_string(column) +
                  " 列）引用了不存在的样式 " + std::to_string(style) + "。");
}

void SheetLoader::CheckPlace(std::uint32_t row, std::uint32_t column) const {
  if (!RowInSheet(row) || !ColumnInSheet(column)) PlaceFault(row, column);
}

// The row is checked once for all its cells, in Cells.
inline std::uint32_t SheetLoader::StyleId(std::uint32_t row, std::uint16_t column,
                                          std::uint32_t style) const {
  if (!ColumnInSheet(column)) PlaceFault(row, column);
  if (style >= style_ids_.size()) StyleFault(row, column, style);
  return style_ids_[style];
}

// Inline for a text met before, as nearly every shared text of a sheet is: 7 M instructions
// less on two files of the benchmark's million set (`valgrind --tool=callgrind
// build-bench/bench/harness/tavrio-bench-merge`).
inline std::uint32_t SheetLoader::SharedTextId(std::uint32_t index, std::string_view text) {
  if (index < shared_ids_.size() && shared_ids_[index] != 0) return shared_ids_[index] - 1;
  return NewSharedTextId(index, text);
}

std::uint32_t SheetLoader::NewSharedTextId(std::uint32_t index, std::string_view text) {
  if (index >= shared_ids_.size()) shared_ids_.resize(std::size_t{index} + 1, 0);
  // A shared text is stored once per sheet read without looking for an equal one: the table
  // holds distinct texts already, and a paste translates ids one to one in any case.
  shared_ids_[index] = strings_.Add(text) + 1;
  return shared_ids_[index] - 1;
}

// The cell as the sheet stores it, its formula stored beside it.
Cell SheetLoader::Converted(const readers::SinkCell& in) {
  using Kind = readers::SinkCell::Kind;
  const std::uint32_t id = StyleId(in.row, in.column, in.style);
  Cell cell = Cell::Blank(in.column, id);
  switch (in.kind) {
    case Kind::kNumber:
      cell = Cell::Number(in.column, in.number, id);
      if (from_1904_ && styles_.ShowsDate(id)) cell.number += k1904Offset;
      break;
    case Kind::kText:
      cell = Cell::String(in.column, CellType::kText, strings_.Intern(in.text), id);
      break;
    case Kind::kSharedText:
      cell = Cell::String(in.column, CellType::kText, SharedTextId(in.shared_index, in.text), id);
      break;
    case Kind::kBoolean:
      cell = Cell::Boolean(in.column, in.number != 0, id);
      break;
    case Kind::kError:
      cell = Cell::String(in.column, CellType::kError, strings_.Intern(in.text), id);
      break;
    case Kind::kBlank:
      break;
  }
  if (!in.formula.empty()) {
    cell.flags |= kHasFormula;
    if (!trusted_results_ || in.kind == Kind::kBlank) cell.flags |= kCalculated;
    // A program that does not calculate writes 0 where a result belongs (libxlsxwriter does);
    // that 0 is no result, and must not stand in for one the formula cannot be given.
    if (!trusted_results_ && in.kind == Kind::kNumber && in.number == 0) {
      cell = Cell::Blank(in.column, id);
      cell.flags = kHasFormula | kCalculated;
    }
    sheet_.LoadFormula(in.row, in.column, in.formula);
    if (in.array_rows > 0 && in.array_columns > 0) LoadArray(in);
  }
  return cell;
}

// The range of an array formula, whose formula the cell holds; one reaching past the grid is
// refused as a cell there would be.
void SheetLoader::LoadArray(const readers::SinkCell& in) {
  const std::uint64_t last_row = std::uint64_t{in.row} + in.array_rows - 1;
  const std::uint64_t last_column = std::uint64_t{in.column} + in.array_columns - 1;
  if (last_row > kMaxRows || last_column > kMaxColumns) {
    throw Error(error_number::kApplicationDefined,
                "无法读取文件“" + file_ + "”的工作表“" + sheet_.name() + "”：单元格（第 " +
                    std::to_string(in.row) + " 行，第 " + std::to_string(in.column) +
                    " 列）的数组公式超出工作表的范围（1048576 行，16384 列）。");
  }
  sheet_.LoadArrayFormula(CellRange{in.row, static_cast<std::uint32_t>(last_row), in.column,
                                    static_cast<std::uint32_t>(last_column)});
}

void SheetLoader::Cells(std::span<const readers::SinkCell> cells) {
  for (std::size_t i = 0; i < cells.size();) {
    const std::uint32_t row = cells[i].row;
    if (!RowInSheet(row)) PlaceFault(row, cells[i].column);
    row_.clear();
    for (; i < cells.size() && cells[i].row == row; ++i) row_.push_back(Converted(cells[i]));
    sheet_.LoadRow(row, row_);
  }
}

void SheetLoader::RowHeight(std::uint32_t row, double points) {
  CheckPlace(row, 1);
  sheet_.LoadRowHeight(engine::RowHeight{row, points});
}

void SheetLoader::MergedCells(std::uint32_t first_row, std::uint16_t first_column,
                              std::uint32_t last_row, std::uint16_t last_column) {
  CheckPlace(first_row, first_column);
  CheckPlace(last_row, last_column);
  sheet_.LoadMergedCells(CellRange{first_row, last_row, first_column, last_column});
}

}  // namespace tavrio::automation::engine
