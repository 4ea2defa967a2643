#pragma once

// Formulas of Excel 2.x-2003 workbooks (.xls, BIFF2 to BIFF8), stored as parsed tokens, turned
// into the A1 text an .xlsx file keeps (without the leading '='), so that a pasted formula
// moves the same way whatever file it came from (ShiftFormula in formula_shift.h).
//
// Only what can be read for certain becomes text: a token not known here, a reference into
// another workbook, a deleted sheet, an array formula or data table, or damaged bytes give no
// text at all, and the caller keeps the formula's cached value instead. A wrong formula in the
// merged workbook would compute wrong results without anyone noticing; a value stays right.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavrio::automation::readers {

// The sheets a 3-D reference spans within this workbook, by name; `last` is empty when it is
// one sheet ("Sheet2!A1"), else the reference reads "Sheet1:Sheet3!A1".
struct BiffSheetSpan {
  std::string first;
  std::string last;
};

// The tokens of a shared formula (the SHRFMLA record's rgce and rgcb), valid for the duration
// of the DecodeBiffFormula call that asked for them.
struct BiffSharedTokens {
  std::span<const std::uint8_t> rgce;
  std::span<const std::uint8_t> rgcb;
};

// What a formula's tokens refer to outside themselves. Every lookup may be left empty: a
// formula that needs it then gives no text. Each returns nullopt for what it cannot name.
struct BiffFormulaContext {
  // 2, 3, 4, 5, 7 or 8 (the BOF record's version; BIFF7 tokens are BIFF5's). Any other value
  // gives no text.
  int biff = 8;
  // The cell holding the formula, 0-based: relative references of a shared formula are offsets
  // from it.
  std::uint32_t row = 0;
  std::uint16_t column = 0;

  // BIFF8: the sheets of the EXTERNSHEET entry `ixti` (0-based). nullopt for an entry into
  // another workbook, an add-in, or a deleted sheet.
  std::function<std::optional<BiffSheetSpan>(std::uint16_t ixti)> externsheet_sheets;
  // BIFF5/7: the name of this workbook's sheet at 0-based position `index` (BOUNDSHEET order).
  // BIFF5 references into other workbooks give no text without asking.
  std::function<std::optional<std::string>(std::uint16_t index)> sheet_name;
  // The defined name of the 1-based NAME record `index`, as a formula spells it ("税率").
  std::function<std::optional<std::string>(std::uint32_t index)> defined_name;
  // The external name `index` (1-based, EXTERNNAME order) of EXTERNSHEET entry `sheet` (BIFF8:
  // ixti, 0-based; BIFF5/7: the raw ixals field): an add-in function's name ("EDATE") or a
  // newer function's ("_xlfn.IFERROR", written out as Excel 2007 spells it: "IFERROR").
  std::function<std::optional<std::string>(std::uint16_t sheet, std::uint32_t index)> external_name;
  // The shared formula whose first cell is at (row, column), 0-based, as a PtgExp token names
  // it. nullopt for an array formula or data table there: a data table keeps its values, as
  // the .xlsx path keeps them, and an array formula's own tokens are read on its top-left cell
  // by the sheet's reader. Shared formulas exist from BIFF5 on.
  std::function<std::optional<BiffSharedTokens>(std::uint32_t row, std::uint16_t column)>
      shared_formula;
  // BIFF2-7: a string constant's bytes in the workbook's code page (CODEPAGE record), as UTF-8;
  // nullopt when they are not valid there. Unset: only ASCII strings are read.
  std::function<std::optional<std::string>(std::string_view bytes)> decode_bytes;
};

// The formula text of a cell's tokens, without the '=': rgce is the token stream (the FORMULA
// record's, after its length field), rgcb the extra data that follows it in the record (array
// constants, PtgMemArea's ranges). nullopt for anything not read for certain (see the top of
// this file). Spaces the author typed (PtgAttrSpace) are dropped; parentheses are kept as
// typed. A reference's sheet name is quoted when a formula needs it ('Q1 销售'!A1). An area
// spanning every row of the file's sheet (65,536 rows in BIFF8, 16,384 before) reads as whole
// columns (A:B), every column (256) as whole rows (1:3), as Excel reads them. Longer than
// 8,192 characters, the most a cell's formula may hold, gives nullopt. A call by name (function
// 255) reads as NAME(arguments) with the name its first operand gives. The layouts of the
// oldest files are read only where certain: BIFF2-4 defined and external names, and BIFF2's
// attribute tokens (which also carry SUM of one argument), give nullopt.
std::optional<std::string> DecodeBiffFormula(std::span<const std::uint8_t> rgce,
                                             std::span<const std::uint8_t> rgcb,
                                             const BiffFormulaContext& context);

}  // namespace tavrio::automation::readers
