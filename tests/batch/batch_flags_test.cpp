// tavrio-merge's flags beyond the window's controls, end to end on workbooks written for each
// case and read back with openpyxl.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "batch/batch_run.h"
#include "bench/xlsx_workbook.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::batch {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

struct Formula {
  std::string text;
  double value;
};
// A cell with a format and no value.
struct StyledBlank {};
using Value = std::variant<std::monostate, double, std::string, Formula, StyledBlank>;
using Rows = std::vector<std::vector<Value>>;

struct SheetSpec {
  std::string name;
  Rows rows;
  bool hidden = false;
};

void WriteBook(const fs::path& path, const std::vector<SheetSpec>& sheets) {
  fs::create_directories(path.parent_path());
  bench::WriteWorkbook(path, false, [&](bench::XlsxWorkbook& book) {
    lxw_format* bold = workbook_add_format(book.get());
    format_set_bold(bold);
    lxw_worksheet* first_visible = nullptr;
    for (const SheetSpec& spec : sheets) {
      lxw_worksheet* sheet = book.AddSheet(spec.name);
      if (!spec.hidden && first_visible == nullptr) first_visible = sheet;
      for (std::size_t r = 0; r < spec.rows.size(); ++r) {
        for (std::size_t c = 0; c < spec.rows[r].size(); ++c) {
          const Value& value = spec.rows[r][c];
          const auto row = static_cast<lxw_row_t>(r);
          const auto column = static_cast<lxw_col_t>(c);
          if (const auto* number = std::get_if<double>(&value)) {
            worksheet_write_number(sheet, row, column, *number, nullptr);
          } else if (const auto* text = std::get_if<std::string>(&value)) {
            worksheet_write_string(sheet, row, column, text->c_str(), nullptr);
          } else if (const auto* formula = std::get_if<Formula>(&value)) {
            worksheet_write_formula_num(sheet, row, column, formula->text.c_str(), nullptr,
                                        formula->value);
          } else if (std::holds_alternative<StyledBlank>(value)) {
            worksheet_write_blank(sheet, row, column, bold);
          }
        }
      }
    }
    // libxlsxwriter keeps the active sheet visible, and the first sheet is active unless told.
    worksheet_activate(first_visible);
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      if (sheets[i].hidden)
        worksheet_hide(workbook_get_worksheet_by_name(book.get(), sheets[i].name.c_str()));
    }
  });
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The workbook as openpyxl reads it (see dump_workbook.py); empty when it cannot be read.
std::string Dump(const fs::path& path) {
  return testing::RunCommand(Quoted(*testing::PythonWithOpenpyxl()) + " " +
                             Quoted(TAVRIO_DUMP_WORKBOOK) + " " + Quoted(path))
      .value_or("");
}

// Rows as dump_workbook.py prints them.
std::string Lines(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) text += row + "\n";
  return text;
}

std::string Sheet(const std::string& name, const std::vector<std::string>& rows) {
  return "## " + name + "\n" + Lines(rows);
}

class BatchFlagsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl");
    WriteBook(In("一月.xlsx"), {{"数据",
                                 {{"姓名", "金额", "日期", "合计"},
                                  {"张三", 10.0, "2024-01-05", Formula{"=B2*2", 20}},
                                  {"李四", 20.0, "2024-01-09", Formula{"=B3*2", 40}}}},
                                {"隐藏", {{"姓名", "金额"}, {"隐", 99.0}}, true},
                                {"备注", {{"姓名", "金额"}, {"王五", 30.0}}}});
    WriteBook(In("二月.xlsx"), {{"数据",
                                 {{" 金额 ", "姓名", "部门", "合计"},
                                  {50.0, "赵六", "销售", Formula{"=A2*2", 100}, StyledBlank{}},
                                  {60.0, "钱七", {}, Formula{"=A3*2+'说明'!A1", 120}}}}});
    WriteBook(In("三月.xlsx"), {{"数据",
                                 {{"姓名", "金额", "日期", "合计"},
                                  {"孙八", 70.0, "2024-03-01", Formula{"=B2*2", 140}}}}});
    ASSERT_FALSE(Dump(In("三月.xlsx")).empty()) << "openpyxl cannot read the sources";
  }

  std::string In(const std::string& name) const {
    return (fs::path(inputs.path()) / name).string();
  }
  std::string Out(const std::string& name) const {
    return (fs::path(outputs.path()) / name).string();
  }

  int Run(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    return RunBatch(arguments, out, err, false);
  }

  void ExpectFailure(const std::vector<std::string>& arguments, const std::string& description) {
    EXPECT_EQ(Run(arguments), kExitFailure);
    EXPECT_EQ(err.str(), "运行时错误 '1004':\n\n" + description + "\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(fs::is_empty(outputs.path()));
  }

  TempFolder inputs;
  TempFolder outputs;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(BatchFlagsTest, SourceColumnNamesEachRowsFileAfterTheLastColumn) {
  ASSERT_EQ(Run({"--source-column", "来源", "-o", Out("o.xlsx"), In("一月.xlsx"), In("三月.xlsx")}),
            kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件2个文件！\n");
  EXPECT_EQ(Dump(Out("o.xlsx")),
            Sheet("Sheet1", {R"(["姓名","金额","日期","合计","来源"])",
                             R"(["张三",10,"2024-01-05","=B2*2","一月.xlsx"])",
                             R"(["李四",20,"2024-01-09","=B3*2","一月.xlsx"])",
                             R"(["孙八",70,"2024-03-01","=B4*2","三月.xlsx"])"}));
}

TEST_F(BatchFlagsTest, MatchHeadersPlacesColumnsByTheirHeaderTexts) {
  ASSERT_EQ(Run({"--match-headers", "-o", Out("o.xlsx"), In("一月.xlsx"), In("二月.xlsx"),
                 In("三月.xlsx")}),
            kExitSuccess)
      << err.str();
  // 二月 has 金额 first and no 日期, and adds 部门. Its 合计 formulas follow 金额 from A to B;
  // the one that also reads another sheet cannot be sure where that points and keeps its
  // value. 三月 has 一月's order, so its formula moves with its row as in any paste.
  // 二月's formatted blank in E, past its headers, stays behind: E is 部门 here (a regression:
  // it landed on 部门's cell, and the row held column E twice).
  EXPECT_EQ(Dump(Out("o.xlsx")),
            Sheet("Sheet1",
                  {R"(["姓名","金额","日期","合计","部门"])", R"(["张三",10,"2024-01-05","=B2*2"])",
                   R"(["李四",20,"2024-01-09","=B3*2"])", R"(["赵六",50,null,"=B4*2","销售"])",
                   R"(["钱七",60,null,120])", R"(["孙八",70,"2024-03-01","=B6*2"])"}));
  EXPECT_EQ(out.str(), "已完成，共合并文件3个文件！\n注意：文件“" + In("二月.xlsx") +
                           "”的工作表“数据”中有 1 个公式在列按标题换了位置后，"
                           "无法确定其引用应指向哪里，这些单元格保留了公式的计算结果，"
                           "不再是公式（第一个在合并结果的工作表“Sheet1”的 D5）。\n");
}

// 数量 and 单价 in rows 2 to 4 (in the order `headers` gives), 金额 {=A2:A4*B2:B4} beside
// them, 合计 a dynamic array {=SUM(...)}, and row 5 {=TRANSPOSE(...)} over A5:B5 reading 数量.
void WriteArrayBook(const fs::path& path, bool price_first) {
  bench::WriteWorkbook(path, false, [&](bench::XlsxWorkbook& book) {
    lxw_worksheet* sheet = book.AddSheet("数据");
    const char* headers[] = {price_first ? "单价" : "数量", price_first ? "数量" : "单价", "金额",
                             "合计"};
    for (lxw_col_t c = 0; c < 4; ++c) worksheet_write_string(sheet, 0, c, headers[c], nullptr);
    const double quantity[] = {3, 5, 2};
    const double price[] = {2.5, 1.2, 4.75};
    for (lxw_row_t r = 1; r <= 3; ++r) {
      worksheet_write_number(sheet, r, price_first ? 1 : 0, quantity[r - 1], nullptr);
      worksheet_write_number(sheet, r, price_first ? 0 : 1, price[r - 1], nullptr);
    }
    worksheet_write_array_formula_num(sheet, 1, 2, 3, 2, "{=A2:A4*B2:B4}", nullptr, 7.5);
    worksheet_write_dynamic_array_formula_num(sheet, 1, 3, 1, 3, "=SUM(A2:A4*B2:B4)", nullptr, 23);
    worksheet_write_array_formula_num(
        sheet, 4, 0, 4, 1, price_first ? "{=TRANSPOSE(B2:B3)}" : "{=TRANSPOSE(A2:A3)}", nullptr, 3);
  });
}

// Matched by header, an array goes along where its columns stay side by side and its formula
// follows them; the one whose columns changed places lands as its values, and is named.
TEST_F(BatchFlagsTest, MatchHeadersKeepsOnlyArraysWhoseColumnsStayTogether) {
  WriteArrayBook(In("甲.xlsx"), false);
  WriteArrayBook(In("乙.xlsx"), true);
  ASSERT_EQ(Run({"--match-headers", "-o", Out("o.xlsx"), In("甲.xlsx"), In("乙.xlsx")}),
            kExitSuccess)
      << err.str();
  EXPECT_EQ(Dump(Out("o.xlsx")),
            Sheet("Sheet1", {R"j(["数量","单价","金额","合计"])j",
                             R"j([3,2.5,"=A2:A4*B2:B4","=SUM(A2:A4*B2:B4)"])j", R"j([5,1.2,0])j",
                             R"j([2,4.75,0])j", R"j(["=TRANSPOSE(A2:A3)",0])j",
                             R"j([3,2.5,"=B6:B8*A6:A8","=SUM(B6:B8*A6:A8)"])j", R"j([5,1.2,0])j",
                             R"j([2,4.75,0])j", R"j([0,3])j"}));
  EXPECT_EQ(out.str(), "已完成，共合并文件2个文件！\n注意：文件“" + In("乙.xlsx") +
                           "”的工作表“数据”中有 1 个公式在列按标题换了位置后，"
                           "无法确定其引用应指向哪里，这些单元格保留了公式的计算结果，"
                           "不再是公式（第一个在合并结果的工作表“Sheet1”的 B9）。\n");
}

TEST_F(BatchFlagsTest, MatchHeadersKeepsTheCalculatedValueOfAFormulaStoredWithoutOne) {
  // libxlsxwriter's 0 is no result; the formula reads another sheet, so once 金额 moved it
  // lands as its value, which only calculating the source gives (regression: an empty cell).
  WriteBook(In("四月.xlsx"),
            {{"数据", {{"金额", "姓名", "合计"}, {50.0, "周九", Formula{"=A2*2+'说明'!A1", 0}}}},
             {"说明", {{5.0}}}});
  ASSERT_EQ(Run({"--match-headers", "-o", Out("o.csv"), In("一月.xlsx"), In("四月.xlsx")}),
            kExitSuccess)
      << err.str();
  EXPECT_EQ(testing::ReadFile(Out("o.csv")),
            "\xEF\xBB\xBF姓名,金额,日期,合计\r\n张三,10,2024-01-05,20\r\n"
            "李四,20,2024-01-09,40\r\n周九,50,,105\r\n");
}

TEST_F(BatchFlagsTest, MatchHeadersRefusesHeadersItCannotMatch) {
  WriteBook(In("重复.xlsx"), {{"Sheet1", {{"金额", "姓名", "金额 "}, {1.0, "甲", 2.0}}}});
  ExpectFailure({"--match-headers", "-o", Out("o.xlsx"), In("一月.xlsx"), In("重复.xlsx")},
                "文件“" + In("重复.xlsx") +
                    "”的工作表“Sheet1”的标题行中，标题“金额”出现了两次（第 1 列和第 3 列），"
                    "无法按标题对应列。请改掉其中一个标题后再合并。");
  WriteBook(In("无题.xlsx"), {{"Sheet1", {{"姓名", {}, "金额"}, {"甲", 5.0, 6.0}}}});
  ExpectFailure({"--match-headers", "-o", Out("o.xlsx"), In("一月.xlsx"), In("无题.xlsx")},
                "文件“" + In("无题.xlsx") +
                    "”的工作表“Sheet1”的 B 列有数据（如 B2），但标题行（第 1 行）中这一列没有"
                    "标题，无法按标题对应列。请给这一列加上标题后再合并。");
}

TEST_F(BatchFlagsTest, AllSheetsTakesEveryVisibleSheetInWorkbookOrder) {
  ASSERT_EQ(Run({"--all-sheets", "--source-column", "来源", "-o", Out("o.xlsx"), In("一月.xlsx"),
                 In("二月.xlsx")}),
            kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件2个文件！（3个工作表）\n");
  // The hidden sheet 隐藏 is left out; 备注's header row is not repeated. 二月's formatted
  // blank in E counts as the table's: the source column goes to F, overwriting no format.
  EXPECT_EQ(Dump(Out("o.xlsx")),
            Sheet("Sheet1", {R"(["姓名","金额","日期","合计",null,"来源"])",
                             R"(["张三",10,"2024-01-05","=B2*2",null,"一月.xlsx / 数据"])",
                             R"(["李四",20,"2024-01-09","=B3*2",null,"一月.xlsx / 数据"])",
                             R"(["王五",30,null,null,null,"一月.xlsx / 备注"])",
                             R"([50,"赵六","销售","=A5*2",null,"二月.xlsx / 数据"])",
                             R"([60,"钱七",null,"=A6*2+'说明'!A4",null,"二月.xlsx / 数据"])"}));
}

TEST_F(BatchFlagsTest, AllSheetsSkipsHiddenSheetsEvenBeforeTheFirstVisible) {
  WriteBook(In("先藏.xlsx"), {{"藏", {{"姓名"}, {"隐"}}, true}, {"可见", {{"姓名"}, {"甲"}}}});
  ASSERT_EQ(Run({"--all-sheets", "-o", Out("o.xlsx"), In("先藏.xlsx")}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件1个文件！（1个工作表）\n");
  EXPECT_EQ(Dump(Out("o.xlsx")), "## Sheet1\n[\"姓名\"]\n[\"甲\"]\n");
}

TEST_F(BatchFlagsTest, RecursiveMergesNestedChineseFoldersFolderByFolder) {
  const Rows rows = {{"姓名"}, {"行"}};
  for (const char* name : {"月报/一月.xlsx", "月报/一季度/二月.xlsx", "月报/一季度/三月.xlsx",
                           "月报/二季度/四月.xlsx"}) {
    WriteBook(In(name), {{"Sheet1", rows}});
  }
  ASSERT_EQ(Run({"--recursive", "--source-column", "来源", "-o", Out("o.csv"), In("月报")}),
            kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件4个文件！\n");
  // The folder's own files first, then 二季度 (er) before 一季度 (yi), each in name order.
  EXPECT_EQ(Dump(Out("o.csv")),
            Lines({R"(["姓名","来源"])", R"(["行","一月.xlsx"])", R"(["行","四月.xlsx"])",
                   R"(["行","二月.xlsx"])", R"(["行","三月.xlsx"])"}));
}

TEST_F(BatchFlagsTest, DryRunReportsEachBlockAndWritesNothing) {
  ASSERT_EQ(Run({"--dry-run", "-o", Out("o.xlsx"), In("一月.xlsx"), In("二月.xlsx")}), kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(),
            "文件\t工作表\t首行\t末行\t合并行数\n"
            "一月.xlsx\t数据\t1\t3\t3\n"
            "二月.xlsx\t数据\t2\t3\t2\n"
            "合计：2 个文件，5 行\n");
  EXPECT_TRUE(fs::is_empty(outputs.path()));
  ASSERT_EQ(Run({"--dry-run", "--all-sheets", "--start-row", "3", In("一月.xlsx")}), kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(),
            "文件\t工作表\t首行\t末行\t合并行数\n"
            "一月.xlsx\t数据\t3\t3\t1\n"
            "一月.xlsx\t备注\t4\t-\t0\n"
            "合计：2 个工作表，1 行\n");
}

TEST_F(BatchFlagsTest, DryRunFindsWhatWouldFail) {
  WriteBook(In("重复.xlsx"), {{"Sheet1", {{"金额", "金额"}, {1.0, 2.0}}}});
  EXPECT_EQ(Run({"--dry-run", "--match-headers", In("一月.xlsx"), In("重复.xlsx")}), kExitFailure);
  EXPECT_NE(err.str().find("标题“金额”出现了两次"), std::string::npos) << err.str();
}

TEST_F(BatchFlagsTest, ExecutableExitCodesAndNoProgressOffATerminal) {
  const std::string program = Quoted(TAVRIO_MERGE_PROGRAM);
  const std::string log = Out("../stderr.txt");
  const auto shell = [](const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(shell(program + " --all-sheets --source-column 来源 -o " + Quoted(Out("o.csv")) + " " +
                  Quoted(In("一月.xlsx")) + " > /dev/null 2> " + Quoted(log)),
            0);
  EXPECT_EQ(fs::file_size(log), 0u);
  fs::remove(log);
  EXPECT_EQ(shell(program + " --match-headers -o " + Quoted(Out("p.xlsx")) + " " +
                  Quoted(In("一月.xlsx")) + " " + Quoted(In("没有.xlsx")) + " 2> /dev/null"),
            1);
  EXPECT_EQ(shell(program + " --source-column 2> /dev/null"), 2);
  EXPECT_EQ(shell(program + " --all-sheets --sheet-index 2 -o x.xlsx a.xlsx 2> /dev/null"), 2);
}

}  // namespace
}  // namespace tavrio::batch
