#pragma once

// Walking text that should be UTF-8 but may come from a broken source. The workbook model holds
// UTF-8, yet a source can hand over what UTF-16 allowed and UTF-8 does not: a surrogate on its
// own, encoded in three bytes as if it were a character. Every writer needs to tell such
// sequences apart from characters, and from bytes that are no UTF-8 at all.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrio::automation::writers {

struct CodePoint {
  std::uint32_t code;   // U+FFFD for a byte that is no UTF-8
  std::uint8_t length;  // bytes taken from the text, at least 1
  bool valid;           // false: `length` bytes that no reader can take as a character
};

// The code point starting at text[at], at < text.size(). A surrogate encoded on its own comes
// back as that surrogate (valid, 0xD800..0xDFFF), unless a low one follows a high one: the pair
// is joined into the character it stands for (length 6). A stray continuation byte, a truncated
// or overlong sequence and a value past U+10FFFF come back one byte at a time, invalid.
CodePoint NextCodePoint(std::string_view text, std::size_t at);

inline bool IsSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDFFF; }

// Whether `text` is well-formed UTF-8 with no surrogate in it; the quick test for the texts that
// need no repair, which are nearly all.
bool IsWellFormedUtf8(std::string_view text);

// `text` with every sequence that is no character (an invalid byte, a surrogate on its own)
// replaced by U+FFFD; `replaced` counts the replacements.
std::string RepairedUtf8(std::string_view text, std::size_t& replaced);

}  // namespace tavrio::automation::writers
