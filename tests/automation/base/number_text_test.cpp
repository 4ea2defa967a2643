#include "automation/base/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace tavrio::automation {
namespace {

std::string Spelled(double value) {
  char text[kMaxNumberText];
  return std::string(text, ShortestNumberText(text, text + sizeof text, value));
}

std::string ToChars(double value) {
  char text[kMaxNumberText];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void ExpectSpelledAsToChars(double value) {
  SCOPED_TRACE(std::bit_cast<std::uint64_t>(value));
  ASSERT_EQ(Spelled(value), ToChars(value));
}

// The whole numbers where the two spellings part: trailing zeros, the edge of 2^53, signs, zero.
TEST(NumberTextTest, WholeNumbersAtTheEdgesAreSpelledAsToChars) {
  constexpr double kTwo53 = 9007199254740992.0;
  const double max = std::numeric_limits<double>::max();
  const double denorm = std::numeric_limits<double>::denorm_min();
  for (const double value :
       {0.0, -0.0, 1.0, -1.0, 7.0, 10.0, 11.0, 100.0, 101.0, 100000.0, 123450.0, 45816.0, 40001.0,
        -687.0, 1e15, 1e15 + 1, 1e16, kTwo53 - 1, kTwo53, kTwo53 + 2, -(kTwo53 - 1), -kTwo53,
        1e17 + 8, 1e22, 1e23, 0.5, -0.5, 1.5, 65647.25999999999, max, -max, denorm,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    ExpectSpelledAsToChars(value);
  }
}

// Whole numbers of every size, fractions, and any bit pattern at all.
TEST(NumberTextTest, AnyDoubleIsSpelledAsToChars) {
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<std::int64_t> small(-1'000'000, 1'000'000);
  std::uniform_int_distribution<int> digits(1, 17);
  for (int i = 0; i < 200'000; ++i) {
    ExpectSpelledAsToChars(static_cast<double>(small(random)));
    const auto scale = static_cast<std::int64_t>(std::pow(10.0, digits(random)));
    ExpectSpelledAsToChars(static_cast<double>(static_cast<std::int64_t>(random() % scale)));
    ExpectSpelledAsToChars(static_cast<double>(small(random)) / 100);
    ExpectSpelledAsToChars(std::bit_cast<double>(random()));
  }
}

}  // namespace
}  // namespace tavrio::automation
