#pragma once

// The pieces of formula text the BIFF formula decoder writes: constants and sheet names spelled
// as an .xlsx file spells them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavrio::automation::readers {

// "#DIV/0!" for error code 0x07; nullopt for a code that names no error.
std::optional<std::string_view> BiffErrorText(std::uint8_t code);

// The number as the shortest text that reads back as the same double ("0.1", "1E+100");
// nullopt for NaN and infinities, which no formula can hold.
std::optional<std::string> FormulaNumberText(double value);

// The text in double quotes, a quote inside doubled: "说""好""".
std::string FormulaStringText(std::string_view utf8);

// UTF-16LE code units (or, when `compressed`, one byte per code unit: the low byte) as UTF-8.
// nullopt for a lone surrogate, which no formula text can carry.
std::optional<std::string> Utf16ToUtf8(std::span<const std::uint8_t> bytes, bool compressed);

// "Sheet2!", "'Q1 销售'!", "Jan:Mar!" or "'Jan 1:Mar'!": the prefix of a reference into the
// sheets first to last (last empty: first alone), quoted where a formula must quote it: a
// character other than a letter, digit, '_' or '.', a leading digit or '.', or a name that
// reads as a cell (A1, R1C1) or as TRUE/FALSE. A quote inside a name is doubled.
std::string SheetPrefix(std::string_view first, std::string_view last);

// Whether `name` stands in a formula without quotes, by the rule above: false for a name a
// formula would read as a cell, a boolean or something else than a name.
bool IsPlainFormulaName(std::string_view name);

}  // namespace tavrio::automation::readers
