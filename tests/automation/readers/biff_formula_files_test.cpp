// Formulas of .xls files LibreOffice saved, decoded to the text openpyxl reads from the .xlsx
// they were saved from.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "automation/base/cell_address.h"
#include "automation/readers/biff_formula.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/biff_fixtures.h"
#include "tests/automation/readers/biff_test_workbook.h"
#include "tests/automation/readers/formula_table.h"
#include "tests/support/independent_readers.h"

namespace tavrio::automation::readers::testing {
namespace {

// Where LibreOffice saves other tokens than the source's formula, by that formula: the text
// the saved tokens spell.
const std::map<std::string, std::string> kSavedDifferently = {
    // A reference spanning sheets is always saved as an area.
    {"SUM(Jan:Mar!A1)", "SUM(Jan:Mar!A1:A1)"},
    // Whole rows are saved as a deleted area.
    {"SUM(1:1)", "SUM(#REF!)"},
    // TRUE() and FALSE() are saved as the constants.
    {"TRUE()", "TRUE"},
    {"FALSE()", "FALSE"},
    // ERROR.TYPE is saved as a call by name, under the name of the newer function.
    {"ERROR.TYPE(1)", "_xlfn.ERROR.TYPE(1)"},
    // Functions LibreOffice cannot save in .xls become the error value.
    {"DBCS(1)", "#N/A"},
    {"DATESTRING(1)", "#N/A"},
    {"NUMBERSTRING(1,1)", "#N/A"},
    {"PHONETIC(1)", "#N/A"},
    {"BAHTTEXT(1)", "#N/A"},
};

// The formula LibreOffice's tokens for the source's `text` spell.
std::string Saved(const std::string& text) {
  const auto different = kSavedDifferently.find(text);
  return different != kSavedDifferently.end() ? different->second : text;
}

// Decodes every formula of every sheet and compares it with what openpyxl read from the
// source; returns how many were compared.
int CompareFormulas(const std::string& xls, const FormulaTable& expected) {
  BiffTestWorkbook workbook(ReadWorkbookStream(xls));
  int compared = 0;
  for (std::size_t sheet = 0; sheet < workbook.sheet_names().size(); ++sheet) {
    const std::string& name = workbook.sheet_names()[sheet];
    const auto wanted = expected.find(name);
    std::size_t found = 0;
    for (const BiffTestFormula& formula : workbook.Formulas(sheet)) {
      const std::string cell = CellReference(formula.row + 1, formula.column + 1);
      SCOPED_TRACE(name + "!" + cell);
      if (wanted == expected.end() || !wanted->second.contains(cell)) {
        ADD_FAILURE() << "a formula the source does not hold";
        continue;
      }
      const std::string want = Saved(wanted->second.find(cell)->second);
      EXPECT_EQ(DecodeBiffFormula(formula.rgce, formula.rgcb,
                                  workbook.Context(sheet, formula.row, formula.column)),
                want);
      ++found;
      ++compared;
    }
    if (wanted != expected.end()) {
      EXPECT_EQ(found, wanted->second.size()) << name;
    }
  }
  return compared;
}

TEST(BiffFormulaFilesTest, LibreOfficeFormulasReadAsTheSourceSpellsThem) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  const FormulaTable expected = ReadFormulaTsv(dir + "/formulas.tsv");
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_GT(CompareFormulas(dir + "/formulas.xls", expected), 250);
}

// The reader, as a merge opens the file, hands over the same formulas beside their results.
TEST(BiffFormulaFilesTest, TheReaderHandsOverEveryFormula) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  const FormulaTable expected = ReadFormulaTsv(dir + "/formulas.tsv");
  auto reader = OpenWorkbookFile(dir + "/formulas.xls");
  std::size_t compared = 0;
  for (std::size_t sheet = 0; sheet < reader->Sheets().size(); ++sheet) {
    const std::string& name = reader->Sheets()[sheet].name;
    const SheetFormulas formulas = ReaderFormulas(*reader, sheet);
    SheetFormulas want;
    if (expected.contains(name)) {
      for (const auto& [cell, text] : expected.at(name)) want[cell] = Saved(text);
    }
    EXPECT_EQ(formulas, want) << name;
    compared += want.size();
  }
  EXPECT_GT(compared, 250u);
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
