#pragma once

// Character classes of the ASCII range, as file formats define them: never the process locale's,
// which a window toolkit may have set to the user's. Text in other scripts is left to ICU.

#include <string>
#include <string_view>

namespace tavrio::automation {

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// The white space XML allows between markup: space, tab, carriage return, line feed.
constexpr bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// XML's white space and form feed, which HTML also counts.
constexpr bool IsHtmlSpace(char c) { return IsXmlSpace(c) || c == '\f'; }
constexpr char AsciiLowercase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr char AsciiUppercase(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// ASCII letters lowered, every other byte (UTF-8 included) kept: for names that formats define
// in ASCII (tags, attribute values, file extensions, charset labels).
inline std::string AsciiLowercase(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiLowercase(c);
  return lowered;
}

}  // namespace tavrio::automation
