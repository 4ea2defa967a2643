#include "merge/start_row.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "automation/base/error.h"
#include "merge/summary.h"

namespace tavrio::merge {
namespace {

using automation::RowArgument;

TEST(StartRowTest, RowTextAndTheRowBelow) {
  const struct {
    RowArgument start;
    std::string row;
    std::string next;
  } cases[] = {
      {std::int16_t{1}, "1", "2"},      {std::string("1"), "1", "2"},
      {std::string("3"), "3", "4"},     {std::string("5"), "5", "6"},
      {std::string(" 5 "), " 5 ", "6"}, {std::string("2.5"), "2.5", "3.5"},
      {std::string("-1"), "-1", "0"},   {std::string("1e3"), "1e3", "1001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("row: [" + c.row + "]");
    EXPECT_EQ(RowText(c.start), c.row);
    EXPECT_EQ(NextRowText(c.start), c.next);
  }
}

TEST(StartRowTest, TypedTextThatIsNotANumberHasNoRowBelow) {
  for (const std::string text : {"abc", "", "3:3", "A1"}) {
    SCOPED_TRACE("text: [" + text + "]");
    EXPECT_EQ(RowText(RowArgument(text)), text);
    try {
      NextRowText(RowArgument(text));
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 13);
      EXPECT_EQ(error.description(), "类型不匹配");
    }
  }
}

TEST(StartRowTest, LargestNumberHasNoRowBelow) {
  try {
    NextRowText(RowArgument(std::int16_t{32767}));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 6);
  }
}

TEST(StartRowTest, RowsArgumentRepeatsTheRow) {
  EXPECT_EQ(RowsArgument("1"), "1:1");
  EXPECT_EQ(RowsArgument("abc"), "abc:abc");
  EXPECT_EQ(RowsArgument(" 3"), " 3: 3");
}

TEST(SummaryTextTest, NamesTheNumberOfFiles) {
  EXPECT_EQ(SummaryText(0), "已完成，共合并文件0个文件！");
  EXPECT_EQ(SummaryText(3), "已完成，共合并文件3个文件！");
  EXPECT_EQ(SummaryText(32767), "已完成，共合并文件32767个文件！");
}

}  // namespace
}  // namespace tavrio::merge
