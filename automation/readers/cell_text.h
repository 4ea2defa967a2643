#pragma once

// Decoding of the small texts inside sheet XML: cell references, numbers, ISO 8601 dates and
// the _xHHHH_ escapes that spreadsheet applications use for characters XML cannot hold.
// None of these allocate unless a text really holds an escape.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrio::automation::readers {

inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint16_t kMaxColumns = 16384;

enum class ReferenceStatus { kValid, kMalformed, kOutOfRange };

// Reads "B7" (letters then digits, no '$'). kOutOfRange for rows past 1,048,576 or columns past
// XFD (16,384).
ReferenceStatus ParseCellReference(std::string_view text, std::uint32_t& row,
                                   std::uint16_t& column);

// "A", "XFD", ... for column 1..16384.
std::string ColumnName(std::uint16_t column);

// A plain decimal number as spreadsheet XML holds it; false for anything else, including
// infinities and NaN, which no cell can hold.
bool ParseNumber(std::string_view text, double& value);

// The quick way for what nearly every number in a sheet looks like: digits with an optional
// '-' and fractional part ("-12.5", "40003"), 15 digits at most. Such a mantissa and the power
// of ten below it are both exact doubles, so one division rounds once and gives what
// std::from_chars gives. Returns false, leaving `value` alone, for anything else.
bool ParseShortDecimal(std::string_view text, double& value);

// "2024-01-15", "2024-01-15T10:30:00.5", "10:30:00" (time only) to a serial number in the
// 1900 (counting its fictitious 1900-02-29) or 1904 date system. False when malformed or before
// the system's first day.
bool ParseIsoDate(std::string_view text, bool date1904, double& serial);

// Appends a Unicode code point as UTF-8.
void AppendUtf8(std::uint32_t code, std::string& out);

// Decodes _xHHHH_ escapes (UTF-16 code units, surrogate pairs joined) into UTF-8. Returns `text`
// itself when it holds none, else a view of `scratch`.
std::string_view DecodeEscapes(std::string_view text, std::string& scratch);

}  // namespace tavrio::automation::readers
