#include "automation/writers/sheet_names.h"

#include <algorithm>

#include "automation/engine/engine_text.h"
#include "automation/base/utf8.h"
#include "automation/writers/code_points.h"

namespace tavrio::automation::writers {
namespace {

constexpr std::string_view kForbidden = "[]:*?/\\";

// UTF-16 code units of the name as it will be written: a byte that is no UTF-8 becomes U+FFFD.
std::size_t Utf16Units(std::string_view name) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < name.size();) {
    const CodePoint point = NextCodePoint(name, i);
    units += point.code > 0xFFFF ? 2 : 1;
    i += point.length;
  }
  return units;
}

// The name as it is written: bytes that are no UTF-8 as U+FFFD, a pair encoded half by half as
// its character, a lone surrogate kept (the XML writer escapes it). `lost` tells whether any
// byte was replaced.
std::string AsWritten(std::string_view name, bool& lost) {
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    const CodePoint point = NextCodePoint(name, i);
    lost = lost || !point.valid;
    if (!point.valid || point.length == 6) {
      AppendUtf8(point.code, out);
    } else {
      out.append(name.substr(i, point.length));
    }
    i += point.length;
  }
  return out;
}

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
  return !name.empty() && Utf16Units(name) <= kMaxSheetNameLength &&
         name.find_first_of(kForbidden) == std::string_view::npos && name.front() != '\'' &&
         name.back() != '\'' && !engine::EqualsIgnoringCase(name, "History");
}

std::vector<std::string> SavedSheetNames(const engine::Workbook& workbook, std::size_t& replaced,
                                         std::size_t& renamed) {
  const std::size_t count = workbook.SheetCount();
  std::vector<std::string> written(count);
  std::vector<std::string> names(count);
  for (std::size_t i = 0; i < count; ++i) {
    bool lost = false;
    written[i] = AsWritten(workbook.SheetAt(i).name(), lost);
    if (lost) ++replaced;
    if (IsValidSheetName(written[i]) && !Taken(names, written[i])) names[i] = written[i];
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!names[i].empty()) continue;
    std::string base = Repaired(written[i], kMaxSheetNameLength);
    if (base.empty()) base = "Sheet" + std::to_string(i + 1);
    names[i] = Free(names, base);
    ++renamed;
  }
  return names;
}

}  // namespace tavrio::automation::writers
