#pragma once

// Splits comma- or tab-separated text into fields as RFC 4180 describes, with the tolerance
// desktop spreadsheet applications show: lines may end in CRLF, LF or a lone CR; a quoted field
// may hold delimiters, doubled quotes and line breaks; text after a closing quote is kept; a
// quote inside an unquoted field is an ordinary character.

#include <cstdint>
#include <functional>
#include <string_view>

namespace tavrio::automation::readers {

// Called for each field with its 1-based row and column and its text (valid only during the
// call); `quoted` tells whether it was written in quotes.
using FieldHandler = std::function<void(std::uint64_t row, std::uint64_t column,
                                        std::string_view text, bool quoted)>;

// Hands over every non-empty field of `text`. An empty last line makes no row. Throws ReadFault
// when a quoted field never closes, naming the line where it began.
void SplitDelimitedText(std::string_view text, char delimiter, const FieldHandler& field);

}  // namespace tavrio::automation::readers
