#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "automation/engine/cell.h"
#include "automation/engine/cell_arena.h"
#include "automation/engine/formula_table.h"

namespace tavrio::automation::engine {

// A row that holds at least one cell, its cells sorted by column. Rows without cells are not
// stored at all, so a sheet costs what its cells cost whatever its declared size. What only some
// rows or cells have (row heights, merged ranges, formulas) belongs in side tables of the sheet,
// so that this record and the cell stay small.
struct Row {
  std::uint32_t number;  // 1-based
  std::uint32_t count;
  Cell* cells;

  std::span<const Cell> Cells() const { return {cells, count}; }
};

// A rectangle of cells, 1-based and inclusive. A block of rows that turned out empty has
// last_row < first_row.
struct CellRange {
  std::uint32_t first_row = 1;
  std::uint32_t last_row = 1;
  std::uint32_t first_column = 1;
  std::uint32_t last_column = 1;

  bool Empty() const { return last_row < first_row; }
  std::uint32_t RowCount() const { return Empty() ? 0 : last_row - first_row + 1; }
  bool WholeRows() const;
  bool Overlaps(const CellRange& other) const;
  bool Contains(const CellRange& other) const;
};

// A row with a height of its own, in points.
struct RowHeight {
  std::uint32_t row;
  double points;
};

// The formula of a cell whose flags have kHasFormula, without the leading '=', as it is handed
// to a sheet.
struct CellFormula {
  std::uint32_t row;
  std::uint32_t column;
  std::string text;
};

// Where the user is on a sheet: what is selected and which cell is active.
struct SheetView {
  CellRange selection;
  std::uint32_t active_row = 1;
  std::uint32_t active_column = 1;
};

class Sheet {
 public:
  Sheet(std::string name, bool hidden, bool loaded);
  Sheet(Sheet&&) noexcept = default;
  Sheet& operator=(Sheet&&) noexcept = default;

  const std::string& name() const { return name_; }
  bool hidden() const { return hidden_; }
  // False until the cells of a sheet read from a file have been filled in.
  bool loaded() const { return loaded_; }
  SheetView& view() { return view_; }
  const SheetView& view() const { return view_; }

  std::span<const Row> rows() const { return rows_; }
  // Index of the first stored row numbered `number` or more.
  std::size_t LowerRow(std::uint32_t number) const;
  const Cell* FindCell(std::uint32_t row, std::uint32_t column) const;
  // The stored cell there, for writing a calculated value in place; nullptr when none.
  Cell* FindCellToUpdate(std::uint32_t row, std::uint32_t column) {
    return const_cast<Cell*>(FindCell(row, column));
  }
  // Last row holding a value or a formula (a styled blank is neither); 0 when there is none.
  std::uint32_t LastUsedRow() const;
  // Highest column of any stored cell; 0 for an empty sheet.
  std::uint32_t LastColumn() const;

  // Sets one cell, replacing what stood at its column. An array formula the cell belonged to
  // becomes its values.
  void SetCell(std::uint32_t row, const Cell& cell);

  // Cells for rows handed back through ReplaceRows; they belong to this sheet.
  Cell* AllocateCells(std::size_t count) { return arena_.Allocate(count); }
  // Makes `replacement` (ascending, all numbered first..last, cells from AllocateCells) the only
  // rows between first and last.
  void ReplaceRows(std::uint32_t first, std::uint32_t last, std::vector<Row> replacement);
  // As ReplaceRows, but only the columns of `range` change; the row's other cells stay.
  void ReplaceCells(const CellRange& range, std::vector<Row> replacement);

  // Every row's cell at column `from`, which must be the row's last, moves to column `to`,
  // which must lie beyond the row's other cells: a column added while its place was unknown
  // is put there once it is, without copying any row.
  void MoveTrailingColumn(std::uint32_t from, std::uint32_t to);

  // Formulas by row, then column.
  std::span<const FormulaRef> formulas() const { return formulas_.entries(); }
  // The formula of the cell there, or nullptr; valid until the sheet's formulas next change.
  const std::string_view* FormulaAt(std::uint32_t row, std::uint32_t column) const {
    return formulas_.Find(row, column);
  }
  // Makes `formulas` (by row and column, all inside `range`) the only ones in `range`.
  void ReplaceFormulas(const CellRange& range, std::vector<CellFormula> formulas);

