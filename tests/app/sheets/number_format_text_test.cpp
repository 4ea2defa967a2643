#include "app/sheets/number_format_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/independent_readers.h"
#include "tests/support/scoped_locale.h"

namespace tavrio::app::sheets {
namespace {

struct FormatCase {
  double value;
  std::string code;
  std::string shown;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.value << " as " << c.code; }

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, ShowsWhatTheFormatSays) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatNumber(c.value, c.code), c.shown) << c.value << " as " << c.code;
}

// 45382 is 2024-03-31, a Sunday.
INSTANTIATE_TEST_SUITE_P(
    Dates, FormatNumberTest,
    ::testing::Values(
        FormatCase{45382, "yyyy/m/d", "2024/3/31"}, FormatCase{45382, "yyyy-mm-dd", "2024-03-31"},
        FormatCase{45382.5, "yyyy-mm-dd hh:mm", "2024-03-31 12:00"},
        FormatCase{45382 + 8.5 / 24, "yyyy/m/d h:mm", "2024/3/31 8:30"},
        FormatCase{0.75, "h:mm:ss", "18:00:00"}, FormatCase{0.999999, "h:mm:ss", "0:00:00"},
        FormatCase{1.5, "[h]:mm:ss", "36:00:00"}, FormatCase{0.5, "mm:ss", "00:00"},
        FormatCase{1.25 / 86400, "mm:ss.00", "00:01.25"},
        FormatCase{45382, "yyyy\"年\"m\"月\"d\"日\"", "2024年3月31日"},
        FormatCase{45382, "d-mmm-yy", "31-Mar-24"}, FormatCase{45382, "dddd", "Sunday"},
        FormatCase{45382, "aaaa", "星期日"},
        FormatCase{45382, "[$-F800]dddd, mmmm dd, yyyy", "Sunday, March 31, 2024"},
        FormatCase{0.75, "h:mm AM/PM", "6:00 PM"},
        FormatCase{0.25, "上午/下午h\"时\"mm\"分\"", "上午6时00分"},
        FormatCase{1, "yyyy-mm-dd", "1900-01-01"}, FormatCase{59, "yyyy-mm-dd", "1900-02-28"},
        FormatCase{60, "yyyy-mm-dd", "1900-02-29"}, FormatCase{61, "yyyy-mm-dd", "1900-03-01"},
        FormatCase{2958465, "yyyy-mm-dd", "9999-12-31"},
        FormatCase{2958466, "yyyy-mm-dd", "########"}, FormatCase{-1, "yyyy-mm-dd", "########"}));

INSTANTIATE_TEST_SUITE_P(General, FormatNumberTest,
                         ::testing::Values(FormatCase{1234.5, "General", "1234.5"},
                                           FormatCase{0.1 + 0.2, "General", "0.3"},
                                           FormatCase{1.0 / 3, "General", "0.333333333"},
                                           FormatCase{-5, "General", "-5"},
                                           FormatCase{0, "General", "0"},
                                           FormatCase{12345678901, "General", "12345678901"},
                                           FormatCase{123456789012, "General", "1.23457E+11"},
                                           FormatCase{1e-7, "General", "1E-07"},
                                           FormatCase{1234.5, "", "1234.5"},
                                           FormatCase{1234.5, "@", "1234.5"}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, FormatNumberTest,
    ::testing::Values(
        FormatCase{1234567.891, "#,##0.00", "1,234,567.89"},
        FormatCase{-1234.5, "#,##0.00", "-1,234.50"}, FormatCase{0, "#,##0", "0"},
        FormatCase{999.5, "#,##0", "1,000"}, FormatCase{3.14159, "0.00", "3.14"},
        FormatCase{1.005, "0.00", "1.01"}, FormatCase{9.995, "0.00", "10.00"},
        FormatCase{2.5, "0", "3"}, FormatCase{-0.001, "0", "0"}, FormatCase{7, "000", "007"},
        FormatCase{0.5, "#.##", ".5"}, FormatCase{0.256, "0%", "26%"},
        FormatCase{0.25678, "0.00%", "25.68%"}, FormatCase{12345, "0.00E+00", "1.23E+04"},
        FormatCase{0.000123, "0.00E+00", "1.23E-04"}, FormatCase{99999, "0.0E+0", "1.0E+5"},
        FormatCase{12345, "##0.0E+0", "12.3E+3"}, FormatCase{1500000, "0.0,,\"M\"", "1.5M"},
        FormatCase{1234.5, "$#,##0", "$1,235"}, FormatCase{-1234.5, "$#,##0", "-$1,235"},
        FormatCase{5, "\"¥\"#,##0.00", "¥5.00"}, FormatCase{5, "[$¥-804]#,##0.00", "¥5.00"},
        FormatCase{42, "0_);(0)", "42 "}, FormatCase{-1234, "#,##0;(#,##0)", "(1,234)"},
        FormatCase{-5, "0.0;[Red]-0.0", "-5.0"}, FormatCase{0, "0.00;-0.00;\"零\"", "零"},
        FormatCase{0, "0;-0;;@", ""}, FormatCase{12, "0\"个\"", "12个"},
        FormatCase{12, "\\#0", "#12"}));

// The grid must not follow the process locale, which the toolkit sets from the user's
// environment: under de_DE the C library writes 2.5 as "2,5".
TEST(FormatNumberLocaleTest, ShowsTheSameUnderACommaDecimalLocale) {
  const std::pair<double, const char*> cases[] = {
      {2.5, "General"},     {1234567.891, "General"},
      {1e-7, "General"},    {2.5, "0.00"},
      {1234.5, "#,##0.00"}, {12345, "0.00E+00"},
      {0.125, "0.0%"},      {45382.5, "yyyy-mm-dd hh:mm"},
      {1.005, "0.00"},      {123456789012, "General"}};
  std::vector<std::string> expected;
  for (const auto& [value, code] : cases) expected.push_back(FormatNumber(value, code));
  tavrio::testing::ScopedLocale german(tavrio::testing::kCommaDecimalLocale);
  TAVRIO_SKIP_WITHOUT(german.active(),
                      std::string("the locale ") + tavrio::testing::kCommaDecimalLocale);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].second);
    EXPECT_EQ(FormatNumber(cases[i].first, cases[i].second), expected[i]);
    EXPECT_EQ(expected[i].find(','),
              cases[i].second == std::string("#,##0.00") ? 1u : std::string::npos);
  }
}

}  // namespace
}  // namespace tavrio::app::sheets
