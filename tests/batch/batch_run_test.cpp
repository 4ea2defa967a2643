#include "batch/batch_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench/workbook_generator.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::batch {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bench::GeneratedSet set;
    set.files = 3;
    set.rows = 40;
    set.columns = 12;
    set.seed = 11;
    sources = bench::GenerateWorkbooks(set, fs::path(inputs.path()) / "in");
  }

  int Run(const std::vector<std::string>& arguments, bool progress = false) {
    out.str("");
    err.str("");
    return RunBatch(arguments, out, err, progress);
  }

  // Checks the merged workbook against the sources with openpyxl; skips the test without it.
  void ExpectMergedCellByCell(const fs::path& merged, int start_row,
                              const std::vector<fs::path>& in_order) {
    const auto python = testing::PythonWithOpenpyxl();
    TAVRIO_SKIP_WITHOUT(python, "python3-openpyxl");
    std::string command = Quoted(*python) + " " + Quoted(TAVRIO_CHECK_MERGED) + " " +
                          Quoted(merged.string()) + " " + std::to_string(start_row) + " 1";
    for (const fs::path& source : in_order) command += " " + Quoted(source.string());
    EXPECT_EQ(Shell(command), 0) << command;
  }

  TempFolder inputs;
  TempFolder outputs;
  std::vector<fs::path> sources;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(BatchRunTest, MergesAFolderInNameOrderAndSavesTheResult) {
  const fs::path merged = fs::path(outputs.path()) / "合并.xlsx";
  ASSERT_EQ(Run({"-o", merged.string(), (fs::path(inputs.path()) / "in").string()}), kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件3个文件！\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(Listing(outputs.path()), std::vector<std::string>{"合并.xlsx"});
  ExpectMergedCellByCell(merged, 1, sources);
}

TEST_F(BatchRunTest, MergesGivenFilesInTheOrderGivenFromATypedStartRow) {
  const fs::path merged = fs::path(outputs.path()) / "out.xlsx";
  const std::vector<fs::path> order = {sources[2], sources[0], sources[1]};
  ASSERT_EQ(Run({"--start-row", "3", "--sheet-index", "1", "-o", merged.string(), order[0].string(),
                 order[1].string(), order[2].string()}),
            kExitSuccess)
      << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件3个文件！\n");
  ExpectMergedCellByCell(merged, 3, order);
}

TEST_F(BatchRunTest, ShowsProgressWhenAsked) {
  ASSERT_EQ(Run({"-o", (fs::path(outputs.path()) / "o.xlsx").string(), sources[0].string(),
                 sources[1].string()},
                true),
            kExitSuccess);
  EXPECT_NE(err.str().find("正在合并 1/2：book_0001.xlsx"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("正在合并 2/2：book_0002.xlsx"), std::string::npos) << err.str();
}

// A source whose XML holds bytes that are no UTF-8 (a lone surrogate encoded on its own, a stray
// byte) merges, and the CSV gets U+FFFD for them; the batch mode says so on a line of its own
// instead of passing over it.
TEST_F(BatchRunTest, AWarningLineTellsOfCharactersTheCsvCouldNotHold) {
  const auto python_path = testing::PythonWithOpenpyxl();
  TAVRIO_SKIP_WITHOUT(python_path, "python3-openpyxl");
  const std::string python = *python_path;
  const fs::path source = fs::path(inputs.path()) / "broken.xlsx";
  const fs::path script = fs::path(inputs.path()) / "write.py";
  std::ofstream(script) << R"(import sys, zipfile
main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
pkg = "http://schemas.openxmlformats.org/package/2006/relationships"
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("[Content_Types].xml", '<Types xmlns="http://schemas.openxmlformats.org/package/'
               '2006/content-types"><Default Extension="xml" ContentType="application/xml"/>'
               '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats'
               '-officedocument.spreadsheetml.sheet.main+xml"/></Types>')
    z.writestr("_rels/.rels", '<Relationships xmlns="%s"><Relationship Id="r1" Type="%s/'
               'officeDocument" Target="xl/workbook.xml"/></Relationships>' % (pkg, rel))
    z.writestr("xl/workbook.xml", '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="S" '
               'sheetId="1" r:id="r1"/></sheets></workbook>' % (main, rel))
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="%s"><Relationship Id="r1" '
               'Type="%s/worksheet" Target="worksheets/sheet1.xml"/></Relationships>' % (pkg, rel))
    z.writestr("xl/worksheets/sheet1.xml", b'<worksheet xmlns="' + main.encode() + b'"><sheetData>'
               b'<row r="1"><c r="A1" t="inlineStr"><is><t>raw \xed\xa0\x80 and \xff</t></is></c>'
               b'</row></sheetData></worksheet>')
)";
  ASSERT_EQ(Shell(Quoted(python) + " " + Quoted(script.string()) + " " + Quoted(source.string())),
            0);
  const fs::path merged = fs::path(outputs.path()) / "out.csv";
  ASSERT_EQ(Run({"-o", merged.string(), source.string()}), kExitSuccess) << err.str();
  EXPECT_EQ(out.str(), "已完成，共合并文件1个文件！\n");
  EXPECT_EQ(err.str(), "警告：文件“" + merged.string() +
                           "”已保存，但其中 1 处文本含有无法保存的字符（孤立的代理项或无效的 "
                           "UTF-8 字节），已替换为“\xEF\xBF\xBD”。\n");
  EXPECT_EQ(Contents(merged), "\xEF\xBB\xBFraw \xEF\xBF\xBD and \xEF\xBF\xBD\r\n");
}