  // The ranges array formulas fill, by top-left cell, row then column. An array's formula is
  // its top-left cell's (FormulaAt); its other cells hold its results as plain values, no two
  // arrays overlap and no other formula lies inside one.
  std::span<const CellRange> array_formulas() const { return arrays_; }
  // The range of the array formula whose top-left cell is there, or nullptr; valid until the
  // sheet's array formulas next change.
  const CellRange* ArrayFormulaAt(std::uint32_t row, std::uint32_t column) const;
  // After `range` got its cells and formulas: makes `arrays` (inside it, their top-left cells
  // holding their formulas) the only array formulas touching it. An array of the sheet that
  // reaches into `range` from outside it loses its formula, its cells keeping their values,
  // since a part of it was replaced.
  void ReplaceArrayFormulas(const CellRange& range, std::vector<CellRange> arrays);

  // Whether cells or formulas changed since the formulas the engine calculates (kCalculated)
  // were last calculated; set by every change of cells or formulas, cleared by the calculation.
  bool calculation_due() const { return calculation_due_; }
  // After a calculation: how many of those formulas could not be calculated (an unknown
  // function, a reference into another workbook, a cycle); they show their stored result or
  // the error a spreadsheet application shows.
  void CalculationDone(std::size_t uncalculated) {
    calculation_due_ = false;
    uncalculated_formulas_ = uncalculated;
  }
  std::size_t uncalculated_formulas() const { return uncalculated_formulas_; }

  // Rows with a height of their own, ascending.
  std::span<const RowHeight> row_heights() const { return row_heights_; }
  // Makes `heights` (ascending, all within first..last) the only ones between first and last.
  void ReplaceRowHeights(std::uint32_t first, std::uint32_t last, std::vector<RowHeight> heights);
  // Ranges of cells shown as one, as the file gave them and pastes moved them, in no order.
  std::span<const CellRange> merged_cells() const { return merged_cells_; }
  // Drops the merged ranges that touch `range` and adds `merges`, which lie inside it.
  void ReplaceMergedCells(const CellRange& range, const std::vector<CellRange>& merges);

  // Filling a sheet from a reader: `cells` all lie in row `row`, a whole row or a part of one;
  // rows and cells may come in any order, and a later cell at the same place wins. Rows that
  // come whole and in order (as .xlsx stores them) go straight to their place; anything else is
  // sorted out when loading finishes. FinishLoading marks the sheet loaded; AbortLoading drops
  // what came so far.
  void LoadRow(std::uint32_t row, std::span<const Cell> cells);
  void LoadRowHeight(const RowHeight& height) { row_heights_.push_back(height); }
  void LoadFormula(std::uint32_t row, std::uint32_t column, std::string_view text) {
    formulas_.Append(row, column, text);
  }
  void LoadFormula(const CellFormula& formula) {
    LoadFormula(formula.row, formula.column, formula.text);
  }
  void LoadMergedCells(const CellRange& range) { merged_cells_.push_back(range); }
  // An array formula's range, its formula loaded on its top-left cell. FinishLoading turns an
  // array that overlaps another, or holds another formula, into its values.
  void LoadArrayFormula(const CellRange& range) { arrays_.push_back(range); }
  void FinishLoading();
  void AbortLoading();

 private:
  struct PlacedCell {
    std::uint32_t row;
    Cell cell;
  };
  void LoadCell(std::uint32_t row, const Cell& cell);
  void FlushPendingRow();
  void SpillToUnordered();
  void CompactIfWasteful();
  // The array's top-left cell keeps its value without its formula.
  void DropArrayFormula(const CellRange& array);
  void KeepUsableArrays();

  std::string name_;
  bool hidden_;
  bool loaded_;
  SheetView view_;
  std::vector<Row> rows_;
  CellArena arena_;
  std::vector<RowHeight> row_heights_;
  FormulaTable formulas_;
  std::vector<CellRange> merged_cells_;
  std::vector<CellRange> arrays_;
  bool calculation_due_ = false;
  std::size_t uncalculated_formulas_ = 0;
  // Loading state: the row being gathered while cells arrive in order, and everything once
  // they do not.
  std::uint32_t pending_row_ = 0;
  std::vector<Cell> pending_cells_;
  std::vector<PlacedCell> unordered_;
  bool ordered_ = true;
};

}  // namespace tavrio::automation::engine
