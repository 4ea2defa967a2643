#pragma once

#include <cstddef>

#include "automation/engine/workbook.h"

namespace tavrio::automation::engine {

// Calculates, on sheet `index` of `workbook` (read from its file first if need be), the
// formulas whose values are the engine's to calculate (kCalculated), as a desktop application
// does on opening a file a program wrote or on pasting such formulas: only when the sheet's
// cells or formulas changed since it was last calculated. Formulas the file stored trusted
// results for keep them and cost one look each; no formula library model is built when no
// formula needs one.
//
// A formula that cannot be calculated (a function the library lacks or computes otherwise, a
// reference into another workbook or to a sheet that does not exist, a cycle) keeps the result
// it holds; one holding none shows #NAME? (#REF! for a reference that cannot be resolved), as
// a desktop application would. An array formula is not calculated: its range keeps the results
// it holds, and it is counted with them. Their number is recorded on the sheet
// (uncalculated_formulas).
// Formulas reading another sheet read its values as they stand. Throws tavrio::Error only as
// reading a sheet from the file does.
void CalculateSheet(Workbook& workbook, std::size_t index);

}  // namespace tavrio::automation::engine
