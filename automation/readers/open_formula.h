#pragma once

// OpenDocument formulas (OpenFormula: "of:=SUM([.A1:.B2];[$Sheet2.C3])") in the A1 text an
// .xlsx file keeps ("SUM(A1:B2,Sheet2!C3)"), so that a formula read from an .ods file moves on
// paste and is saved like one read from an .xlsx file.

#include <optional>
#include <string>
#include <string_view>

namespace tavrio::automation::readers {

// The formula of a table:formula attribute as A1 text without the '='; nullopt unless every
// part of it has an .xlsx equivalent known for certain, so that a caller keeps the cell's
// stored value instead of a formula that would calculate otherwise. Taken: the "of:" namespace
// or none ("=[.A1]"). Refused: other namespaces (OpenOffice.org 1's "oooc:"; Excel 2007's
// "msoxl:", whose text is Excel's as typed, newer functions without their .xlsx prefix, and
// cannot be told sound from garbage short of parsing Excel's own grammar), references into
// other files, a reference whose range starts on the formula's own sheet and ends on a named
// one, functions without an Excel equivalent (open_formula_functions.h), a union (~) anywhere
// but alone in its own parentheses ("(A1,B2)" is Excel's only spelling of it), a reference
// operator (:, !, ~) beside a name or a constant, names Excel reads as a cell or a boolean,
// addresses past XFD or row 1,048,576, bytes that are not UTF-8, and anything that does not
// parse. White space between tokens is dropped: Excel reads a space as the intersection, which
// OpenFormula spells "!". A reference to a deleted cell ("[.#REF!]") reads as #REF!; TRUE()
// and FALSE() read as the constants.
std::optional<std::string> TranslateOpenFormula(std::string_view attribute);

}  // namespace tavrio::automation::readers
