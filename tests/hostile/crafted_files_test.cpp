// Files made to hurt the reader, merged by tavrio-merge in a process of its own: each is
// refused with a message that says which limit it broke, or merged correctly, and the peak
// memory of every run is printed (figures, not assertions on speed).

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/hostile/hostile_support.h"
#include "tests/support/temp_folder.h"

namespace tavrio::hostile {
namespace {

using automation::readers::OpenWorkbookFile;
using automation::readers::testing::RecordingSink;
using automation::readers::testing::SheetXml;
using automation::readers::testing::WorkbookParts;
using automation::readers::testing::WritePackage;
using tavrio::testing::TempFolder;

// No crafted file may make the merge hold more than this; an honest merge of these tiny
// workbooks needs a small fraction of it.
constexpr long kMemoryBoundKib = 256 * 1024;

const std::string kPart = "部件“xl/worksheets/sheet1.xml”";

std::string HeaderRow() {
  return R"(<row r="1"><c r="A1" t="inlineStr"><is><t>编号</t></is></c></row>)";
}

std::string BillionLaughs() {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  for (int level = 1; level <= 9; ++level) {
    std::string previous = level == 1 ? "lol" : "lol" + std::to_string(level - 1);
    xml += "<!ENTITY lol" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) xml += "&" + previous + ";";
    xml += "\">";
  }
  return xml +
         "]><worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&lol9;"
         "</t></is></c></row></sheetData></worksheet>";
}

std::string DeeplyNested(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<x>";
    close += "</x>";
  }
  return SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v>" + open + close + "</c></row>");
}

struct CraftedCase {
  std::string name;
  std::function<std::string()> sheet_xml;
  std::string shared_items;
  // Empty: merged; the check then reads the output back.
  std::string reason;
  std::function<void(const RecordingSink& merged)> check = nullptr;
};

const std::vector<CraftedCase>& CraftedCases() {
  static const std::vector<CraftedCase> cases = {
      // A sheet is streamed: however far it inflates past its compressed size, it costs memory
      // of one chunk, and the 2 GiB limit bounds its time. (A part read whole is refused past
      // 100:1; package_limits_test has that case.)
      {"ZipBomb", [] { return SheetXml(HeaderRow() + std::string(60 << 20, ' ')); }, "", "",
       [](const RecordingSink& merged) {
         EXPECT_EQ(merged.cells().size(), 1u);
         EXPECT_EQ(merged.At("A1").text, "编号");
       }},
      {"XmlEntityBomb", BillionLaughs, "",
       "超出限制：" + kPart + "含有 DOCTYPE 或 ENTITY 声明（位于第 23 字节），为安全起见拒绝读取"},
      {"DeeplyNestedXml", [] { return DeeplyNested(10000); }, "",
       "超出限制：" + kPart + "的 XML 嵌套超过 256 层（位于第 " +
           std::to_string(DeeplyNested(10000).find("<x>") + 252 * 3 + 1) + " 字节）"},
      {"SharedStringIndexOutOfRange",
       [] { return SheetXml(HeaderRow() + R"(<row r="2"><c r="A2" t="s"><v>1</v></c></row>)"); },
       "<si><t>只有一个</t></si>",
       "文件已损坏：单元格 A2 引用的共享字符串编号 1 超出范围（共 1 个）"},
      {"StyleIndexOutOfRange",
       [] {
         return SheetXml(HeaderRow() + R"(<row r="2"><c r="A2" s="4000000000"><v>1</v></c></row>)");
       },
       "", "文件已损坏：单元格 A2 的样式编号 4000000000 超出范围（共 3 个样式）"},
      {"HugeClaimedDimension",
       [] {
         std::string xml = SheetXml(HeaderRow() + R"(<row r="2"><c r="A2"><v>7</v></c></row>)");
         xml.insert(xml.find("<sheetData>"), R"(<dimension ref="A1:XFD1048576"/>)");
         return xml;
       },
       "", "",
       [](const RecordingSink& merged) {
         EXPECT_EQ(merged.cells().size(), 2u);
         EXPECT_EQ(merged.At("A1").text, "编号");
         EXPECT_EQ(merged.At("A2").number, 7);
       }},
      {"OneCellAtTheLastRowAndColumn",
       [] {
         return SheetXml(HeaderRow() +
                         R"(<row r="1048576"><c r="XFD1048576"><v>42.5</v></c></row>)");
       },
       "", "",
       [](const RecordingSink& merged) {
         EXPECT_EQ(merged.cells().size(), 2u);
         EXPECT_EQ(merged.At("A1").text, "编号");
         EXPECT_EQ(merged.At("XFD1048576").number, 42.5);
       }},
  };
  return cases;
}

class CraftedFileTest : public ::testing::TestWithParam<CraftedCase> {};

TEST_P(CraftedFileTest, IsRefusedOrMergedWithinBoundedMemory) {
  const CraftedCase& c = GetParam();
  TempFolder dir;
  const std::string input = dir.File("crafted.xlsx");
  const std::string output = dir.File("merged.xlsx");
  WritePackage(input, WorkbookParts({{"Sheet1", c.sheet_xml()}}, c.shared_items));
  SourceSnapshot sources({input});

  MergeOutcome outcome = RunMergeProgram({"-o", output, input});
  std::cout << "[ peak RSS ] " << c.name << ": " << outcome.peak_rss_kib << " KiB\n";
  RecordProperty("peak_rss_kib", std::to_string(outcome.peak_rss_kib));

  EXPECT_LT(outcome.peak_rss_kib, kMemoryBoundKib);
  EXPECT_TRUE(sources.Changed().empty());
  if (!c.reason.empty()) {
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_EQ(outcome.err, FailureText(1004, "无法读取文件“" + input + "”中的工作表“Sheet1”：" +
                                                 c.reason + "。"));
    EXPECT_FALSE(std::filesystem::exists(output));
    return;
  }
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "已完成，共合并文件1个文件！\n");
  RecordingSink merged;
  OpenWorkbookFile(output)->ReadSheet(0, merged);
  c.check(merged);
}

INSTANTIATE_TEST_SUITE_P(Crafted, CraftedFileTest, ::testing::ValuesIn(CraftedCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tavrio::hostile
