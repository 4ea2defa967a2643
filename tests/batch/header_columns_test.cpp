#include "batch/header_columns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/base/error.h"

namespace tavrio::batch {
namespace {

using Columns = std::vector<std::uint32_t>;
using Texts = std::vector<std::string>;

TEST(TrimBlanksTest, DropsAsciiAndIdeographicBlanksAtTheEndsOnly) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"金额", "金额"},
      {" 金额 ", "金额"},
      {"\t金额\r\n", "金额"},
      {"\u3000金额\u3000", "金额"},
      {"  \u3000 ", ""},
      {"客户 名称", "客户 名称"},
      {"", ""},
      {"a\u3000b", "a\u3000b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(TrimBlanks(c.in), c.out);
  }
}

TEST(HeaderColumnsTest, FirstFileGivesTheOrderLaterFilesFollowIt) {
  HeaderColumns columns;
  const struct {
    std::string name;
    Texts headers;
    Columns target;
    Columns added;
    std::uint32_t width;
  } files[] = {
      {"first keeps its places, a blank header stays a gap",
       {"姓名", "", "金额", "日期"},
       {1, 0, 3, 4},
       {},
       4},
      {"same texts in another order", {"日期", "姓名", "金额"}, {4, 1, 3}, {}, 4},
      {"a missing column leaves its place alone", {"金额"}, {3}, {}, 4},
      {"new texts go to the right in their own order",
       {"部门", "姓名", "电话"},
       {5, 1, 6},
       {1, 3},
       6},
      {"a text added earlier is matched later", {"电话", "部门"}, {6, 5}, {}, 6},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const HeaderColumns::Placement placement = columns.Place(f.headers, "文件“x”");
    EXPECT_EQ(placement.target, f.target);
    EXPECT_EQ(placement.added, f.added);
    EXPECT_EQ(columns.width(), f.width);
  }
}

TEST(HeaderColumnsTest, AFirstFileWithoutHeadersStillCountsAsTheFirst) {
  HeaderColumns columns;
  EXPECT_EQ(columns.Place({}, "a").target, Columns{});
  const HeaderColumns::Placement second = columns.Place({"甲", "乙"}, "b");
  EXPECT_EQ(second.target, (Columns{1, 2}));
  EXPECT_EQ(second.added, (Columns{1, 2}));
}

TEST(HeaderColumnsTest, DuplicateTextInOneFileNamesTheFileTheTextAndBothColumns) {
  for (const bool first : {true, false}) {
    SCOPED_TRACE(first ? "first file" : "later file");
    HeaderColumns columns;
    if (!first) columns.Place({"金额"}, "文件“a.xlsx”");
    try {
      columns.Place({"金额", "姓名", "金额"}, "文件“b.xlsx”的工作表“数据”");
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 1004);
      EXPECT_EQ(error.description(),
                "文件“b.xlsx”的工作表“数据”的标题行中，标题“金额”出现了两次（第 1 列和第 3 "
                "列），无法按标题对应列。请改掉其中一个标题后再合并。");
    }
    // Nothing of the refused file was placed: 姓名 is still new to the next one.
    const HeaderColumns::Placement next = columns.Place({"姓名"}, "c");
    EXPECT_EQ(next.added, first ? Columns{} : Columns{1});
  }
}

}  // namespace
}  // namespace tavrio::batch
