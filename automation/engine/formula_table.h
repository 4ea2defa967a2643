#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "automation/engine/remapped_array.h"
#include "automation/engine/text_arena.h"

namespace tavrio::automation::engine {

// A formula as a sheet holds it, without the leading '='. The text stays valid as long as the
// table that handed it out, whatever is added or replaced later.
struct FormulaRef {
  std::uint32_t row;
  std::uint32_t column;
  std::string_view text;
};

// The formulas of one sheet, by row, then column. A formatted sheet may hold a formula in
// every row, so the texts lie end to end in large blocks that never move, and the entries are
// plain records in memory that grows without being copied or faulted in again.
// Replaced texts are not reclaimed; a paste replaces the formulas of rows it lands on, which
// in a merge are nearly always rows that held none.
class FormulaTable {
 public:
  std::span<const FormulaRef> entries() const { return entries_.all(); }
  // The formula at that place, or nullptr; the pointer is valid until the table next changes.
  const std::string_view* Find(std::uint32_t row, std::uint32_t column) const;
  // Index of the first entry in row `row` or later.
  std::size_t LowerRow(std::uint32_t row) const;

  // Adds a formula in any order; Normalise puts them in order and keeps, of several at one
  // place, the one added last.
  void Append(std::uint32_t row, std::uint32_t column, std::string_view text);
  void Normalise();
  // Makes `formulas` (in order, all inside the rectangle) the only ones inside it.
  void Replace(std::uint32_t first_row, std::uint32_t last_row, std::uint32_t first_column,
               std::uint32_t last_column, std::span<const FormulaRef> formulas);
  void Clear();

 private:
  RemappedArray<FormulaRef> entries_;
  TextArena texts_;
};

}  // namespace tavrio::automation::engine
