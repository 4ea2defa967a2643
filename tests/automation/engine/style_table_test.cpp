// The style table shares one id among equal styles and tells apart styles that differ in any
// property, so that a merged workbook declares each look once.

#include "automation/engine/style_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tavrio::automation::engine {
namespace {

struct Change {
  const char* what;
  std::function<void(CellStyle&)> apply;
};

const std::vector<Change>& Changes() {
  static const std::vector<Change> changes = {
      {"number format", [](CellStyle& s) { s.number_format = "0.00"; }},
      {"font name", [](CellStyle& s) { s.font.name = "宋体"; }},
      {"font size", [](CellStyle& s) { s.font.size = 10.5; }},
      {"bold", [](CellStyle& s) { s.font.bold = true; }},
      {"italic", [](CellStyle& s) { s.font.italic = true; }},
      {"strike", [](CellStyle& s) { s.font.strike = true; }},
      {"underline", [](CellStyle& s) { s.font.underline = "double"; }},
      {"font rgb", [](CellStyle& s) { s.font.color.rgb = "FFFF0000"; }},
      {"font theme", [](CellStyle& s) { s.font.color.theme = 1; }},
      {"font indexed", [](CellStyle& s) { s.font.color.indexed = 1; }},
      {"font tint", [](CellStyle& s) { s.font.color.theme = 1, s.font.color.tint = 0.5; }},
      {"fill pattern", [](CellStyle& s) { s.fill.pattern = "solid"; }},
      {"fill colour",
       [](CellStyle& s) { s.fill.pattern = "solid", s.fill.foreground.rgb = "FFFFFF00"; }},
      {"fill background",
       [](CellStyle& s) { s.fill.pattern = "solid", s.fill.background.indexed = 64; }},
      {"left border", [](CellStyle& s) { s.border.left.style = "thin"; }},
      {"right border", [](CellStyle& s) { s.border.right.style = "thin"; }},
      {"top border", [](CellStyle& s) { s.border.top.style = "thin"; }},
      {"bottom border", [](CellStyle& s) { s.border.bottom.style = "thin"; }},
      {"border colour",
       [](CellStyle& s) {
         s.border.bottom.style = "thin", s.border.bottom.color.rgb = "FF000000";
       }},
      {"horizontal", [](CellStyle& s) { s.alignment.horizontal = "center"; }},
      {"vertical", [](CellStyle& s) { s.alignment.vertical = "center"; }},
      {"wrap", [](CellStyle& s) { s.alignment.wrap = true; }},
  };
  return changes;
}

TEST(StyleTableTest, EachPropertyMakesADistinctStyleAndEqualStylesShareOne) {
  StyleTable table;
  std::vector<std::uint32_t> ids;
  for (const Change& change : Changes()) {
    SCOPED_TRACE(change.what);
    CellStyle style;
    change.apply(style);
    const std::uint32_t id = table.Intern(style);
    EXPECT_NE(id, 0u);
    for (std::uint32_t other : ids) EXPECT_NE(id, other);
    ids.push_back(id);
    CellStyle again;
    change.apply(again);
    EXPECT_EQ(table.Intern(again), id);
    EXPECT_EQ(table.Get(id), style);
  }
  EXPECT_EQ(table.size(), Changes().size() + 1);
  EXPECT_EQ(table.Intern(CellStyle{}), 0u);
}

TEST(StyleTableTest, TextsThatRunTogetherDoNotMakeEqualKeys) {
  StyleTable table;
  CellStyle first;
  first.font.name = "A";
  first.font.underline = "single";
  CellStyle second;
  second.font.name = "Asingle";
  EXPECT_NE(table.Intern(first), table.Intern(second));
}

TEST(StyleTableTest, DatesAreKnownByTheNumberFormat) {
  StyleTable table;
  CellStyle date;
  date.number_format = "yyyy-mm-dd";
  date.font.bold = true;
  CellStyle plain;
  plain.font.bold = true;
  EXPECT_TRUE(table.ShowsDate(table.Intern(date)));
  EXPECT_FALSE(table.ShowsDate(table.Intern(plain)));
}

}  // namespace
}  // namespace tavrio::automation::engine
