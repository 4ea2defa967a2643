#pragma once

// The pieces of a number format code, read the way spreadsheet applications read them: the one
// reader of format codes, for what a cell shows (the sheet windows) and for whether a value is a
// date or a time (the engine, the CSV writer).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::engine {

enum class TokenKind {
  kLiteral,      // text shown as is: quoted, escaped, a padding's space, a currency symbol
  kDigit,        // 0, # or ?
  kPoint,        // the decimal point
  kComma,        // thousands separator or, after the last digit, a division by 1000
  kPercent,      // multiplies by 100 and shows "%"
  kExponent,     // E+ or E-
  kGeneral,      // "General"
  kText,         // @
  kYear,         // y, yy, yyyy, e
  kMonth,        // m..mmmmm (a month unless it stands next to hours or seconds)
  kMinute,       // m or mm next to hours or seconds
  kDay,          // d, dd; ddd and dddd are weekday names
  kWeekday,      // aaa, aaaa: the weekday in Chinese
  kHour,         // h, hh
  kSecond,       // s, ss
  kSubsecond,    // .0, .00, .000 after seconds
  kAmPm,         // AM/PM, A/P, 上午/下午
  kElapsedHour,  // [h]
  kElapsedMinute,
  kElapsedSecond,
};

struct FormatToken {
  TokenKind kind;
  std::string text;  // the literal, or the code as written ("yyyy", "0", "E+", "AM/PM")
};

// One section of a format code, split into tokens. A colour in brackets ([Red], [红色],
// [Color10]) is kept as its RGB value; conditions and locale tags are dropped; a currency tag
// [$¥-804] leaves its symbol as a literal.
struct FormatSection {
  std::vector<FormatToken> tokens;
  std::optional<std::uint32_t> color;  // 0xRRGGBB
  bool IsDate() const;
  bool Has(TokenKind kind) const;
};

// The RGB value (0xRRGGBB) of a colour as written inside a format code's brackets: the eight
// colour names in English (any case) or Chinese, or Color1..Color56 of the default palette.
std::optional<std::uint32_t> FormatColor(std::string_view name);

// The code's sections, split at semicolons outside quotes, escapes and brackets.
std::vector<FormatSection> ParseFormatCode(std::string_view code);

}  // namespace tavrio::automation::engine
