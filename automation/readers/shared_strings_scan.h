#pragma once

// The shared-strings part read in one pass over its bytes, without building a tree. It takes
// only the plain shape spreadsheet applications write (a root holding <si> items of <t> texts
// and <r> runs, with run properties, phonetic guides and other elements skipped); anything
// else it declines, and the caller reads the part with the general XML parser, which judges
// it and words the error exactly as for any other part.

#include <optional>
#include <string_view>

#include "automation/readers/shared_strings.h"

namespace tavrio::automation::readers {

// The table, or nothing when the text holds a construct this pass leaves to the general parser
// (comments, CDATA, processing instructions past the prolog, declarations, unknown entities,
// deep nesting, mismatched or malformed tags, text after the root).
std::optional<SharedStrings> ScanSharedStrings(std::string_view xml);

}  // namespace tavrio::automation::readers
