#include "automation/engine/formula_calculation.h"

#include <algorithm>
#include <exception>
#include <new>
#include <numeric>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/formula_model.h"

namespace tavrio::automation::engine {
namespace {

// Formulas per library model. A model costs some 600 bytes a formula, so a million formulas
// in one would add about 600 MB to a merge of a million rows; batches of this size keep it
// near 40 MB, and the values a batch reads are loaded once per batch, not once per formula.
constexpr std::size_t kBatch = 65536;

constexpr std::string_view kNameError = "#NAME?";
constexpr std::size_t kThisSheet = 0;  // the calculated sheet's index in a batch's model
constexpr std::string_view kReferenceError = "#REF!";

struct Pending {
  std::uint32_t row;
  std::uint32_t column;
  std::string_view text;
};

// An error value the library cannot hold, where a batch's formulas read it.
struct UnheldError {
  std::size_t sheet;
  std::uint32_t row;
  std::uint32_t column;
  std::string error;
};

// One column's stretch of rows a batch reads.
struct ColumnStretch {
  std::size_t sheet;
  std::uint32_t column;
  std::uint32_t first_row;
  std::uint32_t last_row;
};

const Cell* CellIn(const Row& row, std::uint32_t column) {
  const std::span<const Cell> cells = row.Cells();
  const auto it =
      std::lower_bound(cells.begin(), cells.end(), column,
                       [](const Cell& cell, std::uint32_t c) { return cell.column < c; });
  return it != cells.end() && it->column == column ? &*it : nullptr;
}

bool Contains(const CellRange& range, std::uint32_t row, std::uint32_t column) {
  return row >= range.first_row && row <= range.last_row && column >= range.first_column &&
         column <= range.last_column;
}

// Formulas are calculated in row-major order, a batch at a time. A formula that reads one not
// calculated yet (below it, to its right, or itself) waits for the next pass; a pass that
// calculates nothing leaves only cycles, which cannot be calculated.
class SheetCalculation {
 public:
  SheetCalculation(Workbook& workbook, std::size_t index)
      : workbook_(workbook), index_(index), sheet_(workbook.LoadedSheet(index)) {
    CollectPending();
  }

  std::size_t Run() {
    for (const Pending& array : arrays_) FailArray(array);
    std::vector<std::size_t> queue(pending_.size());
    std::iota(queue.begin(), queue.end(), std::size_t{0});
    while (!queue.empty()) {
      std::vector<std::size_t> waiting;
      bool progress = false;
      for (std::size_t begin = 0; begin < queue.size(); begin += kBatch) {
        const std::size_t end = std::min(queue.size(), begin + kBatch);
        progress = CalculateBatch(queue, begin, end, waiting) || progress;
      }
      if (!progress) {
        for (const std::size_t i : waiting) Fail(i, kReferenceError);
        break;
      }
      queue = std::move(waiting);
    }
    return uncalculated_;
  }

 private:
  void CollectPending() {
    const std::span<const Row> rows = sheet_.rows();
    std::size_t r = 0;
    for (const FormulaRef& formula : sheet_.formulas()) {
      while (r < rows.size() && rows[r].number < formula.row) ++r;
      if (r == rows.size() || rows[r].number != formula.row) continue;
      const Cell* cell = CellIn(rows[r], formula.column);
      if (cell == nullptr || (cell->flags & kCalculated) == 0) continue;
      // The library's grouped formulas answer #ERR! for arithmetic over a range (A2:A4*2,
      // SUM(A2:A4*B2:B4)) and lack TRANSPOSE: an array keeps the results it holds.
      if (!sheet_.array_formulas().empty() &&
          sheet_.ArrayFormulaAt(formula.row, formula.column) != nullptr) {
        arrays_.push_back(Pending{formula.row, formula.column, formula.text});
        continue;
      }
      pending_.push_back(Pending{formula.row, formula.column, formula.text});
    }
  }

  // The sheets the batch's formulas may read, this one first: a model holds every column of
  // each of its sheets (some 6 MB and 4 ms a sheet), so a workbook of many sheets gets only
  // those the formulas name. A name found in a formula's text may be a text, not a sheet; the
  // sheet is held all the same.
  std::vector<std::size_t> SheetsRead(const std::vector<std::size_t>& queue, std::size_t begin,
                                      std::size_t end) const {
    std::vector<std::size_t> held{index_};
    for (std::size_t other = 0; other < workbook_.SheetCount(); ++other) {
      if (other == index_) continue;
      const std::string& name = workbook_.SheetAt(other).name();
      std::string quoted;  // as a formula spells it in quotes: ' doubled
      for (const char c : name) quoted += c == '\'' ? std::string("''") : std::string(1, c);
      for (std::size_t k = begin; k < end; ++k) {
        const std::string_view text = pending_[queue[k]].text;
        if (text.find('!') != std::string_view::npos &&
            (text.find(name) != std::string_view::npos ||
             text.find(quoted) != std::string_view::npos)) {
          held.push_back(other);
          break;
        }
      }
    }
    return held;
  }

