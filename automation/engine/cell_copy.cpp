#include "automation/engine/cell_copy.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "automation/base/formula_shift.h"
#include "automation/base/sheet_limits.h"
#include "automation/engine/array_formulas.h"

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
    if (!same_) TranslateInPlace(cell);
    return cell;
  }

  // Copies `cells` to `out`, translated and moved `column_shift` columns to the right. The
  // cells are copied whole and then changed where they lie: 40 M instructions less than
  // translating each on its way for two files of the benchmark's million set (`valgrind
  // --tool=callgrind build-bench/bench/harness/tavrio-bench-merge`), a paste's every cell.
  void Copy(std::span<const Cell> cells, std::uint32_t column_shift, Cell* out) {
    std::copy(cells.begin(), cells.end(), out);
    const std::span<Cell> copied(out, cells.size());
    if (column_shift != 0) {
      for (Cell& cell : copied) cell.column = static_cast<std::uint16_t>(cell.column + column_shift);
    }
    if (same_) return;
    for (Cell& cell : copied) TranslateInPlace(cell);
  }

 private:
  void TranslateInPlace(Cell& cell) {
    std::uint32_t& style = styles_[cell.style];
    if (style == kUnmapped) style = target_.styles().Intern(source_.styles().Get(cell.style));
    cell.style = style;
    if (cell.HasString()) {
      std::uint32_t& id = strings_[cell.string_id];
      if (id == kUnmapped) id = target_.strings().Add(source_.strings().Get(cell.string_id));
      cell.string_id = id;
    }
  }


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

// The array formulas whose top-left cell lies in a block. An array goes along only whole: one
// the block cuts through (the block starts inside it, or leaves some of its columns out or
// apart) or that would land past the sheet's edge would fill cells its formula was not written
// for, so its top-left cell lands as its value, as the others do.
struct ArraysInBlock {
  std::vector<CellRange> landed;  // where the whole ones land
  std::vector<CellRange> cut;     // in the source, row-major

  bool IsCut(std::uint32_t row, std::uint32_t column) const {
    const CellRange key{row, row, column, column};
    const auto it = std::lower_bound(cut.begin(), cut.end(), key, ArrayBefore);
    return it != cut.end() && it->first_row == row && it->first_column == column;
  }
};

// `place` gives where a whole array lands, as first row and first column; nullopt when it
// cannot land whole.
template <typename Place>
ArraysInBlock ArraysOf(const Sheet& from, const CellRange& range, Place place) {
  ArraysInBlock arrays;
  const std::span<const CellRange> all = from.array_formulas();
  const CellRange first{range.first_row, range.first_row, 1, 1};
  for (auto it = std::lower_bound(all.begin(), all.end(), first, ArrayBefore);
       it != all.end() && it->first_row <= range.last_row; ++it) {
    if (it->first_column < range.first_column || it->first_column > range.last_column) continue;
    std::optional<std::pair<std::int64_t, std::int64_t>> at;
    if (range.Contains(*it)) at = place(*it);
    const std::int64_t last_row = at ? at->first + (it->last_row - it->first_row) : 0;
    const std::int64_t last_column = at ? at->second + (it->last_column - it->first_column) : 0;
    if (at && at->first >= 1 && at->second >= 1 && last_row <= kMaxRows &&
        last_column <= kMaxColumns) {
      arrays.landed.push_back(CellRange{
          static_cast<std::uint32_t>(at->first), static_cast<std::uint32_t>(last_row),
          static_cast<std::uint32_t>(at->second), static_cast<std::uint32_t>(last_column)});
    } else {
      arrays.cut.push_back(*it);
    }
  }
  return arrays;
}

// Formulas land with their relative references moved by the distance the block moves; those of
// cut arrays stay behind.
std::vector<CellFormula> FormulasOf(const Sheet& from, const CellRange& range,
                                    const CellRange& destination, const ArraysInBlock& arrays) {
  const std::int64_t rows = std::int64_t{destination.first_row} - range.first_row;
  const std::int64_t columns = std::int64_t{destination.first_column} - range.first_column;
  std::vector<CellFormula> formulas;
  const auto first = std::lower_bound(
      from.formulas().begin(), from.formulas().end(), range.first_row,
      [](const FormulaRef& formula, std::uint32_t row) { return formula.row < row; });
  for (auto it = first; it != from.formulas().end() && it->row <= range.last_row; ++it) {
    if (it->column < range.first_column || it->column > range.last_column) continue;
    if (!arrays.cut.empty() && arrays.IsCut(it->row, it->column)) continue;
    formulas.push_back(CellFormula{static_cast<std::uint32_t>(it->row + rows),
                                   static_cast<std::uint32_t>(it->column + columns),
                                   ShiftFormula(it->text, rows, columns)});
  }
  return formulas;
}

