#include "automation/engine/remapped_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tavrio::automation::engine {
namespace {

struct Record {
  std::uint32_t key;
  std::uint64_t value;
};

std::vector<std::uint32_t> Keys(const RemappedArray<Record>& array) {
  std::vector<std::uint32_t> keys;
  for (const Record& record : array.all()) keys.push_back(record.key);
  return keys;
}

// Enough records to be remapped many times, each checked after the growth.
TEST(RemappedArrayTest, KeepsEveryRecordThroughGrowthAndMoves) {
  RemappedArray<Record> array;
  for (std::uint32_t i = 0; i < 300000; ++i) array.push_back(Record{i, std::uint64_t{i} * 3});
  RemappedArray<Record> moved = std::move(array);
  EXPECT_TRUE(array.empty());
  ASSERT_EQ(moved.size(), 300000u);
  for (std::uint32_t i = 0; i < 300000; ++i) {
    ASSERT_EQ(moved.all()[i].key, i);
    ASSERT_EQ(moved.all()[i].value, std::uint64_t{i} * 3);
  }
  moved.clear();
  EXPECT_TRUE(moved.empty());
  moved.push_back(Record{7, 7});
  EXPECT_EQ(Keys(moved), std::vector<std::uint32_t>{7});
}

TEST(RemappedArrayTest, SpliceReplacesARunOfAnyLength) {
  struct Case {
    const char* name;
    std::size_t at, count;
    std::vector<std::uint32_t> values;
    std::vector<std::uint32_t> expected;
  };
  const std::vector<Case> cases = {
      {"insert in the middle", 2, 0, {8, 9}, {0, 1, 8, 9, 2, 3, 4}},
      {"replace with more", 1, 2, {7, 8, 9}, {0, 7, 8, 9, 3, 4}},
      {"replace with fewer", 1, 3, {9}, {0, 9, 4}},
      {"erase", 0, 5, {}, {}},
      {"append", 5, 0, {5, 6}, {0, 1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemappedArray<Record> array;
    for (std::uint32_t i = 0; i < 5; ++i) array.push_back(Record{i, 0});
    std::vector<Record> values;
    for (std::uint32_t key : c.values) values.push_back(Record{key, 0});
    array.Splice(c.at, c.count, values);
    EXPECT_EQ(Keys(array), c.expected);
  }
}

TEST(RemappedArrayTest, SpliceGrowsPastTheCapacity) {
  RemappedArray<Record> array;
  array.push_back(Record{0, 0});
  array.push_back(Record{1, 0});
  std::vector<Record> many(100000, Record{5, 0});
  array.Splice(1, 0, many);
  ASSERT_EQ(array.size(), 100002u);
  EXPECT_EQ(array.all()[0].key, 0u);
  EXPECT_EQ(array.all()[100000].key, 5u);
  EXPECT_EQ(array.back().key, 1u);
}

}  // namespace
}  // namespace tavrio::automation::engine
