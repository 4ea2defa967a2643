#pragma once

// The value of one OpenDocument table cell: its office:value-type with the matching value
// attribute, or its paragraphs as text. A formula cell's value is the result it had when the
// file was saved; its formula is ods_rows.h's business.

#include <cstdint>
#include <pugixml.hpp>
#include <string>

namespace tavrio::automation::readers {

struct OdsValue {
  enum Kind { kNone, kNumber, kText, kBoolean, kError };
  Kind kind = kNone;
  double number = 0;  // also a boolean's 0 or 1
  std::string text;
  std::uint32_t style = 0;  // an OdsStyle, for numbers
};

// Throws ReadFault naming the cell when a value attribute is not what its type promises.
OdsValue ReadOdsValue(pugi::xml_node cell, std::uint64_t row, std::uint64_t column);

// "2023-12-31" or "2024-01-15T06:00:00[.fff]" as a 1900-system serial number; false for a
// malformed value or a day before 1899-12-30, which that system cannot count.
bool OdsDateSerial(std::string_view text, double& serial, bool& has_time);

// An ISO 8601 duration such as "PT10H30M15S" or "-P1DT2H" in days; false when malformed.
bool OdsDurationDays(std::string_view text, double& days);

// The text of a cell's paragraphs, joined by line breaks, with text:s, text:tab and
// text:line-break spelt out.
std::string OdsCellText(pugi::xml_node cell);

}  // namespace tavrio::automation::readers