// Whether no column that keeps its cells moves: a paste like any other, formulas and all.
bool KeepsColumns(const ColumnPlan& plan) {
  for (std::size_t i = 0; i < plan.target.size(); ++i) {
    if (plan.target[i] != 0 && plan.target[i] != i + 1) return false;
  }
  return true;
}

std::uint32_t TargetColumn(const ColumnPlan& plan, std::uint32_t column) {
  return column <= plan.target.size() ? plan.target[column - 1] : column;
}

bool KeepsSideBySide(const ColumnPlan& plan, const CellRange& merged) {
  const std::uint32_t first = TargetColumn(plan, merged.first_column);
  if (first == 0) return false;
  for (std::uint32_t column = merged.first_column + 1; column <= merged.last_column; ++column) {
    if (TargetColumn(plan, column) != first + (column - merged.first_column)) return false;
  }
  return true;
}

bool FormulaBefore(const CellFormula& a, const CellFormula& b) {
  return a.row != b.row ? a.row < b.row : a.column < b.column;
}

Cell WithoutFormula(Cell cell) {
  cell.flags = static_cast<std::uint8_t>(cell.flags & ~(kHasFormula | kCalculated));
  return cell;
}

bool RowHoldsValue(std::span<const Cell> cells) {
  for (const Cell& cell : cells) {
    if (cell.type != CellType::kBlank || (cell.flags & kHasFormula) != 0) return true;
  }
  return false;
}

}  // namespace

