#include "automation/readers/expected_reference.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "automation/base/ascii.h"
#include "automation/base/cell_address.h"

namespace tavrio::automation::readers::testing {
namespace {

// Walked along a whole row, it expects each reference CellReference spells, and no neighbour:
// not the next column, not the next row, not the same cell in lower case or with a leading zero.
TEST(ExpectedReferenceTest, FollowsEveryColumnOfARow) {
  for (const std::uint32_t row : {1u, 7u, 9u, 10u, 99u, 40001u, 999999u, 1000000u, 1048576u}) {
    SCOPED_TRACE(row);
    ExpectedReference expected;
    expected.StartRow(row);
    for (std::uint32_t column = 1; column <= kMaxColumns; ++column) {
      const std::string reference = CellReference(row, column);
      ASSERT_EQ(expected.column(), column);
      ASSERT_TRUE(expected.Matches(reference)) << reference;
      ASSERT_FALSE(expected.Matches(CellReference(row, column + 1))) << reference;
      ASSERT_FALSE(expected.Matches(CellReference(row + 1, column))) << reference;
      ASSERT_FALSE(expected.Matches(AsciiLowercase(reference))) << reference;
      ASSERT_FALSE(expected.Matches(ColumnLetters(column) + "0" + std::to_string(row)));
      expected.Advance();
    }
    // Past the last column nothing is expected, however it is spelled.
    EXPECT_FALSE(expected.Matches("XFE" + std::to_string(row)));
    expected.Advance();
    EXPECT_FALSE(expected.Matches("XFF" + std::to_string(row)));
  }
}

// A cell that skips columns moves the expectation to wherever it stands.
TEST(ExpectedReferenceTest, ExpectsAnyColumnAfterAJump) {
  const struct {
    std::uint32_t column;
    const char* reference;
  } cases[] = {{1, "A7"},     {26, "Z7"},      {27, "AA7"},     {52, "AZ7"},
               {53, "BA7"},   {702, "ZZ7"},    {703, "AAA7"},   {16384, "XFD7"},
               {2, "B7"},     {16385, "XFE7"}, {728, "AAZ7"}};
  ExpectedReference expected;
  expected.StartRow(7);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reference);
    expected.Expect(c.column);
    EXPECT_EQ(expected.column(), c.column);
    EXPECT_EQ(expected.Matches(c.reference), c.column <= kMaxColumns);
    EXPECT_FALSE(expected.Matches("A7") && c.column != 1);
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
