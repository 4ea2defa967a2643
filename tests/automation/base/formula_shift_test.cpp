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

// Columns rearranged by header: A->B, B->A, C->C, D->E, E has no place.
TEST(MoveFormulaColumnsTest, ReferencesFollowTheirCellsOrGiveUp) {
  const std::vector<std::uint32_t> columns = {2, 1, 3, 5, 0};
  const struct {
    const char* formula;
    std::int64_t rows;
    std::optional<std::string> expected;
  } cases[] = {
      {"A2*2", 2, "B4*2"},
      {"$A$1+B$1+$D2", 3, "$B$1+A$1+$E5"},
      {"SUM(C2:D2)", 1, std::nullopt},  // C and D are no longer side by side
      {"SUM(C2:C9)+SUM(2:3)", 1, "SUM(C3:C10)+SUM(3:4)"},
      {"XLOOKUP(A2,A:A,C:C)", 0, "XLOOKUP(B2,B:B,C:C)"},
      {"SUM(A1:B1)", 0, std::nullopt},  // in reverse order now
      {"E2+1", 0, std::nullopt},        // E has no place
      {"F2", 0, std::nullopt},          // past the plan
      {"'其他'!A1+A1", 0, std::nullopt},
      {"Sheet2!A1", 0, std::nullopt},
      {"\"A1\"&Rate2020", 5, "\"A1\"&Rate2020"},
      {"A1", -1, "#REF!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formula);
    EXPECT_EQ(MoveFormulaColumns(c.formula, c.rows, columns), c.expected);
  }
}

}  // namespace
}  // namespace tavrio::automation
