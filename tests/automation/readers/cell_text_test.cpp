#include "automation/readers/cell_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {
namespace {

// What ParseNumber must give for `text` once its blanks and '+' are off: exactly what from_chars
// reads, when it reads all of it and the value is finite.
struct Expected {
  bool accepted = false;
  double value = 0;
};

Expected FromChars(const std::string& text) {
  Expected expected;
  const char* const end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, expected.value);
  expected.accepted = ec == std::errc() && stop == end && std::isfinite(expected.value);
  return expected;
}

void ExpectReadAsFromChars(const std::string& text) {
  SCOPED_TRACE(text);
  const Expected expected = FromChars(text);
  double value = -12345;
  ASSERT_EQ(ParseNumber(text, value), expected.accepted);
  if (expected.accepted) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected.value));
  }
}

std::string Printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Shortest(double value) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end);
}

// The spellings where a shortcut would most likely round differently: the edges of 2^53 and of
// the exactly held powers of ten, 17 significant digits, zeros of either sign, exponents.
TEST(ParseNumberTest, EdgeSpellingsReadAsFromChars) {
  for (const std::string text :
       {"0", "-0", "0.0", "-0.0", "00012", "1", "-1", "45816", "65647.25999999999",
        "96938.64999999999", "0.1", "0.2", "0.30000000000000004", "9007199254740991",
        "9007199254740992", "9007199254740993", "-9007199254740993", "18014398509481985",
        "9999999999999999999", "99999999999999999999", "12345678901234567890123",
        "1e22", "1e23", "1e-22", "1e-23", "9007199254740993e-22", "4.9e-324", "2.2250738585072014e-308",
        "1.7976931348623157e308", "1.8e308", "1E5", "1e+5", "1E-05", "123.456e-3", "5e0000",
        "5e00001", "1e99999", "0e99999", "0.000000000000000000001", "3.14159265358979323846",
        "0.1e-22", "1234567890123456789e3", "8.589973e9", "1.", "-.5", ".5", ".", "-", "--1",
        "1e", "1e+", "1e-", "1.e5", "1..2", "1.2.3", "1e5.5", "0x10", "1,5", "1 5", "inf",
        "-inf", "nan", "infinity", "1d", "1f", "e5"}) {
    ExpectReadAsFromChars(text);
  }
}

// Doubles anywhere in the range, printed as applications print them: the shortest spelling that
// reads back (what a spreadsheet application saves), 15 and 17 significant digits, and money.
TEST(ParseNumberTest, PrintedDoublesReadAsFromChars) {
  std::mt19937_64 random(20260101);
  std::uniform_real_distribution<double> amounts(-1e6, 1e6);
  std::uniform_int_distribution<int> exponents(-40, 40);
  for (int i = 0; i < 40000; ++i) {
    const double amount = amounts(random);
    const double scaled = amount * std::pow(10.0, exponents(random));
    for (const double value : {amount, scaled}) {
      ExpectReadAsFromChars(Shortest(value));
      ExpectReadAsFromChars(Printed("%.15g", value));
      ExpectReadAsFromChars(Printed("%.16g", value));
      ExpectReadAsFromChars(Printed("%.17g", value));
      ExpectReadAsFromChars(Printed("%.2f", amount));
    }
    // Any bit pattern, subnormals, infinities and NaN included.
    const double any = std::bit_cast<double>(random());
    ExpectReadAsFromChars(Shortest(any));
    ExpectReadAsFromChars(Printed("%.17g", any));
  }
}

// Digit strings as no printer would make them: leading zeros, up to 24 digits, a point
// anywhere, exponents near the edge of the exact powers.
TEST(ParseNumberTest, RandomDigitStringsReadAsFromChars) {
  std::mt19937_64 random(7);
  const auto below = [&random](int limit) { return static_cast<int>(random() % limit); };
  for (int i = 0; i < 200000; ++i) {
    std::string text = below(4) == 0 ? "-" : "";
    const int count = 1 + below(24);
    const int point = below(count + 2);  // past the end: none
    for (int k = 0; k < count; ++k) {
      if (k == point && k > 0) text += '.';
      text += static_cast<char>('0' + (below(3) == 0 ? 0 : below(10)));
    }
    if (below(3) == 0) {
      text += below(2) == 0 ? 'e' : 'E';
      if (below(2) == 0) text += below(2) == 0 ? '-' : '+';
      text += std::to_string(below(40));
    }
    ExpectReadAsFromChars(text);
  }
}

// What a cell's <v> may hold around the number, and what it may not hold.
TEST(ParseNumberTest, BlanksAndPlusAroundTheNumber) {
  const struct {
    std::string text;
    bool accepted;
    double value;
  } cases[] = {
      {" 12.5", true, 12.5}, {"12.5\t", true, 12.5}, {"+7", true, 7},     {" +0.25 ", true, 0.25},
      {"", false, 0},        {"  ", false, 0},       {"+", false, 0},     {"++1", false, 0},
      {"1 ", true, 1},       {"\n1", false, 0},      {"1e309", false, 0}, {"-1e309", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double value = 0;
    ASSERT_EQ(ParseNumber(c.text, value), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(value, c.value);
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