  // Whether a formula of `indices` (a sorted selection of pending_) lies in `range`.
  bool AnyIn(std::span<const std::size_t> indices, const CellRange& range) const {
    auto it = std::lower_bound(
        indices.begin(), indices.end(), range.first_row,
        [this](std::size_t i, std::uint32_t row) { return pending_[i].row < row; });
    for (; it != indices.end() && pending_[*it].row <= range.last_row; ++it) {
      if (Contains(range, pending_[*it].row, pending_[*it].column)) return true;
    }
    return false;
  }

  bool Waits(const std::vector<FormulaReference>& reads, std::span<const std::size_t> later,
             const std::vector<std::size_t>& waiting) const {
    for (const FormulaReference& read : reads) {
      if (read.sheet != index_) continue;
      if (AnyIn(later, read.range) || AnyIn(waiting, read.range)) return true;
    }
    return false;
  }

  // Returns whether any formula of the batch got its value, calculated or not: those that
  // wait for it may be calculated in the next pass.
  bool CalculateBatch(const std::vector<std::size_t>& queue, std::size_t begin, std::size_t end,
                      std::vector<std::size_t>& waiting) {
    held_ = SheetsRead(queue, begin, end);
    std::vector<std::string> names;
    for (const std::size_t sheet : held_) names.push_back(workbook_.SheetAt(sheet).name());
    FormulaModel model(names);
    std::vector<std::size_t> ready;
    std::vector<std::size_t> ready_reads_end;  // end of each ready formula's reads in `reads`
    std::vector<FormulaReference> reads;
    std::vector<FormulaReference> formula_reads;
    bool settled = false;
    in_model_.clear();
    for (std::size_t k = begin; k < end; ++k) {
      const std::size_t i = queue[k];
      const Pending& formula = pending_[i];
      formula_reads.clear();
      const FormulaModel::Reading reading =
          model.AddFormula(kThisSheet, formula.row, formula.column, formula.text, formula_reads);
      if (reading != FormulaModel::Reading::kReady) {
        Fail(i, reading == FormulaModel::Reading::kUnknownReference ? kReferenceError : kNameError);
        settled = true;
        continue;
      }
      in_model_.push_back(i);
      for (FormulaReference& read : formula_reads) read.sheet = held_[read.sheet];
      const std::span<const std::size_t> later(queue.data() + k, queue.size() - k);
      if (Waits(formula_reads, later, waiting)) {
        waiting.push_back(i);
        continue;
      }
      ready.push_back(i);
      reads.insert(reads.end(), formula_reads.begin(), formula_reads.end());
      ready_reads_end.push_back(reads.size());
    }
    if (ready.empty()) return settled;
    LoadValues(model, reads);
    std::size_t reads_begin = 0;
    for (std::size_t n = 0; n < ready.size(); ++n) {
      const Pending& formula = pending_[ready[n]];
      const std::span<const FormulaReference> own(reads.data() + reads_begin,
                                                  ready_reads_end[n] - reads_begin);
      reads_begin = ready_reads_end[n];
      // A formula reading an error the library cannot hold shows that error, as nearly every
      // function passes an error on.
      const std::optional<std::string> read_error = UnheldErrorIn(own);
      std::optional<FormulaValue> value;
      if (!read_error) value = model.Calculate(kThisSheet, formula.row, formula.column);
      if (value) {
        Store(ready[n], *value);
      } else {
        model.SetResult(kThisSheet, formula.row, formula.column,
                        Fail(ready[n], read_error ? std::string_view(*read_error) : kNameError));
      }
    }
    return true;
  }

  bool InModel(std::uint32_t row, std::uint32_t column) const {
    const auto it =
        std::lower_bound(in_model_.begin(), in_model_.end(), std::pair{row, column},
                         [this](std::size_t i, std::pair<std::uint32_t, std::uint32_t> place) {
                           return std::pair{pending_[i].row, pending_[i].column} < place;
                         });
    return it != in_model_.end() && pending_[*it].row == row && pending_[*it].column == column;
  }

  // Puts every value the batch's formulas read into the model once, column by column.
  void LoadValues(FormulaModel& model, const std::vector<FormulaReference>& reads) {
    std::vector<ColumnStretch> stretches;
    for (const FormulaReference& read : reads) {
      for (std::uint32_t column = read.range.first_column; column <= read.range.last_column;
           ++column) {
        stretches.push_back({read.sheet, column, read.range.first_row, read.range.last_row});
      }
    }
    std::sort(stretches.begin(), stretches.end(),
              [](const ColumnStretch& a, const ColumnStretch& b) {
                if (a.sheet != b.sheet) return a.sheet < b.sheet;
                if (a.column != b.column) return a.column < b.column;
                return a.first_row < b.first_row;
              });
    unheld_errors_.clear();
    for (std::size_t s = 0; s < stretches.size();) {
      ColumnStretch merged = stretches[s++];
      while (s < stretches.size() && stretches[s].sheet == merged.sheet &&
             stretches[s].column == merged.column &&
             stretches[s].first_row <= std::uint64_t{merged.last_row} + 1) {
        merged.last_row = std::max(merged.last_row, stretches[s++].last_row);
      }
      LoadStretch(model, merged);
    }
  }

