// Formulas of an .ods file LibreOffice saved from an .xlsx file, read back as the A1 text
// openpyxl reads from that .xlsx file: every formula whose translation is certain comes back
// as it was, and the rest keep their values alone.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/formula_table.h"
#include "tests/automation/readers/ods_formula_fixtures.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/independent_readers.h"

namespace tavrio::automation::readers::testing {
namespace {

// Where LibreOffice saves another formula than the source's, by the source's formula: what it
// saved, in A1 text.
const std::map<std::string, std::string> kSavedDifferently = {
    // TRUE() and FALSE() are saved as calls, which read as the constants.
    {"TRUE()", "TRUE"},
    {"FALSE()", "FALSE"},
};

// Formulas refused by design: functions LibreOffice does not know, which it keeps by a name in
// lower case, and ones without an Excel equivalent certain enough.
bool Refused(const std::string& formula) {
  static const std::set<std::string> kRefused = {"_xlfn.XLOOKUP(1,B1:B3,B1:B3)", "PHONETIC(B1)"};
  return kRefused.contains(formula);
}

std::string Saved(const std::string& formula) {
  const auto found = kSavedDifferently.find(formula);
  return found != kSavedDifferently.end() ? found->second : formula;
}

std::size_t SheetIndex(const WorkbookReader& reader, const std::string& name) {
  for (std::size_t i = 0; i < reader.Sheets().size(); ++i) {
    if (reader.Sheets()[i].name == name) return i;
  }
  ADD_FAILURE() << "no sheet " << name;
  return 0;
}

class OdsFormulaFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (tavrio::testing::MustSkipWithout(!OdsFormulaFixtureDir().empty(),
                                         kOdsFormulaFixtureReaders)) {
      GTEST_SKIP() << kOdsFormulaFixtureReaders << " is not installed";
    }
    expected_ = ReadFormulaTsv(OdsFormulaFixtureDir() + "/formulas.tsv");
    reader_ = OpenWorkbookFile(OdsFormulaFixtureDir() + "/formulas.ods");
  }

  FormulaTable expected_;
  std::unique_ptr<WorkbookReader> reader_;
};

TEST_F(OdsFormulaFilesTest, FormulasReadAsTheSourceSpellsThem) {
  for (const char* sheet : {"数据", "公式"}) {
    SCOPED_TRACE(sheet);
    const SheetFormulas formulas = ReaderFormulas(*reader_, SheetIndex(*reader_, sheet));
    SheetFormulas want;
    for (const auto& [cell, formula] : expected_.at(sheet)) {
      if (!Refused(formula)) want[cell] = Saved(formula);
    }
    EXPECT_EQ(formulas, want);
    EXPECT_GT(want.size(), 50u);
  }
}

// The sheet that calls every function: the calls LibreOffice knows come back under their Excel
// names; the others keep their values alone.
TEST_F(OdsFormulaFilesTest, FunctionsComeBackUnderTheirExcelNames) {
  const SheetFormulas formulas = ReaderFormulas(*reader_, SheetIndex(*reader_, "函数"));
  const SheetFormulas& source = expected_.at("函数");
  for (const auto& [cell, formula] : formulas) {
    SCOPED_TRACE(cell);
    ASSERT_TRUE(source.contains(cell));
    EXPECT_EQ(formula, Saved(source.at(cell)));
  }
  // 357 of 494 with LibreOffice 7.4; the rest are macro-sheet functions and ones it lacks.
  EXPECT_GT(formulas.size(), 350u);
  EXPECT_LT(formulas.size(), source.size());
}

// A refused formula keeps the value LibreOffice saved.
TEST_F(OdsFormulaFilesTest, ARefusedFormulaKeepsItsValue) {
  RecordingSink sink;
  reader_->ReadSheet(SheetIndex(*reader_, "公式"), sink);
  for (const auto& [cell, formula] : expected_.at("公式")) {
    if (!Refused(formula)) continue;
    SCOPED_TRACE(cell);
    EXPECT_TRUE(sink.At(cell).formula.empty());
    EXPECT_EQ(sink.At(cell).kind, Kind::kError);
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
