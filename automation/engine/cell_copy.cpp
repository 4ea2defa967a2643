#include "automation/engine/cell_copy.h"

#include <algorithm>
#include <limits>
#include <span>
#include <vector>

#include "automation/base/formula_shift.h"

namespace tavrio::automation::engine {
namespace {

constexpr std::uint32_t kUnmapped = std::numeric_limits<std::uint32_t>::max();

// Translates ids of the source workbook to ids of the target, each distinct id once.
class IdTranslation {
 public:
  IdTranslation(const Workbook& source, Workbook& target)
      : source_(source),
        target_(target),
        same_(&source == &target),
        strings_(same_ ? 0 : source.strings().size(), kUnmapped),
        styles_(same_ ? 0 : source.styles().size(), kUnmapped) {}

  Cell Translate(Cell cell) {
    if (same_) return cell;
    std::uint32_t& style = styles_[cell.style];
    if (style == kUnmapped) style = target_.styles().Intern(source_.styles().Get(cell.style));
    cell.style = style;
    if (cell.HasString()) {
      std::uint32_t& id = strings_[cell.string_id];
      if (id == kUnmapped) id = target_.strings().Add(source_.strings().Get(cell.string_id));
      cell.string_id = id;
    }
    return cell;
  }

 private:
  const Workbook& source_;
  Workbook& target_;
  bool same_;
  std::vector<std::uint32_t> strings_;
  std::vector<std::uint32_t> styles_;
};

std::span<const Cell> ColumnsOf(const Row& row, const CellRange& range) {
  const std::span<const Cell> cells = row.Cells();
  if (range.WholeRows()) return cells;
  const auto by_column = [](const Cell& cell, std::uint32_t column) {
    return cell.column < column;
  };
  const auto begin = std::lower_bound(cells.begin(), cells.end(), range.first_column, by_column);
  const auto end = std::lower_bound(begin, cells.end(), range.last_column + 1, by_column);
  return {begin, end};
}

// Row heights go with whole rows only, as in desktop applications.
std::vector<RowHeight> HeightsOf(const Sheet& from, const CellRange& range,
                                 std::uint32_t row_shift) {
  std::vector<RowHeight> heights;
  for (const RowHeight& height : from.row_heights()) {
    if (height.row >= range.first_row && height.row <= range.last_row) {
      heights.push_back(RowHeight{height.row + row_shift, height.points});
    }
  }
  return heights;
}

// A merged range goes along when it lies wholly inside the block; one the block cuts through
// cannot be shown as one cell any more and stays behind.
std::vector<CellRange> MergesOf(const Sheet& from, const CellRange& range, std::uint32_t row_shift,
                                std::uint32_t column_shift) {
  std::vector<CellRange> merges;
  for (const CellRange& merged : from.merged_cells()) {
    if (!range.Contains(merged)) continue;
    merges.push_back(CellRange{merged.first_row + row_shift, merged.last_row + row_shift,
                               merged.first_column + column_shift,
                               merged.last_column + column_shift});
  }
  return merges;
}

// Formulas land with their relative references moved by the distance the block moves.
std::vector<CellFormula> FormulasOf(const Sheet& from, const CellRange& range,
                                    const CellRange& destination) {
  const std::int64_t rows = std::int64_t{destination.first_row} - range.first_row;
  const std::int64_t columns = std::int64_t{destination.first_column} - range.first_column;
  std::vector<CellFormula> formulas;
  const auto first = std::lower_bound(
      from.formulas().begin(), from.formulas().end(), range.first_row,
      [](const FormulaRef& formula, std::uint32_t row) { return formula.row < row; });
  for (auto it = first; it != from.formulas().end() && it->row <= range.last_row; ++it) {
    if (it->column < range.first_column || it->column > range.last_column) continue;
    formulas.push_back(CellFormula{static_cast<std::uint32_t>(it->row + rows),
                                   static_cast<std::uint32_t>(it->column + columns),
                                   ShiftFormula(it->text, rows, columns)});
  }
  return formulas;
}

}  // namespace

void CopyCells(const Workbook& source, const Sheet& from, const CellRange& range, Workbook& target,
               Sheet& to, std::uint32_t row, std::uint32_t column) {
  if (range.Empty()) return;
  IdTranslation translation(source, target);
  const std::uint32_t row_shift = row - range.first_row;
  const std::uint32_t column_shift = column - range.first_column;
  const std::span<const Row> rows = from.rows();
  const std::size_t first = from.LowerRow(range.first_row);
  std::vector<Row> copied;
  copied.reserve(from.LowerRow(range.last_row + 1) - first);  // last_row is a row of the sheet
  for (std::size_t i = first; i < rows.size() && rows[i].number <= range.last_row; ++i) {
    const std::span<const Cell> cells = ColumnsOf(rows[i], range);
    if (cells.empty()) continue;
    Cell* out = to.AllocateCells(cells.size());
    for (std::size_t k = 0; k < cells.size(); ++k) {
      Cell cell = translation.Translate(cells[k]);
      cell.column = static_cast<std::uint16_t>(cell.column + column_shift);
      out[k] = cell;
    }
    copied.push_back(
        Row{rows[i].number + row_shift, static_cast<std::uint32_t>(cells.size()), out});
  }
  const CellRange destination{row, row + range.RowCount() - 1, column,
                              column + (range.last_column - range.first_column)};
  // Gathered before anything changes, since `from` may be `to`.
  std::vector<RowHeight> heights;
  if (range.WholeRows()) heights = HeightsOf(from, range, row_shift);
  const std::vector<CellRange> merges = MergesOf(from, range, row_shift, column_shift);
  std::vector<CellFormula> formulas = FormulasOf(from, range, destination);
  to.ReplaceCells(destination, std::move(copied));
  to.ReplaceFormulas(destination, std::move(formulas));
  if (range.WholeRows()) {
    to.ReplaceRowHeights(destination.first_row, destination.last_row, std::move(heights));
  }
  to.ReplaceMergedCells(destination, merges);
}

}  // namespace tavrio::automation::engine
