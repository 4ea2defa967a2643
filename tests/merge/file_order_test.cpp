#include "merge/file_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tavrio::merge {
namespace {

struct OrderCase {
  const char* label;
  std::vector<std::string> expected;  // already in the order a user expects
};

class FileOrderTest : public testing::TestWithParam<OrderCase> {};

// Every rotation and the reverse of the expected list must sort back to it: the order may not
// depend on the order the names were read from the folder.
TEST_P(FileOrderTest, SortsIntoTheExpectedOrderFromAnyStart) {
  const std::vector<std::string>& expected = GetParam().expected;
  std::vector<std::vector<std::string>> starts;
  for (size_t shift = 0; shift < expected.size(); ++shift) {
    std::vector<std::string> rotated = expected;
    std::rotate(rotated.begin(), rotated.begin() + static_cast<long>(shift), rotated.end());
    starts.push_back(rotated);
  }
  starts.emplace_back(expected.rbegin(), expected.rend());
  for (std::vector<std::string>& names : starts) {
    SCOPED_TRACE(names.front());
    SortFileNames(names);
    EXPECT_EQ(names, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileOrderTest,
    testing::Values(
        OrderCase{"ChineseByPinyin",
                  {"北京.xlsx", "成都.xlsx", "广州.xlsx", "上海.xlsx", "深圳.xlsx"}},
        OrderCase{"MonthsByPinyin",
                  {"销售_二月.xlsx", "销售_三月.xlsx", "销售_四月.xlsx", "销售_一月.xlsx"}},
        OrderCase{"LatinIgnoresCaseFirst", {"apple.xlsx", "Banana.xlsx", "cherry.xlsx"}},
        OrderCase{"DigitsThenHanThenLatin", {"2023.xlsx", "报表.xlsx", "report.xlsx"}},
        OrderCase{"LowerBeforeUpperOnlyAsTieBreak", {"a.xlsx", "A.xlsx", "b.xlsx"}},
        OrderCase{"PrefixFirst", {"data.xlsx", "data1.xlsx", "data10.xlsx", "data2.xlsx"}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return info.param.label; });

TEST(FileOrder, KeepsDuplicatesAndEmptyLists) {
  std::vector<std::string> empty;
  SortFileNames(empty);
  EXPECT_TRUE(empty.empty());

  std::vector<std::string> names = {"乙.xlsx", "甲.xlsx", "乙.xlsx"};
  SortFileNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"甲.xlsx", "乙.xlsx", "乙.xlsx"}));
}

TEST(FileOrder, KeepsNamesThatAreNotValidUtf8Unchanged) {
  const std::string broken = std::string("b\xff") + ".xlsx";
  std::vector<std::string> names = {broken, "a.xlsx"};
  SortFileNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a.xlsx", broken}));
}

}  // namespace
}  // namespace tavrio::merge
