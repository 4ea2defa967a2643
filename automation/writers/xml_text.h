#pragma once

#include <string>
#include <string_view>

namespace tavrio::automation::writers {

// Appends `text` as XML character data or attribute value: markup characters as entities, a
// carriage return as a character reference (XML reads a literal one as a line feed), and the
// control characters XML 1.0 cannot carry in the _xHHHH_ form spreadsheet applications decode; an
// underscore that would read as such a form is itself escaped
// (_x005F_), so every text reads back exactly.
void AppendXmlText(std::string& out, std::string_view text);

// Whether a cell's text needs xml:space="preserve" to keep its blanks and line breaks.
bool NeedsSpacePreserved(std::string_view text);

}  // namespace tavrio::automation::writers
