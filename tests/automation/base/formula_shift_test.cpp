// Moving formulas the way a spreadsheet application does when they are copied.

#include "automation/base/formula_shift.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrio::automation {
namespace {

struct ShiftCase {
  const char* formula;
  std::int64_t rows;
  std::int64_t columns;
  const char* expected;
};

TEST(FormulaShiftTest, MovesRelativePartsAndKeepsEverythingElse) {
  const std::vector<ShiftCase> cases = {
      {"A1+B2*2", 3, 0, "A4+B5*2"},
      {"$A$1+A$1+$A1", 3, 2, "$A$1+C$1+$A4"},
      {"SUM(A2:B10)", 5, 0, "SUM(A7:B15)"},
      {"SUM($A$2:B10)", 5, 0, "SUM($A$2:B15)"},
      {"SUM(2:5)+SUM($2:$5)", 1, 0, "SUM(3:6)+SUM($2:$5)"},
      {"SUM(A:C)", 4, 1, "SUM(B:D)"},
      {"Sheet2!A1+'其他 表'!B$2+'It''s'!C3", 2, 0, "Sheet2!A3+'其他 表'!B$2+'It''s'!C5"},
      {"[1]Data!A1", 1, 0, "[1]Data!A2"},
      {"\"A1 stays\"&A1&\"say \"\"B2\"\"\"", 1, 0, "\"A1 stays\"&A2&\"say \"\"B2\"\"\""},
      {"LOG10(A1)+ATAN2(B1,C1)", 1, 0, "LOG10(A2)+ATAN2(B2,C2)"},
      {"IF(ISERROR(A1),#N/A,#DIV/0!)", 1, 0, "IF(ISERROR(A2),#N/A,#DIV/0!)"},
      {"Rate2020*A1+1.5E+10+TRUE", 1, 0, "Rate2020*A2+1.5E+10+TRUE"},
      {"_xlfn.XLOOKUP(A1,B:B,C:C)", 1, 0, "_xlfn.XLOOKUP(A2,B:B,C:C)"},
      {"Table1[[#This Row],[金额]]*A1", 1, 0, "Table1[[#This Row],[金额]]*A2"},
      {"Q1:Q4!A1+数据1", 1, 0, "Q1:Q4!A2+数据1"},
      {"A2-A1", -1, 0, "A1-#REF!"},
      {"SUM(A1:A3)", -1, 0, "SUM(#REF!)"},
      {"Sheet2!A1", -1, 0, "Sheet2!#REF!"},
      {"A1048576", 1, 0, "#REF!"},
      {"$A$1+A1048575", 1, 0, "$A$1+A1048576"},
      {"XFD1", 0, 1, "#REF!"},
      {"a1+b$2", 1, 0, "A2+B$2"},
  };
  for (const ShiftCase& c : cases) {
    SCOPED_TRACE(c.formula);
    EXPECT_EQ(ShiftFormula(c.formula, c.rows, c.columns), c.expected);
  }
}

TEST(FormulaShiftTest, NoMoveLeavesTheTextAlone) {
  EXPECT_EQ(ShiftFormula("a1+ 'x'!b2", 0, 0), "a1+ 'x'!b2");
}

}  // namespace
}  // namespace tavrio::automation
