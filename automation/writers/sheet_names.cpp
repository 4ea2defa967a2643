#include "automation/writers/sheet_names.h"

#include <algorithm>

#include "automation/engine/engine_text.h"
#include "automation/writers/code_points.h"

namespace tavrio::automation::writers {
namespace {

constexpr std::string_view kForbidden = "[]:*?/\\";

bool Taken(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [name](const std::string& other) {
    return !other.empty() && engine::EqualsIgnoringCase(other, name);
  });
}

// `name` with what no sheet name may hold taken out, at most `max_units` UTF-16 units long.
std::string Repaired(std::string_view name, std::size_t max_units) {
  std::string out;
  std::size_t units = 0;
  for (std::size_t i = 0; i < name.size();) {
    const CodePoint point = NextCodePoint(name, i);
    const std::size_t width = point.code > 0xFFFF ? 2 : 1;
    if (units + width > max_units) break;
    units += width;
    if (point.length == 1 && kForbidden.find(name[i]) != std::string_view::npos) {
      out.push_back('_');
    } else {
      out.append(name.substr(i, point.length));
    }
    i += point.length;
  }
  while (!out.empty() && out.front() == '\'') out.erase(0, 1);
  while (!out.empty() && out.back() == '\'') out.pop_back();
  return out;
}

// `base` made free: "base (2)", "base (3)"…, cut so that the whole stays within 31 units.
std::string Free(const std::vector<std::string>& names, const std::string& base) {
  if (!base.empty() && IsValidSheetName(base) && !Taken(names, base)) return base;
  for (std::size_t n = 2;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    const std::string candidate = Repaired(base, kMaxSheetNameLength - suffix.size()) + suffix;
    if (IsValidSheetName(candidate) && !Taken(names, candidate)) return candidate;
  }
}

}  // namespace

bool IsValidSheetName(std::string_view name) {
  return !name.empty() && engine::Utf16Length(name) <= kMaxSheetNameLength &&
         name.find_first_of(kForbidden) == std::string_view::npos && name.front() != '\'' &&
         name.back() != '\'' && !engine::EqualsIgnoringCase(name, "History");
}

std::vector<std::string> SavedSheetNames(const engine::Workbook& workbook, std::size_t& renamed) {
  const std::size_t count = workbook.SheetCount();
  std::vector<std::string> names(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& name = workbook.SheetAt(i).name();
    if (IsValidSheetName(name) && !Taken(names, name)) names[i] = name;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!names[i].empty()) continue;
    std::string base = Repaired(workbook.SheetAt(i).name(), kMaxSheetNameLength);
    if (base.empty()) base = "Sheet" + std::to_string(i + 1);
    names[i] = Free(names, base);
    ++renamed;
  }
  return names;
}

}  // namespace tavrio::automation::writers
