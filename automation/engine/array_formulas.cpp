#include "automation/engine/array_formulas.h"

#include <iterator>
#include <map>

namespace tavrio::automation::engine {
namespace {

// The arrays met so far whose columns a later row may still cross, by first column. Their
// columns never overlap one another: an array is only added once none it overlaps is live, and
// the ones it overlaps that ended above it are taken out then.
class Sweep {
 public:
  Sweep(std::span<const CellRange> arrays, std::vector<bool>& usable)
      : arrays_(arrays), usable_(usable), anchored_(arrays.size(), false) {}

  void AddArray(std::size_t index) {
    const CellRange& added = arrays_[index];
    auto it = open_.upper_bound(added.last_column);
    while (it != open_.begin()) {
      --it;
      const CellRange& open = arrays_[it->second];
      if (open.last_column < added.first_column) break;
      if (open.last_row >= added.first_row) {
        usable_[index] = false;
        return;
      }
      it = open_.erase(it);
    }
    open_.emplace(added.first_column, index);
  }

  void AddFormula(const FormulaRef& formula) {
    auto it = open_.upper_bound(formula.column);
    if (it == open_.begin()) return;
    const std::size_t index = std::prev(it)->second;
    const CellRange& open = arrays_[index];
    if (open.last_column < formula.column || open.last_row < formula.row) return;
    if (open.first_row == formula.row && open.first_column == formula.column) {
      anchored_[index] = true;
    } else {
      usable_[index] = false;
    }
  }

  void Finish() {
    for (std::size_t i = 0; i < arrays_.size(); ++i) usable_[i] = usable_[i] && anchored_[i];
  }

 private:
  std::span<const CellRange> arrays_;
  std::vector<bool>& usable_;
  std::vector<bool> anchored_;
  std::map<std::uint32_t, std::size_t> open_;
};

}  // namespace

std::vector<bool> UsableArrays(std::span<const CellRange> arrays,
                               std::span<const FormulaRef> formulas) {
  std::vector<bool> usable(arrays.size(), true);
  Sweep sweep(arrays, usable);
  std::size_t a = 0;
  for (const FormulaRef& formula : formulas) {
    // An array comes before the formula of its own top-left cell.
    for (; a < arrays.size() &&
           !ArrayBefore(CellRange{formula.row, formula.row, formula.column, formula.column},
                        arrays[a]);
         ++a) {
      sweep.AddArray(a);
    }
    // The formula of an array refused for overlapping goes with it, and counts against none.
    const bool refused_array = a > 0 && !usable[a - 1] && arrays[a - 1].first_row == formula.row &&
                               arrays[a - 1].first_column == formula.column;
    if (!refused_array) sweep.AddFormula(formula);
  }
  for (; a < arrays.size(); ++a) sweep.AddArray(a);
  sweep.Finish();
  return usable;
}

}  // namespace tavrio::automation::engine
