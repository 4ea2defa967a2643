#include "merge/conversions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/independent_readers.h"
#include "tests/support/scoped_locale.h"

namespace tavrio::merge {
namespace {

// The error a call throws, or nothing.
std::optional<Error> ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& error) {
    return error;
  }
  return std::nullopt;
}

void ExpectError(const std::function<void()>& call, int number, const std::string& description) {
  std::optional<Error> error = ErrorOf(call);
  ASSERT_TRUE(error.has_value()) << "no error, expected " << number;
  EXPECT_EQ(error->number(), number);
  EXPECT_EQ(error->description(), description);
}

TEST(TextToDoubleTest, ReadsPlainDecimalNumbers) {
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"0", 0.0},       {"7", 7.0},        {"-3", -3.0},
      {"+4", 4.0},      {"2.5", 2.5},      {".5", 0.5},
      {"5.", 5.0},      {"-0.5", -0.5},    {"  12  ", 12.0},
      {"\t3\t", 3.0},   {"007", 7.0},      {"1e3", 1000.0},
      {"2.5E-1", 0.25}, {"-1E+2", -100.0}, {"32767.4999", 32767.4999},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text: [" + c.text + "]");
    EXPECT_DOUBLE_EQ(TextToDouble(c.text), c.value);
  }
}

TEST(TextToDoubleTest, RefusesWhatIsNotANumberWithTypeMismatch) {
  for (const std::string text :
       {"",   " ",  "abc", "1,000", "2,5", "1 2", "--1", "+-1",  ".",     "-",
        "e5", "1e", "1e+", "0x10",  "inf", "nan", "3a",  "１２", "1.2.3", "1:1"}) {
    SCOPED_TRACE("text: [" + text + "]");
    ExpectError([&] { TextToDouble(text); }, 13, "类型不匹配");
  }
}

TEST(TextToDoubleTest, NumberTooLargeForADoubleOverflows) {
  for (const std::string& text :
       std::vector<std::string>{"1e400", "-1e400", "1234e306", "0.001e312",
                                "1" + std::string(400, '0'), "1e999999999999"}) {
    SCOPED_TRACE(text);
    ExpectError([&] { TextToDouble(text); }, 6, "溢出");
  }
  EXPECT_DOUBLE_EQ(TextToDouble("123e306"), 1.23e308);
}

TEST(TextToDoubleTest, NumberTooSmallForADoubleIsZero) {
  for (const std::string& text :
       std::vector<std::string>{"1e-400", "-1e-400", "100e-330", "0." + std::string(400, '0') + "1",
                                "12e-999999999999"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(TextToDouble(text), 0.0);
  }
  EXPECT_GT(TextToDouble("0.001e-320"), 0.0);  // a subnormal still holds it
}

// A window toolkit sets the process locale from the user's environment; under one whose decimal
// mark is a comma the C library would read "2.7" as 2 and print 2.7 as "2,7".
TEST(ConversionsTest, IgnoreTheProcessLocale) {
  testing::ScopedLocale german(testing::kCommaDecimalLocale);
  TAVRIO_SKIP_WITHOUT(german.active(), std::string("the locale ") + testing::kCommaDecimalLocale);
  EXPECT_EQ(TextToDouble("2.7"), 2.7);
  EXPECT_EQ(TextToDouble("-1.5e-3"), -0.0015);
  ExpectError([] { TextToDouble("2,7"); }, 13, "类型不匹配");
  EXPECT_EQ(RoundToInt16("2.5"), 2);
  EXPECT_EQ(FloorToInt16("2.7"), 2);
  EXPECT_EQ(FormatDouble(2.7), "2.7");
  EXPECT_EQ(FormatDouble(1e-5), "1E-05");
  EXPECT_EQ(FormatDouble(1234567.5), "1234567.5");
}

struct PositionCase {
  std::string text;
  std::int16_t rounded;
  std::int16_t floored;
  friend void PrintTo(const PositionCase& c, std::ostream* os) { *os << "[" << c.text << "]"; }
};

class TextToSheetPositionTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(TextToSheetPositionTest, RoundsToEvenAndFloors) {
  EXPECT_EQ(RoundToInt16(GetParam().text), GetParam().rounded);
  EXPECT_EQ(FloorToInt16(GetParam().text), GetParam().floored);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextToSheetPositionTest,
    ::testing::Values(PositionCase{"1", 1, 1}, PositionCase{"2.7", 3, 2}, PositionCase{"2.5", 2, 2},
                      PositionCase{"3.5", 4, 3}, PositionCase{"0.5", 0, 0},
                      PositionCase{"1.5", 2, 1}, PositionCase{"2.4999", 2, 2},
                      PositionCase{"-0.5", 0, -1}, PositionCase{"-1.5", -2, -2},
                      PositionCase{"-2.5", -2, -3}, PositionCase{" 4 ", 4, 4},
                      PositionCase{"32767", 32767, 32767}, PositionCase{"32767.4", 32767, 32767},
                      PositionCase{"-32768", -32768, -32768},
                      PositionCase{"-32767.5", -32768, -32768}));

TEST(TextToSheetPositionTest, OutOfRangeOverflows) {
  const struct {
    std::string text;
    bool round_fails;
    bool floor_fails;
  } cases[] = {
      {"32768", true, true},  {"32767.5", true, false},  {"40000", true, true},
      {"-32769", true, true}, {"-32768.5", false, true}, {"-32768.6", true, true},
      {"1e10", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text: " + c.text);
    if (c.round_fails)
      ExpectError([&] { RoundToInt16(c.text); }, 6, "溢出");
    else
      EXPECT_FALSE(ErrorOf([&] { RoundToInt16(c.text); }));
    if (c.floor_fails)
      ExpectError([&] { FloorToInt16(c.text); }, 6, "溢出");
    else
      EXPECT_FALSE(ErrorOf([&] { FloorToInt16(c.text); }));
  }
}

TEST(TextToSheetPositionTest, NonNumbersAreTypeMismatches) {
  for (const std::string text : {"", "abc", "第二"}) {
    SCOPED_TRACE("text: [" + text + "]");
    ExpectError([&] { RoundToInt16(text); }, 13, "类型不匹配");
    ExpectError([&] { FloorToInt16(text); }, 13, "类型不匹配");
  }
}

TEST(FormatDoubleTest, PrintsTheShortestForm) {
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {6.0, "6"},      {3.5, "3.5"},    {-2.0, "-2"},       {0.0, "0"},
      {-0.0, "0"},     {1.25, "1.25"},  {0.1 + 0.2, "0.3"}, {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"}, {1e-5, "1E-05"}, {32768.0, "32768"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatDouble(c.value), c.text);
  }
}

TEST(CheckedIncrementTest, FailsInsteadOfWrapping) {
  EXPECT_EQ(CheckedIncrement(std::int16_t{1}), 2);
  EXPECT_EQ(CheckedIncrement(std::int16_t{-1}), 0);
  EXPECT_EQ(CheckedIncrement(std::int16_t{32766}), 32767);
  ExpectError([] { CheckedIncrement(std::int16_t{32767}); }, 6, "溢出");
  EXPECT_EQ(CheckedIncrement(std::int32_t{0}), 1);
  EXPECT_EQ(CheckedIncrement(std::int32_t{2147483646}), 2147483647);
  ExpectError([] { CheckedIncrement(std::numeric_limits<std::int32_t>::max()); }, 6, "溢出");
}

}  // namespace
}  // namespace tavrio::merge
