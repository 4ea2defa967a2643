#include "automation/engine/sheet.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "automation/base/sheet_limits.h"
#include "automation/engine/array_formulas.h"

namespace tavrio::automation::engine {
namespace {

// A formula counts even when the file kept no result for it: it has one once calculated.
bool HasValue(const Row& row) {
  for (const Cell& cell : row.Cells()) {
    if (cell.type != CellType::kBlank || (cell.flags & kHasFormula) != 0) return true;
  }
  return false;
}

}  // namespace

bool CellRange::WholeRows() const { return first_column == 1 && last_column == kMaxColumns; }

bool CellRange::Overlaps(const CellRange& other) const {
  return first_row <= other.last_row && other.first_row <= last_row &&
         first_column <= other.last_column && other.first_column <= last_column;
}

bool CellRange::Contains(const CellRange& other) const {
  return first_row <= other.first_row && other.last_row <= last_row &&
         first_column <= other.first_column && other.last_column <= last_column;
}

Sheet::Sheet(std::string name, bool hidden, bool loaded)
    : name_(std::move(name)), hidden_(hidden), loaded_(loaded) {}

std::size_t Sheet::LowerRow(std::uint32_t number) const {
  return std::lower_bound(rows_.begin(), rows_.end(), number,
                          [](const Row& row, std::uint32_t n) { return row.number < n; }) -
         rows_.begin();
}

const Cell* Sheet::FindCell(std::uint32_t row, std::uint32_t column) const {
  const std::size_t index = LowerRow(row);
  if (index == rows_.size() || rows_[index].number != row) return nullptr;
  const std::span<const Cell> cells = rows_[index].Cells();
  auto it = std::lower_bound(cells.begin(), cells.end(), column,
                             [](const Cell& cell, std::uint32_t c) { return cell.column < c; });
  return it != cells.end() && it->column == column ? &*it : nullptr;
}

std::uint32_t Sheet::LastUsedRow() const {
  for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
    if (HasValue(*it)) return it->number;
  }
  return 0;
}

std::uint32_t Sheet::LastColumn() const {
  std::uint32_t last = 0;
  for (const Row& row : rows_) {
    if (row.count > 0) last = std::max<std::uint32_t>(last, row.cells[row.count - 1].column);
  }
  return last;
}

void Sheet::SetCell(std::uint32_t row, const Cell& cell) {
  calculation_due_ = true;
  if (!arrays_.empty()) {
    const CellRange place{row, row, cell.column, cell.column};
    ReplaceArrayFormulas(place, {});
  }
  const std::size_t index = LowerRow(row);
  if (index < rows_.size() && rows_[index].number == row) {
    Row& stored = rows_[index];
    Cell* end = stored.cells + stored.count;
    Cell* at =
        std::lower_bound(stored.cells, end, cell.column,
                         [](const Cell& c, std::uint32_t column) { return c.column < column; });
    if (at != end && at->column == cell.column) {
      if ((at->flags & kHasFormula) != 0 && (cell.flags & kHasFormula) == 0) {
        ReplaceFormulas(CellRange{row, row, cell.column, cell.column}, {});
      }
      *at = cell;
      return;
    }
    Cell* grown = arena_.Allocate(stored.count + 1);
    const std::size_t before = static_cast<std::size_t>(at - stored.cells);
    std::copy(stored.cells, at, grown);
    grown[before] = cell;
    std::copy(at, end, grown + before + 1);
    arena_.Release(stored.count);
    stored.cells = grown;
    ++stored.count;
    CompactIfWasteful();
    return;
  }
  Cell* cells = arena_.Allocate(1);
  cells[0] = cell;
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), Row{row, 1, cells});
}

void Sheet::MoveTrailingColumn(std::uint32_t from, std::uint32_t to) {
  calculation_due_ = true;
  for (Row& row : rows_) {
    if (row.count > 0 && row.cells[row.count - 1].column == from) {
      row.cells[row.count - 1].column = static_cast<std::uint16_t>(to);
    }
  }
}

void Sheet::ReplaceRows(std::uint32_t first, std::uint32_t last, std::vector<Row> replacement) {
  calculation_due_ = true;
  const std::size_t begin = LowerRow(first);
  std::size_t end = begin;
  while (end < rows_.size() && rows_[end].number <= last) arena_.Release(rows_[end++].count);
  if (begin == rows_.size()) {
    rows_.insert(rows_.end(), replacement.begin(), replacement.end());
  } else {
    const auto at = rows_.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto erased_end = rows_.erase(at, rows_.begin() + static_cast<std::ptrdiff_t>(end));
    rows_.insert(erased_end, replacement.begin(), replacement.end());
  }
  CompactIfWasteful();
}

