#pragma once

// What the formulas of a binary workbook refer to outside their own cells, gathered from the
// workbook globals: sheets by position, the EXTERNSHEET entries of BIFF8 3-D references, the
// defined names (NAME) and the external names (SUPBOOK, EXTERNNAME) add-in and newer
// functions are called by. Everything a formula needs and this cannot name for certain stays
// unnamed, and that formula keeps its value alone.

#include <cstdint>
#include <string>
#include <vector>

#include "automation/readers/biff_formula.h"
#include "automation/readers/biff_stream.h"
#include "automation/readers/biff_text.h"

namespace tavrio::automation::readers {

class BiffFormulaNames {
 public:
  // Takes `record` when it is one of the records above (else returns false). A name cut short
  // stays unnamed rather than refusing the workbook. Every BOUNDSHEET record counts, Visual Basic
  // modules included: a reference counts sheets by their position among all of them.
  bool Take(const BiffRecord& record, const BiffText& text);

  // Sets the lookups of `context` that the globals answer (all but shared_formula) to answer
  // from this object, which must outlive `context`. BIFF2-4 files and BIFF5/7 external names
  // get none: their layouts are not read here for certain.
  void Fill(BiffFormulaContext& context, const BiffText& text) const;

 private:
  struct Book {
    bool self = false;     // the SUPBOOK of this workbook's own sheets
    bool add_ins = false;  // the one whose external names are add-in functions
    std::vector<std::string> external_names;
  };
  struct Xti {
    std::uint16_t book, first, last;
  };

  std::vector<std::string> sheets_;
  std::vector<std::string> defined_;  // empty for a built-in name (print area, filter)
  std::vector<Book> books_;
  std::vector<Xti> xti_;
};

}  // namespace tavrio::automation::readers
