#pragma once

// The cells of one sheet of a binary workbook (BIFF2 to BIFF8), read from its substream and
// handed to a CellSink a row at a time, with row heights and merged cells after them. Records
// a merge has no use for (charts embedded in the sheet with their own substreams, drawings,
// objects, pictures, comments) are skipped by their length.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "automation/readers/biff_workbook.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

// The tokens a shared or array formula's SHRFMLA or ARRAY record holds, with the cells it
// covers (0-based, inclusive).
struct BiffSharedFormula {
  std::uint16_t first_row = 0, last_row = 0;
  std::uint16_t first_column = 0, last_column = 0;
  bool array = false;
  std::string_view tokens;  // parsed expression (rgce)
  std::string_view extra;   // what the tokens refer to after them (array constants, rgcb)
};

// Everything known of one formula cell's formula, in one place: what the token decoder
// (biff_formula.h) needs to give it its text.
struct BiffFormula {
  BiffVersion version = BiffVersion::kBiff8;
  std::uint16_t row = 0, column = 0;  // 0-based
  std::string_view tokens;
  std::string_view extra;
  // Set when the tokens only point at the shared or array formula anchored elsewhere (PtgExp);
  // null when that record is missing.
  const BiffSharedFormula* shared = nullptr;
};

// Reads the sheet whose BOF record starts at `offset` in `stream`. A chart sheet has no cells.
// Throws ReadFault when its records are damaged or a cell lies outside the grid.
void ReadBiffSheet(std::string_view stream, std::size_t offset, const BiffWorkbook& workbook,
                   CellSink& sink);

}  // namespace tavrio::automation::readers
