#include "automation/engine/formula_table.h"

#include <algorithm>
#include <cstring>

namespace tavrio::automation::engine {
namespace {

bool Before(const FormulaRef& a, const FormulaRef& b) {
  return a.row != b.row ? a.row < b.row : a.column < b.column;
}

bool RowBefore(const FormulaRef& formula, std::uint32_t row) { return formula.row < row; }

}  // namespace

const std::string_view* FormulaTable::Find(std::uint32_t row, std::uint32_t column) const {
  const std::span<const FormulaRef> entries = entries_.all();
  const FormulaRef key{row, column, {}};
  const auto it = std::lower_bound(entries.begin(), entries.end(), key, Before);
  return it != entries.end() && it->row == row && it->column == column ? &it->text : nullptr;
}

std::size_t FormulaTable::LowerRow(std::uint32_t row) const {
  const std::span<const FormulaRef> entries = entries_.all();
  return static_cast<std::size_t>(std::lower_bound(entries.begin(), entries.end(), row, RowBefore) -
                                  entries.begin());
}

void FormulaTable::Append(std::uint32_t row, std::uint32_t column, std::string_view text) {
  entries_.push_back(FormulaRef{row, column, texts_.Store(text)});
}

void FormulaTable::Normalise() {
  FormulaRef* const first = entries_.data();
  const std::size_t size = entries_.size();
  if (!std::is_sorted(first, first + size, Before)) std::stable_sort(first, first + size, Before);
  // Of equal places the later entry survives: keep each entry not followed by its twin.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const bool superseded =
        i + 1 < size && first[i + 1].row == first[i].row && first[i + 1].column == first[i].column;
    if (!superseded) first[kept++] = first[i];
  }
  entries_.resize_down(kept);
}

void FormulaTable::Replace(std::uint32_t first_row, std::uint32_t last_row,
                           std::uint32_t first_column, std::uint32_t last_column,
                           std::span<const FormulaRef> formulas) {
  // Only the entries of the rectangle's rows are touched, so that pasting block after block
  // under a sheet of many formulas costs what the block holds, not what the sheet holds.
  if (entries_.empty() || entries_.back().row < first_row) {
    // The common paste: rows past the last formula, where nothing is replaced and nothing
    // needs merging.
    for (const FormulaRef& formula : formulas) Append(formula.row, formula.column, formula.text);
    return;
  }
  const std::span<const FormulaRef> entries = entries_.all();
  const auto begin = entries.begin() + static_cast<std::ptrdiff_t>(LowerRow(first_row));
  const auto end = std::lower_bound(begin, entries.end(), last_row + 1, RowBefore);
  std::vector<FormulaRef> rows;
  rows.reserve(static_cast<std::size_t>(end - begin) + formulas.size());
  for (auto it = begin; it != end; ++it) {
    if (it->column < first_column || it->column > last_column) rows.push_back(*it);
  }
  const std::size_t kept = rows.size();
  for (const FormulaRef& formula : formulas) {
    rows.push_back(FormulaRef{formula.row, formula.column, texts_.Store(formula.text)});
  }
  std::inplace_merge(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(kept), rows.end(),
                     Before);
  entries_.Splice(static_cast<std::size_t>(begin - entries.begin()),
                  static_cast<std::size_t>(end - begin), rows);
}

void FormulaTable::Clear() {
  entries_.clear();
  texts_.Clear();
}

}  // namespace tavrio::automation::engine