void CopyCells(const Workbook& source, const Sheet& from, const CellRange& range, Workbook& target,
               Sheet& to, std::uint32_t row, std::uint32_t column) {
  if (range.Empty()) return;
  IdTranslation translation(source, target);
  const std::uint32_t row_shift = row - range.first_row;
  const std::uint32_t column_shift = column - range.first_column;
  const ArraysInBlock arrays = ArraysOf(from, range, [&](const CellRange& array) {
    return std::optional(std::pair{std::int64_t{array.first_row} + row - range.first_row,
                                   std::int64_t{array.first_column} + column - range.first_column});
  });
  const std::span<const Row> rows = from.rows();
  const std::size_t first = from.LowerRow(range.first_row);
  std::vector<Row> copied;
  copied.reserve(from.LowerRow(range.last_row + 1) - first);  // last_row is a row of the sheet
  for (std::size_t i = first; i < rows.size() && rows[i].number <= range.last_row; ++i) {
    const std::span<const Cell> cells = ColumnsOf(rows[i], range);
    if (cells.empty()) continue;
    Cell* out = to.AllocateCells(cells.size());
    translation.Copy(cells, column_shift, out);
    if (!arrays.cut.empty()) {
      for (Cell& cell : std::span<Cell>(out, cells.size())) {
        if ((cell.flags & kHasFormula) != 0 &&
            arrays.IsCut(rows[i].number, cell.column - column_shift)) {
          cell = WithoutFormula(cell);
        }
      }
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
  std::vector<CellFormula> formulas = FormulasOf(from, range, destination, arrays);
  to.ReplaceCells(destination, std::move(copied));
  to.ReplaceFormulas(destination, std::move(formulas));
  to.ReplaceArrayFormulas(destination, arrays.landed);
  if (range.WholeRows()) {
    to.ReplaceRowHeights(destination.first_row, destination.last_row, std::move(heights));
  }
  to.ReplaceMergedCells(destination, merges);
}

PlannedCopyResult CopyPlannedRows(const Workbook& source, const Sheet& from,
                                  std::uint32_t first_row, std::uint32_t last_row, Workbook& target,
                                  Sheet& to, std::uint32_t row, const ColumnPlan& plan) {
  PlannedCopyResult result;
  if (last_row < first_row) return result;
  const CellRange range{first_row, last_row, 1, kMaxColumns};
  IdTranslation translation(source, target);
  const std::uint32_t row_shift = row - first_row;
  std::optional<std::uint32_t> trailing_id;
  if (plan.trailing_text) trailing_id = target.strings().Intern(*plan.trailing_text);
  const bool keeps_columns = KeepsColumns(plan);
  ArraysInBlock arrays = ArraysOf(from, range, [&](const CellRange& array) {
    std::optional<std::pair<std::int64_t, std::int64_t>> at;
    if (KeepsSideBySide(plan, array)) {
      at = std::pair{std::int64_t{array.first_row} + row - first_row,
                     std::int64_t{TargetColumn(plan, array.first_column)}};
    }
    return at;
  });
  // Formulas of moved columns follow their cells where they can (MoveFormulaColumns); the
  // walk through them keeps step with the cells, both by row, then column.
  std::vector<CellFormula> formulas;
  const std::span<const FormulaRef> sheet_formulas = from.formulas();
  auto formula = std::lower_bound(
      sheet_formulas.begin(), sheet_formulas.end(), first_row,
      [](const FormulaRef& entry, std::uint32_t number) { return entry.row < number; });
  std::vector<Row> copied;
  std::vector<Cell> cells;
  const std::span<const Row> rows = from.rows();
  for (std::size_t i = from.LowerRow(first_row); i < rows.size() && rows[i].number <= last_row;
       ++i) {
    cells.clear();
    for (const Cell& original : rows[i].Cells()) {
      const std::uint32_t column = TargetColumn(plan, original.column);
      if (column == 0) continue;
      Cell cell = translation.Translate(original);
      cell.column = static_cast<std::uint16_t>(column);
      const bool cut = (cell.flags & kHasFormula) != 0 && !arrays.cut.empty() &&
                       arrays.IsCut(rows[i].number, original.column);
      if (cut && keeps_columns) cell = WithoutFormula(cell);
      if ((cell.flags & kHasFormula) != 0 && !keeps_columns) {
        const std::uint32_t number = rows[i].number;
        while (formula != sheet_formulas.end() &&
               (formula->row < number ||
                (formula->row == number && formula->column < original.column))) {
          ++formula;
        }
        std::optional<std::string> moved;
        if (!cut && formula != sheet_formulas.end() && formula->row == number &&
            formula->column == original.column) {
          moved = MoveFormulaColumns(formula->text, std::int64_t{row} - first_row, plan.target);
        }
        if (moved) {
          formulas.push_back(CellFormula{number + row_shift, column, std::move(*moved)});
        } else {
          cell = WithoutFormula(cell);
          if (result.formulas_kept_as_values++ == 0) {
            result.first_value_row = number + row_shift;
            result.first_value_column = column;
          }
        }
      }
      cells.push_back(cell);
    }
    if (!plan.target.empty()) {
      std::sort(cells.begin(), cells.end(),
                [](const Cell& a, const Cell& b) { return a.column < b.column; });
    }
    if (trailing_id && RowHoldsValue(cells)) {
      if (cells.back().column >= plan.trailing_column) {
        ++result.rows_without_room;
      } else {
        cells.push_back(Cell::String(static_cast<std::uint16_t>(plan.trailing_column),
                                     CellType::kText, *trailing_id, 0));
      }
    }
    if (cells.empty()) continue;
    Cell* out = to.AllocateCells(cells.size());
    std::copy(cells.begin(), cells.end(), out);
    copied.push_back(
        Row{rows[i].number + row_shift, static_cast<std::uint32_t>(cells.size()), out});
  }
  const CellRange destination{row, row + (last_row - first_row), 1, kMaxColumns};
  std::vector<CellRange> merges;
  for (const CellRange& merged : from.merged_cells()) {
    if (!range.Contains(merged) || !KeepsSideBySide(plan, merged)) continue;
    const std::uint32_t column = TargetColumn(plan, merged.first_column);
    merges.push_back(CellRange{merged.first_row + row_shift, merged.last_row + row_shift, column,
                               column + (merged.last_column - merged.first_column)});
  }
  if (keeps_columns) {
    formulas = FormulasOf(from, range, destination, arrays);
  } else {
    std::sort(formulas.begin(), formulas.end(), FormulaBefore);
    // An array whose formula could not follow its columns landed as its values.
    std::erase_if(arrays.landed, [&formulas](const CellRange& array) {
      return !std::binary_search(formulas.begin(), formulas.end(),
                                 CellFormula{array.first_row, array.first_column, {}},
                                 FormulaBefore);
    });
  }
  to.ReplaceCells(destination, std::move(copied));
  to.ReplaceFormulas(destination, std::move(formulas));
  to.ReplaceArrayFormulas(destination, std::move(arrays.landed));
  to.ReplaceRowHeights(destination.first_row, destination.last_row,
                       HeightsOf(from, range, row_shift));
  to.ReplaceMergedCells(destination, merges);
  return result;
}

}  // namespace tavrio::automation::engine