void Sheet::ReplaceCells(const CellRange& range, std::vector<Row> replacement) {
  calculation_due_ = true;
  if (range.WholeRows())
    return ReplaceRows(range.first_row, range.last_row, std::move(replacement));
  std::vector<Row> merged;
  std::vector<Cell> cells;
  std::size_t old_index = LowerRow(range.first_row);
  auto next_new = replacement.begin();
  const auto outside = [&](const Cell& cell) {
    return cell.column < range.first_column || cell.column > range.last_column;
  };
  while (true) {
    const bool have_old = old_index < rows_.size() && rows_[old_index].number <= range.last_row;
    const bool have_new = next_new != replacement.end();
    if (!have_old && !have_new) break;
    std::uint32_t number = 0;
    if (have_old && (!have_new || rows_[old_index].number <= next_new->number)) {
      number = rows_[old_index].number;
    } else {
      number = next_new->number;
    }
    cells.clear();
    if (have_old && rows_[old_index].number == number) {
      for (const Cell& cell : rows_[old_index++].Cells()) {
        if (outside(cell)) cells.push_back(cell);
      }
    }
    if (have_new && next_new->number == number) {
      const std::span<const Cell> added = (next_new++)->Cells();
      cells.insert(cells.end(), added.begin(), added.end());
      std::sort(cells.begin(), cells.end(),
                [](const Cell& a, const Cell& b) { return a.column < b.column; });
    }
    if (cells.empty()) continue;
    Cell* stored = arena_.Allocate(cells.size());
    std::copy(cells.begin(), cells.end(), stored);
    merged.push_back(Row{number, static_cast<std::uint32_t>(cells.size()), stored});
  }
  ReplaceRows(range.first_row, range.last_row, std::move(merged));
}

void Sheet::ReplaceFormulas(const CellRange& range, std::vector<CellFormula> formulas) {
  calculation_due_ = true;
  std::vector<FormulaRef> refs;
  refs.reserve(formulas.size());
  for (const CellFormula& formula : formulas) {
    refs.push_back(FormulaRef{formula.row, formula.column, formula.text});
  }
  formulas_.Replace(range.first_row, range.last_row, range.first_column, range.last_column, refs);
}

const CellRange* Sheet::ArrayFormulaAt(std::uint32_t row, std::uint32_t column) const {
  const CellRange key{row, row, column, column};
  const auto it = std::lower_bound(arrays_.begin(), arrays_.end(), key, ArrayBefore);
  return it != arrays_.end() && it->first_row == row && it->first_column == column ? &*it : nullptr;
}

void Sheet::ReplaceArrayFormulas(const CellRange& range, std::vector<CellRange> arrays) {
  if (arrays_.empty() && arrays.empty()) return;
  std::vector<CellRange> cut;
  std::erase_if(arrays_, [&](const CellRange& array) {
    if (!array.Overlaps(range)) return false;
    if (!range.Contains(
            CellRange{array.first_row, array.first_row, array.first_column, array.first_column})) {
      cut.push_back(array);
    }
    return true;
  });
  for (const CellRange& array : cut) DropArrayFormula(array);
  if (arrays.empty()) return;
  // A merge pastes block after block below the last: merged rather than sorted, so that the
  // arrays already there cost one pass, not a sort, per block.
  std::sort(arrays.begin(), arrays.end(), ArrayBefore);
  const auto middle = static_cast<std::ptrdiff_t>(arrays_.size());
  arrays_.insert(arrays_.end(), arrays.begin(), arrays.end());
  std::inplace_merge(arrays_.begin(), arrays_.begin() + middle, arrays_.end(), ArrayBefore);
}

void Sheet::DropArrayFormula(const CellRange& array) {
  const CellRange anchor{array.first_row, array.first_row, array.first_column, array.first_column};
  ReplaceFormulas(anchor, {});
  Cell* cell = FindCellToUpdate(array.first_row, array.first_column);
  if (cell != nullptr)
    cell->flags = static_cast<std::uint8_t>(cell->flags & ~(kHasFormula | kCalculated));
}

void Sheet::KeepUsableArrays() {
  if (arrays_.empty()) return;
  std::sort(arrays_.begin(), arrays_.end(), ArrayBefore);
  const std::vector<bool> usable = UsableArrays(arrays_, formulas_.entries());
  std::vector<CellRange> kept;
  for (std::size_t i = 0; i < arrays_.size(); ++i) {
    if (usable[i]) {
      kept.push_back(arrays_[i]);
    } else {
      DropArrayFormula(arrays_[i]);
    }
  }
  arrays_ = std::move(kept);
}

void Sheet::ReplaceRowHeights(std::uint32_t first, std::uint32_t last,
                              std::vector<RowHeight> heights) {
  const auto by_row = [](const RowHeight& height, std::uint32_t row) { return height.row < row; };
  const auto begin = std::lower_bound(row_heights_.begin(), row_heights_.end(), first, by_row);
  const auto end = std::lower_bound(begin, row_heights_.end(), last + 1, by_row);
  const auto at = row_heights_.erase(begin, end);
  row_heights_.insert(at, heights.begin(), heights.end());
}

