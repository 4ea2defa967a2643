#include "automation/engine/formula_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrio::automation::engine {
namespace {

std::vector<std::string> Listed(const FormulaTable& table) {
  std::vector<std::string> listed;
  for (const FormulaRef& f : table.entries()) {
    listed.push_back(std::to_string(f.row) + "," + std::to_string(f.column) + " " +
                     std::string(f.text));
  }
  return listed;
}

TEST(FormulaTableTest, NormaliseOrdersAndKeepsTheLastAtEachPlace) {
  struct Case {
    const char* name;
    std::vector<FormulaRef> added;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"already in order", {{1, 1, "a"}, {1, 2, "b"}, {2, 1, "c"}}, {"1,1 a", "1,2 b", "2,1 c"}},
      {"rows out of order", {{3, 1, "c"}, {1, 2, "b"}, {1, 1, "a"}}, {"1,1 a", "1,2 b", "3,1 c"}},
      {"twice at one place", {{2, 2, "old"}, {1, 1, "a"}, {2, 2, "new"}}, {"1,1 a", "2,2 new"}},
      {"twice in a row, in order", {{1, 1, "x"}, {1, 1, "y"}, {1, 1, "z"}}, {"1,1 z"}},
      {"empty", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FormulaTable table;
    for (const FormulaRef& f : c.added) table.Append(f.row, f.column, f.text);
    table.Normalise();
    EXPECT_EQ(Listed(table), c.expected);
  }
}

// Texts handed out earlier must survive the table growing past many blocks, since the writer
// and the paste hold them while more formulas arrive.
TEST(FormulaTableTest, TextsStayPutWhileTheTableGrows) {
  FormulaTable table;
  const std::string long_text(1 << 20, 'L');  // longer than a shared block takes
  table.Append(1, 1, "A1*2");
  table.Append(2, 1, long_text);
  const std::string_view first = table.entries()[0].text;
  const std::string_view second = table.entries()[1].text;
  for (std::uint32_t row = 3; row < 400000; ++row) {
    table.Append(row, 1, "SUM(A" + std::to_string(row) + ":Z" + std::to_string(row) + ")");
  }
  table.Normalise();
  EXPECT_EQ(first, "A1*2");
  EXPECT_EQ(second, long_text);
  EXPECT_EQ(first.data(), table.entries()[0].text.data());
  ASSERT_NE(table.Find(399999, 1), nullptr);
  EXPECT_EQ(*table.Find(399999, 1), "SUM(A399999:Z399999)");
  EXPECT_EQ(table.Find(399999, 2), nullptr);
  EXPECT_EQ(table.Find(400000, 1), nullptr);
}

TEST(FormulaTableTest, ReplaceChangesOnlyTheRectangle) {
  FormulaTable table;
  for (std::uint32_t row = 1; row <= 4; ++row) {
    for (std::uint32_t column = 1; column <= 3; ++column) {
      table.Append(row, column, std::to_string(row) + std::to_string(column));
    }
  }
  table.Normalise();
  const std::string pasted = "P";
  table.Replace(2, 3, 2, 3, std::vector<FormulaRef>{{3, 2, pasted}});
  EXPECT_EQ(Listed(table),
            (std::vector<std::string>{"1,1 11", "1,2 12", "1,3 13", "2,1 21", "3,1 31", "3,2 P",
                                      "4,1 41", "4,2 42", "4,3 43"}));
  EXPECT_NE(table.entries()[5].text.data(), pasted.data()) << "the table keeps its own copy";
  table.Replace(9, 10, 1, 1, std::vector<FormulaRef>{{9, 1, "past"}, {10, 1, "end"}});
  EXPECT_EQ(Listed(table).back(), "10,1 end");
  table.Clear();
  EXPECT_TRUE(table.entries().empty());
}

}  // namespace
}  // namespace tavrio::automation::engine