  void LoadStretch(FormulaModel& model, const ColumnStretch& stretch) {
    const auto held = static_cast<std::size_t>(
        std::find(held_.begin(), held_.end(), stretch.sheet) - held_.begin());
    const Sheet& sheet = workbook_.LoadedSheet(stretch.sheet);
    const std::span<const Row> rows = sheet.rows();
    for (std::size_t r = sheet.LowerRow(stretch.first_row);
         r < rows.size() && rows[r].number <= stretch.last_row; ++r) {
      const Cell* cell = CellIn(rows[r], stretch.column);
      if (cell == nullptr || cell->type == CellType::kBlank) continue;
      if (stretch.sheet == index_ && InModel(rows[r].number, stretch.column)) continue;
      if (!model.SetValue(held, rows[r].number, stretch.column, ValueOf(*cell))) {
        unheld_errors_.push_back(
            UnheldError{stretch.sheet, rows[r].number, stretch.column,
                        std::string(workbook_.strings().Get(cell->string_id))});
      }
    }
  }

  // The first error value the formula reads that the library cannot hold (#N/A, #NUM!, ...).
  std::optional<std::string> UnheldErrorIn(std::span<const FormulaReference> reads) const {
    for (const UnheldError& place : unheld_errors_) {
      for (const FormulaReference& read : reads) {
        if (read.sheet == place.sheet && Contains(read.range, place.row, place.column)) {
          return place.error;
        }
      }
    }
    return std::nullopt;
  }

  FormulaValue ValueOf(const Cell& cell) const {
    FormulaValue value;
    value.type = cell.type;
    switch (cell.type) {
      case CellType::kNumber:
        value.number = cell.number;
        break;
      case CellType::kBoolean:
        value.boolean = cell.boolean;
        break;
      case CellType::kText:
      case CellType::kError:
        value.text = std::string(workbook_.strings().Get(cell.string_id));
        break;
      case CellType::kBlank:
        break;
    }
    return value;
  }

  void Store(std::size_t i, const FormulaValue& value) {
    Store(*sheet_.FindCellToUpdate(pending_[i].row, pending_[i].column), value);
  }

  void Store(Cell& cell, const FormulaValue& value) {
    cell.type = value.type;
    switch (value.type) {
      case CellType::kNumber:
        cell.number = value.number;
        break;
      case CellType::kBoolean:
        cell.boolean = value.boolean;
        break;
      case CellType::kText:
      case CellType::kError:
        cell.string_id = workbook_.strings().Intern(value.text);
        break;
      case CellType::kBlank:
        cell.number = 0;
        break;
    }
  }

  // Counts the formula as not calculated and returns the value it shows: the result it holds,
  // or `error` when it holds none.
  FormulaValue Fail(std::size_t i, std::string_view error) {
    ++uncalculated_;
    Cell* cell = sheet_.FindCellToUpdate(pending_[i].row, pending_[i].column);
    if (cell->type != CellType::kBlank) return ValueOf(*cell);
    FormulaValue shown;
    shown.type = CellType::kError;
    shown.text = std::string(error);
    Store(*cell, shown);
    return shown;
  }

  // As Fail, for an array formula: only its top-left cell shows #NAME? when it holds no
  // result, as in an application that does not know the formula's function.
  void FailArray(const Pending& array) {
    ++uncalculated_;
    Cell* cell = sheet_.FindCellToUpdate(array.row, array.column);
    if (cell->type != CellType::kBlank) return;
    FormulaValue shown;
    shown.type = CellType::kError;
    shown.text = std::string(kNameError);
    Store(*cell, shown);
  }

  Workbook& workbook_;
  std::size_t index_;
  Sheet& sheet_;
  std::vector<std::size_t> held_;      // the batch model's sheets, by their workbook index
  std::vector<Pending> pending_;       // row-major
  std::vector<Pending> arrays_;        // array formulas due for calculation
  std::vector<std::size_t> in_model_;  // the batch's formulas in the model, row-major
  std::vector<UnheldError> unheld_errors_;
  std::size_t uncalculated_ = 0;
};

}  // namespace

void CalculateSheet(Workbook& workbook, std::size_t index) {
  Sheet& sheet = workbook.LoadedSheet(index);
  if (!sheet.calculation_due()) return;
  std::size_t uncalculated = 0;
  const std::string where =
      "无法计算工作簿“" + workbook.name() + "”的工作表“" + sheet.name() + "”中的公式";
  try {
    uncalculated = SheetCalculation(workbook, index).Run();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Error(error_number::kOutOfMemory, "内存不足：" + where + "。");
  } catch (const std::exception& fault) {
    // The formula library's own failures; the sheet keeps the values it has.
    throw Error(error_number::kApplicationDefined, where + "：" + fault.what() + "。");
  }
  sheet.CalculationDone(uncalculated);
}

}  // namespace tavrio::automation::engine