void Sheet::ReplaceMergedCells(const CellRange& range, const std::vector<CellRange>& merges) {
  std::erase_if(merged_cells_, [&](const CellRange& merged) { return merged.Overlaps(range); });
  merged_cells_.insert(merged_cells_.end(), merges.begin(), merges.end());
}

void Sheet::LoadCell(std::uint32_t row, const Cell& cell) {
  if (ordered_) {
    if (row == pending_row_ && !pending_cells_.empty() &&
        cell.column > pending_cells_.back().column) {
      pending_cells_.push_back(cell);
      return;
    }
    if (row > pending_row_) {
      FlushPendingRow();
      pending_row_ = row;
      pending_cells_.push_back(cell);
      return;
    }
    SpillToUnordered();
  }
  unordered_.push_back(PlacedCell{row, cell});
}

void Sheet::LoadRow(std::uint32_t row, std::span<const Cell> cells) {
  const auto ascending = [cells] {
    for (std::size_t i = 1; i < cells.size(); ++i) {
      if (cells[i].column <= cells[i - 1].column) return false;
    }
    return true;
  };
  // The common case, a new row in order, goes straight to its place; anything else is loaded
  // cell by cell, which sorts it out. A single cell may be the first of a row handed over cell
  // by cell, so it waits with the row's others.
  if (!ordered_ || row <= pending_row_ || cells.size() < 2 || !ascending()) {
    for (const Cell& cell : cells) LoadCell(row, cell);
    return;
  }
  FlushPendingRow();
  pending_row_ = row;
  Cell* stored = arena_.Allocate(cells.size());
  std::memcpy(stored, cells.data(), cells.size() * sizeof(Cell));
  rows_.push_back(Row{row, static_cast<std::uint32_t>(cells.size()), stored});
}

void Sheet::FlushPendingRow() {
  if (pending_cells_.empty()) return;
  Cell* cells = arena_.Allocate(pending_cells_.size());
  std::memcpy(cells, pending_cells_.data(), pending_cells_.size() * sizeof(Cell));
  rows_.push_back(Row{pending_row_, static_cast<std::uint32_t>(pending_cells_.size()), cells});
  pending_cells_.clear();
}

void Sheet::SpillToUnordered() {
  FlushPendingRow();
  for (const Row& row : rows_) {
    for (const Cell& cell : row.Cells()) unordered_.push_back(PlacedCell{row.number, cell});
  }
  rows_.clear();
  arena_ = CellArena();
  ordered_ = false;
}

void Sheet::FinishLoading() {
  calculation_due_ = !formulas_.entries().empty();
  if (ordered_) {
    FlushPendingRow();
  } else {
    // Stable, so that of two cells at one place the later one is kept below.
    std::stable_sort(unordered_.begin(), unordered_.end(),
                     [](const PlacedCell& a, const PlacedCell& b) {
                       return a.row != b.row ? a.row < b.row : a.cell.column < b.cell.column;
                     });
    for (std::size_t i = 0; i < unordered_.size(); ++i) {
      const PlacedCell& placed = unordered_[i];
      const bool superseded = i + 1 < unordered_.size() && unordered_[i + 1].row == placed.row &&
                              unordered_[i + 1].cell.column == placed.cell.column;
      if (superseded) continue;
      if (placed.row != pending_row_) FlushPendingRow();
      pending_row_ = placed.row;
      pending_cells_.push_back(placed.cell);
    }
    FlushPendingRow();
    std::vector<PlacedCell>().swap(unordered_);
  }
  std::vector<Cell>().swap(pending_cells_);
  pending_row_ = 0;
  ordered_ = true;
  // Of two heights for one row the later counts, as with cells.
  std::stable_sort(row_heights_.begin(), row_heights_.end(),
                   [](const RowHeight& a, const RowHeight& b) { return a.row < b.row; });
  std::vector<RowHeight> heights;
  for (std::size_t i = 0; i < row_heights_.size(); ++i) {
    if (i + 1 < row_heights_.size() && row_heights_[i + 1].row == row_heights_[i].row) continue;
    heights.push_back(row_heights_[i]);
  }
  row_heights_ = std::move(heights);
  formulas_.Normalise();
  KeepUsableArrays();
  loaded_ = true;
}

void Sheet::AbortLoading() {
  rows_.clear();
  row_heights_.clear();
  merged_cells_.clear();
  arrays_.clear();
  formulas_.Clear();
  arena_ = CellArena();
  pending_cells_.clear();
  unordered_.clear();
  pending_row_ = 0;
  ordered_ = true;
}

void Sheet::CompactIfWasteful() {
  const std::size_t released = arena_.released();
  if (released < (1u << 20) || released < arena_.allocated() - released) return;
  CellArena compacted;
  for (Row& row : rows_) {
    Cell* cells = compacted.Allocate(row.count);
    std::copy(row.cells, row.cells + row.count, cells);
    row.cells = cells;
  }
  arena_ = std::move(compacted);
}

}  // namespace tavrio::automation::engine
