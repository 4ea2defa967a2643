#pragma once

// The names sheets take in a saved .xlsx. Spreadsheet applications refuse a workbook whose
// sheet name is empty, longer than 31 characters, holds one of [ ] : * ? / \, begins or ends
// with an apostrophe, is "History" (reserved), or repeats another sheet's name ignoring case;
// openpyxl refuses the same. A name from another format (a CSV's file name, say) can be any of
// these, so the writer changes such a name just enough, and keeps every valid one as it is.

#include <string>
#include <string_view>
#include <vector>

#include "automation/engine/workbook.h"

namespace tavrio::automation::writers {

inline constexpr std::size_t kMaxSheetNameLength = 31;  // UTF-16 code units

// Whether `name` alone may be a sheet's name (not looking at the other sheets).
bool IsValidSheetName(std::string_view name);

// One name per sheet, in order, as it goes into the file. Bytes that are no UTF-8 become U+FFFD
// first (`replaced` counts the names it happened to), since two names can differ only there.
// Valid names are kept, the first of equal ones (ignoring case) winning; any other name has
// the forbidden characters replaced by '_', the apostrophes at its ends dropped, is cut to 31
// characters (a character never split), and, when that leaves it empty or taken, becomes
// "Sheet<N>" or gets " (2)", " (3)"… `renamed` counts the names changed so.
std::vector<std::string> SavedSheetNames(const engine::Workbook& workbook, std::size_t& replaced,
                                         std::size_t& renamed);

}  // namespace tavrio::automation::writers