TEST_F(BatchRunTest, FailureExitsNonZeroAndLeavesNoOutput) {
  const std::string source = sources[0].string();
  const std::string in_folder = (fs::path(inputs.path()) / "in").string();
  const std::string output = (fs::path(outputs.path()) / "out.xlsx").string();
  const struct {
    std::string name;
    std::vector<std::string> arguments;
    int exit_code;
    std::string error_start;
  } cases[] = {
      {"missing input",
       {"-o", output, source, in_folder + "/nope.xlsx"},
       kExitFailure,
       "运行时错误 '"},
      {"missing sheet",
       {"--sheet-name", "没有这个表", "-o", output, source},
       kExitFailure,
       "运行时错误 '9'"},
      {"sheet position past the end",
       {"--sheet-index", "5", "-o", output, source},
       kExitFailure,
       "运行时错误 '9'"},
      {"position that is not a number",
       {"--sheet-index", "abc", "-o", output, source},
       kExitFailure,
       "运行时错误 '13':\n\n类型不匹配"},
      {"typed start row not a number",
       {"--start-row", "abc", "-o", output, source, source},
       kExitFailure,
       "运行时错误 '13'"},
      {"output folder missing",
       {"-o", (fs::path(outputs.path()) / "no/out.xlsx").string(), source},
       kExitFailure,
       "运行时错误 '"},
      {"output is a folder",
       {"-o", outputs.path(), source},
       kExitFailure,
       "运行时错误 '1004':\n\n输出路径“" + outputs.path() + "”是文件夹"},
      {"usage", {"-o", output}, kExitUsage, "运行时错误 '5':\n\n缺少输入"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.arguments), c.exit_code);
    EXPECT_EQ(err.str().rfind(c.error_start, 0), 0u) << err.str();
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(Listing(outputs.path()).empty());
  }
}

TEST_F(BatchRunTest, OutputOverASourceIsRefusedAndTheSourceKept) {
  const std::string before = Contents(sources[1]);
  EXPECT_EQ(Run({"-o", sources[1].string(), sources[0].string(), sources[1].string()}),
            kExitFailure);
  EXPECT_EQ(err.str(), "运行时错误 '1004':\n\n输出文件“" + sources[1].string() +
                           "”是要合并的源文件之一，源文件不会被覆盖\n");
  EXPECT_EQ(Contents(sources[1]), before);
}

TEST_F(BatchRunTest, ExecutableReportsThroughItsExitCode) {
  const std::string program = Quoted(TAVRIO_MERGE_PROGRAM);
  EXPECT_EQ(Shell(program + " --help > /dev/null"), 0);
  EXPECT_EQ(Shell(program + " -o " + Quoted((fs::path(outputs.path()) / "o.xlsx").string()) + " " +
                  Quoted((fs::path(inputs.path()) / "missing.xlsx").string()) + " 2> /dev/null"),
            1);
  EXPECT_EQ(Shell(program + " --bogus 2> /dev/null"), 2);
  EXPECT_EQ(Shell(program + " -o " + Quoted((fs::path(outputs.path()) / "o.xlsx").string()) + " " +
                  Quoted(sources[0].string()) + " > /dev/null"),
            0);
  EXPECT_EQ(Listing(outputs.path()), std::vector<std::string>{"o.xlsx"});
}

}  // namespace
}  // namespace tavrio::batch
