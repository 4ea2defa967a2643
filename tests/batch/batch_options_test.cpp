#include "batch/batch_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "automation/base/error.h"

namespace tavrio::batch {
namespace {

using Args = std::vector<std::string>;

TEST(ParseArgumentsTest, ReadsEveryFlag) {
  const struct {
    std::string name;
    Args args;
    std::optional<std::string> start_row, sheet_name, sheet_index;
    std::string output;
    Args inputs;
  } cases[] = {
      {"defaults", {"-o", "out.xlsx", "a.xlsx"}, {}, {}, {}, "out.xlsx", {"a.xlsx"}},
      {"start row as typed",
       {"--start-row", " 3 ", "-o", "o.xlsx", "a.xlsx", "b.xlsx"},
       " 3 ",
       {},
       {},
       "o.xlsx",
       {"a.xlsx", "b.xlsx"}},
      {"sheet by name",
       {"--sheet-name", "数据", "-o", "o.csv", "d"},
       {},
       "数据",
       {},
       "o.csv",
       {"d"}},
      {"sheet by position text",
       {"a.xlsx", "--sheet-index", "2.7", "--output", "o.xlsx"},
       {},
       {},
       "2.7",
       "o.xlsx",
       {"a.xlsx"}},
      {"inputs keep their order",
       {"-o", "o.xlsx", "c.xlsx", "a.xlsx", "b.xlsx"},
       {},
       {},
       {},
       "o.xlsx",
       {"c.xlsx", "a.xlsx", "b.xlsx"}},
      {"after -- everything is an input",
       {"-o", "o.xlsx", "--", "-a.xlsx", "--help"},
       {},
       {},
       {},
       "o.xlsx",
       {"-a.xlsx", "--help"}},
      {"empty start row text is kept",
       {"--start-row", "", "-o", "o.xlsx", "a.xlsx"},
       "",
       {},
       {},
       "o.xlsx",
       {"a.xlsx"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BatchOptions options = ParseArguments(c.args);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(options.start_row, c.start_row);
    EXPECT_EQ(options.sheet_name, c.sheet_name);
    EXPECT_EQ(options.sheet_index, c.sheet_index);
    EXPECT_EQ(options.output, c.output);
    EXPECT_EQ(options.inputs, c.inputs);
  }
}

TEST(ParseArgumentsTest, FlagsBeyondTheWindowAreOffUnlessGiven) {
  const BatchOptions plain = ParseArguments({"-o", "o.xlsx", "a.xlsx"});
  EXPECT_FALSE(plain.Extended());
  EXPECT_FALSE(plain.recursive);
  const struct {
    std::string flag;
    bool BatchOptions::*member;
  } switches[] = {
      {"--match-headers", &BatchOptions::match_headers},
      {"--all-sheets", &BatchOptions::all_sheets},
      {"--recursive", &BatchOptions::recursive},
      {"--overflow-sheets", &BatchOptions::overflow_sheets},
      {"--dry-run", &BatchOptions::dry_run},
  };
  for (const auto& s : switches) {
    SCOPED_TRACE(s.flag);
    const BatchOptions options = ParseArguments({s.flag, "-o", "o.xlsx", "a.xlsx"});
    EXPECT_TRUE(options.*s.member);
    EXPECT_EQ(options.inputs, Args{"a.xlsx"});
    // --recursive changes only which files a folder stands for, not how they merge.
    EXPECT_EQ(options.Extended(), s.flag != "--recursive");
  }
  const BatchOptions titled = ParseArguments({"--source-column", "来源", "-o", "o.xlsx", "a.xlsx"});
  EXPECT_EQ(titled.source_column, "来源");
  EXPECT_TRUE(titled.Extended());
  const BatchOptions dry = ParseArguments({"--dry-run", "a.xlsx"});
  EXPECT_TRUE(dry.dry_run);
  EXPECT_EQ(dry.output, "");
}

TEST(ParseArgumentsTest, HelpNeedsNothingElse) {
  EXPECT_TRUE(ParseArguments({"--help"}).help);
  EXPECT_TRUE(ParseArguments({"-h"}).help);
}

TEST(ParseArgumentsTest, RefusesWrongCommandLinesWithTheReason) {
  const struct {
    Args args;
    std::string description;
  } cases[] = {
      {{"a.xlsx"}, "缺少输出文件：请用 -o 给出"},
      {{"-o", "", "a.xlsx"}, "缺少输出文件：请用 -o 给出"},
      {{"-o", "o.xlsx"}, "缺少输入：请给出要合并的文件或一个文件夹"},
      {{"-o"}, "参数 -o 缺少值"},
      {{"-o", "o.xlsx", "a.xlsx", "--start-row"}, "参数 --start-row 缺少值"},
      {{"--sheet-name", "a", "--sheet-index", "1", "-o", "o.xlsx", "a.xlsx"},
       "--sheet-name 和 --sheet-index 只能选一个"},
      {{"-o", "o.xlsx", "-o", "p.xlsx", "a.xlsx"}, "参数 -o 只能给出一次"},
      {{"--start-row", "2", "--start-row", "3", "-o", "o.xlsx", "a.xlsx"},
       "参数 --start-row 只能给出一次"},
      {{"--rows", "3", "-o", "o.xlsx", "a.xlsx"}, "未知参数：--rows（用 --help 查看用法）"},
      {{"--source-column", "", "-o", "o.xlsx", "a.xlsx"}, "--source-column 需要一个列标题"},
      {{"-o", "o.xlsx", "a.xlsx", "--source-column"}, "参数 --source-column 缺少值"},
      {{"--all-sheets", "--sheet-name", "数据", "-o", "o.xlsx", "a.xlsx"},
       "--all-sheets 合并所有工作表，不能再用 --sheet-name 或 --sheet-index 选择"},
      {{"--all-sheets", "--sheet-index", "2", "-o", "o.xlsx", "a.xlsx"},
       "--all-sheets 合并所有工作表，不能再用 --sheet-name 或 --sheet-index 选择"},
      {{"--dry-run", "-o", "o.xlsx"}, "缺少输入：请给出要合并的文件或一个文件夹"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    try {
      ParseArguments(c.args);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 5);
      EXPECT_EQ(error.description(), c.description);
    }
  }
}

TEST(UsageTextTest, ExplainsEveryFlag) {
  const std::string usage = UsageText();
  for (const char* flag :
       {"--start-row", "--sheet-name", "--sheet-index", "-o", "--help", "--", "--source-column",
        "--match-headers", "--all-sheets", "--recursive", "--overflow-sheets", "--dry-run"}) {
    EXPECT_NE(usage.find(flag), std::string::npos) << flag;
  }
}

TEST(UsageTextTest, DocumentsTheExitCodes) {
  const std::string usage = UsageText();
  for (const char* line : {"  0  合并完成", "  1  某个文件或工作表无法使用", "  2  参数有误"}) {
    EXPECT_NE(usage.find(line), std::string::npos) << line;
  }
}

TEST(UsageTextTest, NamesEveryWorkbookTypeItReads) {
  const std::string usage = UsageText();
  for (const char* type : {".xlsx", ".xlsm", ".xls、", ".ods", "CSV", "HTML"}) {
    EXPECT_NE(usage.find(type), std::string::npos) << type;
  }
}

}  // namespace
}  // namespace tavrio::batch
