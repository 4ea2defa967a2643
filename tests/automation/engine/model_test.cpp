// The pieces the engine's model is built from: string pool, number formats, names and rows.

#include <gtest/gtest.h>

#include <string>

#include "automation/engine/engine_text.h"
#include "automation/engine/number_format.h"
#include "automation/engine/string_pool.h"

namespace tavrio::automation::engine {
namespace {

TEST(StringPoolTest, InternsEachTextOnceAndKeepsViewsValidWhileGrowing) {
  StringPool pool;
  const std::uint32_t empty = pool.Intern("");
  const std::uint32_t first = pool.Intern("第一");
  const std::string_view first_view = pool.Get(first);
  const std::string big(300'000, 'b');
  const std::uint32_t big_id = pool.Intern(big);
  for (int i = 0; i < 100'000; ++i) pool.Intern("text " + std::to_string(i));
  EXPECT_EQ(pool.Intern("第一"), first);
  EXPECT_EQ(pool.Intern(""), empty);
  EXPECT_EQ(pool.Intern(big), big_id);
  EXPECT_EQ(pool.Intern("text 777"), pool.Intern(std::string("text ") + "777"));
  EXPECT_EQ(first_view.data(), pool.Get(first).data());
  EXPECT_EQ(pool.Get(first), "第一");
  EXPECT_EQ(pool.Get(big_id), big);
  EXPECT_EQ(pool.size(), 100'003u);
  EXPECT_NE(pool.Intern("007"), pool.Intern("7"));
}

TEST(StringPoolTest, AddedTextsGetTheirOwnIdsAndInternFindsTheFirst) {
  StringPool pool;
  const std::uint32_t first = pool.Add("北京");
  const std::uint32_t second = pool.Add("北京");
  EXPECT_NE(first, second);
  EXPECT_EQ(pool.Get(second), "北京");
  EXPECT_EQ(pool.Intern("北京"), first);
  const std::uint32_t added = pool.Add("上海");
  EXPECT_EQ(pool.Intern("上海"), added);
  for (int i = 0; i < 5000; ++i) pool.Add(std::to_string(i));
  EXPECT_EQ(pool.Intern("4999"), pool.size() - 1);
  EXPECT_EQ(pool.Intern("北京"), first);
}

// Entries are stored in blocks of 131,072; ids and texts must run on across them, whether the
// pool was filled by Add (as a paste fills it) or by Intern, and views must stay put.
TEST(StringPoolTest, IdsAndTextsRunOnAcrossEntryBlocks) {
  StringPool pool;
  constexpr std::uint32_t kCount = 300'000;  // past two block boundaries
  const std::uint32_t first = pool.Add("first");
  const std::string_view first_view = pool.Get(first);
  for (std::uint32_t i = 1; i < kCount; ++i) {
    ASSERT_EQ(pool.Add("t" + std::to_string(i)), i);
  }
  EXPECT_EQ(pool.size(), kCount);
  for (std::uint32_t id : {1u, 131'071u, 131'072u, 131'073u, 262'144u, kCount - 1}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(pool.Get(id), "t" + std::to_string(id));
    EXPECT_EQ(pool.Intern("t" + std::to_string(id)), id);
  }
  EXPECT_EQ(pool.Get(first).data(), first_view.data());
  EXPECT_EQ(pool.Intern("new"), kCount);
  EXPECT_EQ(pool.Get(kCount), "new");
}

struct FormatCase {
  const char* code;
  bool date;
  bool time;
};

class NumberFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormatTest, ClassifiesDatesAndTimes) {
  const NumberFormatKind kind = ClassifyNumberFormat(GetParam().code);
  EXPECT_EQ(kind.date, GetParam().date);
  EXPECT_EQ(kind.time, GetParam().time);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NumberFormatTest,
    ::testing::Values(
        FormatCase{"General", false, false}, FormatCase{"0.00", false, false},
        FormatCase{"0.00E+00", false, false}, FormatCase{"0.00%", false, false},
        FormatCase{"#,##0 \"days\"", false, false}, FormatCase{"[Red]0.00", false, false},
        FormatCase{"@", false, false}, FormatCase{"yyyy-mm-dd", true, false},
        FormatCase{"m/d/yy", true, false}, FormatCase{"d-mmm", true, false},
        FormatCase{"mmm-yy", true, false}, FormatCase{"mmmm", true, false},
        FormatCase{"yyyy\"年\"m\"月\"d\"日\"", true, false},
        FormatCase{"[$-804]yyyy年m月d日", true, false}, FormatCase{"h:mm", false, true},
        FormatCase{"mm:ss", false, true}, FormatCase{"[h]:mm:ss", false, true},
        FormatCase{"h:mm AM/PM", false, true}, FormatCase{"[mm]:ss", false, true},
        FormatCase{"yyyy-mm-dd hh:mm:ss", true, true}, FormatCase{"m/d/yy h:mm", true, true},
        // What the sheet windows show as a date is a date everywhere: the weekday alone, the era
        // year, a date in another section; and what they show as a number is none.
        FormatCase{"aaaa", true, false}, FormatCase{"e\"年\"m\"月\"", true, false},
        FormatCase{"0.00;yyyy-mm-dd", true, false}, FormatCase{"[Color10]0;[红色]-0", false, false},
        FormatCase{"0 \"天\" a", false, false}));

TEST(EqualsIgnoringCaseTest, FoldsLettersOfCommonScripts) {
  const std::pair<const char*, const char*> equal[] = {
      {"Sheet1", "SHEET1"},         {"Äpfel", "äPFEL"}, {"Ωμέγα", "ωμέγα"}, {"ЛИСТ", "лист"},
      {"Ｓｈｅｅｔ", "ｓｈｅｅｔ"}, {"明细", "明细"},   {"Łódź", "łÓDŹ"},   {"", ""}};
  for (const auto& [a, b] : equal) EXPECT_TRUE(EqualsIgnoringCase(a, b)) << a << " " << b;
  const std::pair<const char*, const char*> different[] = {
      {"Sheet1", "Sheet2"}, {"Sheet", "Sheet1"}, {"明细", "明細"}, {"a", "á"}, {"ss", "ß"}};
  for (const auto& [a, b] : different) EXPECT_FALSE(EqualsIgnoringCase(a, b)) << a << " " << b;
}

TEST(ParseRowSpanTest, ReadsOneRowOrARangeOfRows) {
  struct Case {
    const char* text;
    bool valid;
    std::uint32_t first, last;
  };
  const Case cases[] = {{"3:3", true, 3, 3},    {"1:1048576", true, 1, 1048576},
                        {"7", true, 7, 7},      {"5:2", true, 2, 5},
                        {"0:1", false, 0, 0},   {"1:1048577", false, 0, 0},
                        {"3.0:3", false, 0, 0}, {"03:3", true, 3, 3},
                        {"1 :2", false, 0, 0},  {"12345678:1", false, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto span = ParseRowSpan(c.text);
    ASSERT_EQ(span.has_value(), c.valid);
    if (c.valid) {
      EXPECT_EQ(span->first, c.first);
      EXPECT_EQ(span->last, c.last);
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::engine
