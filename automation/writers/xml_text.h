#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "automation/writers/text_buffer.h"

namespace tavrio::automation::writers {

// Appends `text` as XML character data or attribute value, so that the part stays well-formed
// XML 1.0 and the text reads back exactly, whatever it holds:
// - markup characters as entities, a carriage return as a character reference (XML reads a
//   literal one as a line feed);
// - every code point XML 1.0 does not allow (the C0 controls but tab, line feed and carriage
//   return; U+FFFE and U+FFFF; a surrogate on its own) in the _xHHHH_ form spreadsheet
//   applications decode, and an underscore that would read as such a form as _x005F_;
// - bytes that are no UTF-8 at all as U+FFFD, the one thing no escape can carry.
// Returns how many of those bytes were replaced: zero for every text a reader produced.
std::size_t AppendXmlText(TextBuffer& out, std::string_view text);

// The same for an attribute's value, where an XML parser turns a literal tab or line feed into
// a blank: those go as character references too.
std::size_t AppendXmlAttribute(std::string& out, std::string_view text);

// Whether a cell's text needs xml:space="preserve" to keep its blanks and line breaks.
bool NeedsSpacePreserved(std::string_view text);

}  // namespace tavrio::automation::writers
