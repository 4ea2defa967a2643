#include "automation/engine/style_table.h"

#include "automation/engine/number_format.h"

namespace tavrio::automation::engine {

StyleTable::StyleTable() { Intern(CellStyle{}); }

std::uint32_t StyleTable::Intern(const CellStyle& style) {
  auto [it, added] = ids_.try_emplace(style.Key(), static_cast<std::uint32_t>(styles_.size()));
  if (added) {
    styles_.push_back(style);
    shows_date_.push_back(ClassifyNumberFormat(style.number_format).date);
  }
  return it->second;
}

}  // namespace tavrio::automation::engine
