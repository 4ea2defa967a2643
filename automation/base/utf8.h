#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrio::automation {

// Appends a code point below 0x110000 as UTF-8, a surrogate too (encoded on its own, as broken
// sources hold one), for the caller that must carry it.
void AppendUtf8(std::uint32_t code, std::string& out);

// Length of UTF-8 text in UTF-16 code units, the unit in which spreadsheet applications count a
// cell's text (a character past U+FFFF counts two).
std::size_t Utf16Length(std::string_view text);

}  // namespace tavrio::automation
