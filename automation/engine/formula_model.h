#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/engine/cell.h"
#include "automation/engine/sheet.h"

namespace tavrio::automation::engine {

// A value a formula reads or computes. kBlank only for a place that holds nothing.
struct FormulaValue {
  CellType type = CellType::kBlank;
  double number = 0;  // kNumber
  bool boolean = false;
  std::string text;  // kText; kError: its spelling ("#DIV/0!")
};

// A rectangle of one sheet (by its index in the workbook) that a formula reads.
struct FormulaReference {
  std::size_t sheet;
  CellRange range;
};

// The formula library (libixion) behind the engine's own terms: one model holds a batch of
// formulas and the values they read, places 1-based as everywhere in the engine. Only what the
// library computes as a spreadsheet application does comes back as a value; everything else is
// refused, so that a caller never shows a result the user's application would not:
// - functions the library lacks (found by trying each once), and a few it has but computes
//   otherwise (NOW counts days from
//   another origin, LEFT and LEN count bytes of UTF-8 rather than characters, ISERROR and its
//   kin pass the error on instead of answering TRUE);
// - whole-column and whole-row references, which the library answers with #REF!;
// - joining texts (& and CONCATENATE) with numbers it would shorten to six digits;
// - any error result but #DIV/0!: the library's #NAME?, #NUM!, #VALUE! come from what it cannot
//   read or convert ("10%", 1+"2", TRUE), not from what the user's application would say.
// Comparing texts is case-sensitive in the library and case-blind in spreadsheet applications;
// that difference is not detected.
class FormulaModel {
 public:
  explicit FormulaModel(const std::vector<std::string>& sheet_names);
  FormulaModel(const FormulaModel&) = delete;
  FormulaModel& operator=(const FormulaModel&) = delete;
  ~FormulaModel();

  enum class Reading {
    kReady,             // in the model; its references were appended
    kUnknownReference,  // names a sheet or workbook the model does not hold
    kUnsupported,       // syntax or functions the library does not compute as applications do
  };
  // Reads `text` (without '=') as the formula at that place and appends the rectangles it reads
  // to `references`. Only a formula read kReady is in the model.
  Reading AddFormula(std::size_t sheet, std::uint32_t row, std::uint32_t column,
                     std::string_view text, std::vector<FormulaReference>& references);
  // Puts a value the model's formulas read. An error value the library cannot hold (#N/A,
  // #NUM!, ...) returns false and is not put.
  bool SetValue(std::size_t sheet, std::uint32_t row, std::uint32_t column,
                const FormulaValue& value);
  // Calculates the formula added at that place. Every formula it reads must have been
  // calculated (or given a result) before. nullopt when the result is not one a spreadsheet
  // application would show; formulas that read this one then see an error until SetResult.
  std::optional<FormulaValue> Calculate(std::size_t sheet, std::uint32_t row, std::uint32_t column);
  // What formulas reading the place see, for a formula Calculate did not answer.
  void SetResult(std::size_t sheet, std::uint32_t row, std::uint32_t column,
                 const FormulaValue& value);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrio::automation::engine
