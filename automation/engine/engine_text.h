#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrio::automation::engine {

// Names of sheets, windows and workbooks compare without regard to case, as desktop spreadsheet
// applications compare them: letter by letter, by Unicode's simple case folding, so "ß" stays
// apart from "ss" and full-width letters fold like their narrow forms. Malformed UTF-8 bytes
// compare as themselves.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The number a row given as text stands for: blanks around it allowed, any decimal notation
// whose value is a whole number ("3", " 3 ", "3.0", "3e0"). Empty when the text is no number or
// not a whole one; the caller checks the range.
std::optional<double> WholeNumber(std::string_view text);

// Rows given as "R" or "R1:R2" (either order), each 1..1,048,576; empty for anything else.
struct RowSpan {
  std::uint32_t first;
  std::uint32_t last;
};
std::optional<RowSpan> ParseRowSpan(std::string_view text);

// The folder-independent identity of a path: symbolic links, "." and ".." and doubled
// separators resolved as far as the path exists.
std::string CanonicalPath(const std::string& path);

}  // namespace tavrio::automation::engine
