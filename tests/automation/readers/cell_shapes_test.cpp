// A cell reads the same however its markup is spelled: each case reads a cell in the shape
// spreadsheet applications write, whose text the parser takes without a copy, and the same cell
// written otherwise (attributes reordered, spaced, single-quoted), and requires the same cells or
// the same fault from both.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;

namespace {

struct TwinCase {
  const char* name;
  std::string common;  // the shape spreadsheet applications write
  std::string other;   // the same cell, spelled otherwise
  std::string expected;
};

// What reading a sheet of these rows gives: its cells in order, or the fault's description.
std::string Outcome(const std::string& rows) {
  TempFolder dir;
  const std::string path = dir.File("cells.xlsx");
  WritePackage(path,
               WorkbookParts({{"Sheet1", SheetXml(rows)}}, "<si><t>a</t></si><si><t>b</t></si>"));
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  try {
    reader->ReadSheet(0, sink);
  } catch (const Error& error) {
    std::string text = error.description();
    text.replace(text.find(path), path.size(), "F");
    return text;
  }
  std::ostringstream out;
  for (const auto& [place, cell] : sink.cells()) {
    out << place.first << "," << place.second << ":" << static_cast<int>(cell.kind) << " "
        << cell.number << " " << cell.text << " s" << cell.style;
    if (!cell.formula.empty()) out << " =" << cell.formula;
    out << ";";
  }
  return out.str();
}

std::string InRow(const std::string& cell) { return "<row r=\"7\">" + cell + "</row>"; }

TEST(CellShapesTest, ReadAlike) {
  const std::string kFault = "无法读取文件“F”中的工作表“Sheet1”：";
  const std::string kLimit = "”超出工作表范围（最多 1048576 行、16384 列）。";
  const std::vector<TwinCase> cases = {
      {"number", R"(<c r="B7"><v>3.25</v></c>)", R"(<c  r='B7'><v>3.25</v></c>)",
       "7,2:0 3.25  s0;"},
      {"styled number typed n", R"(<c r="C7" s="1" t="n"><v>-1E-2</v></c>)",
       R"(<c t="n" s="1" r="C7"><v>-1E-2</v></c>)", "7,3:0 -0.01  s1;"},
      {"shared text", R"(<c r="B7" s="2" t="s"><v>1</v></c>)",
       R"(<c t="s" r="B7" s="2" ><v>1</v></c>)", "7,2:1 0 b s2;"},
      {"leading zeros", R"(<c r="A007" s="02" t="s"><v>01</v></c>)",
       R"(<c s="02" r="A007" t="s"><v>01</v></c>)", "7,1:1 0 b s2;"},
      {"a reference to another row", R"(<c r="XFD9"><v>.5</v></c>)", R"(<c r='XFD9'><v>.5</v></c>)",
       "9,16384:0 0.5  s0;"},
      {"plus sign and spaces", R"(<c r="A7"><v>+1</v></c><c r="B7"><v> 2</v></c>)",
       R"(<c r='A7'><v>+1</v></c><c r='B7'><v> 2</v></c>)", "7,1:0 1  s0;7,2:0 2  s0;"},
      {"empty value styled", R"(<c r="A7" s="1"><v></v></c>)", R"(<c s="1" r="A7"><v></v></c>)",
       "7,1:4 0  s1;"},
      {"lower-case reference", R"(<c r="b7"><v>1</v></c>)", R"(<c r='b7'><v>1</v></c>)",
       "7,2:0 1  s0;"},
      {"style out of range", R"(<c r="C7" s="3" t="s"><v>0</v></c>)",
       R"(<c t="s" s="3" r="C7"><v>0</v></c>)",
       kFault + "文件已损坏：单元格 C7 的样式编号 3 超出范围（共 3 个样式）。"},
      {"shared index out of range", R"(<c r="B7" t="s"><v>2</v></c>)",
       R"(<c t="s" r="B7"><v>2</v></c>)",
       kFault + "文件已损坏：单元格 B7 引用的共享字符串编号 2 超出范围（共 2 个）。"},
      {"shared index not a number", R"(<c r="B7" t="s"><v>-1</v></c>)",
       R"(<c t="s" r="B7"><v>-1</v></c>)",
       kFault + "文件已损坏：单元格 B7 的共享字符串编号“-1”无效。"},
      {"number too large", R"(<c r="A7"><v>1e999</v></c>)", R"(<c r='A7'><v>1e999</v></c>)",
       kFault + "文件已损坏：单元格 A7 的数值“1e999”无效。"},
      {"infinity", R"(<c r="A7"><v>inf</v></c>)", R"(<c r='A7'><v>inf</v></c>)",
       kFault + "文件已损坏：单元格 A7 的数值“inf”无效。"},
      {"hexadecimal", R"(<c r="A7"><v>0x10</v></c>)", R"(<c r='A7'><v>0x10</v></c>)",
       kFault + "文件已损坏：单元格 A7 的数值“0x10”无效。"},
      {"row zero", R"(<c r="A0"><v>1</v></c>)", R"(<c r='A0'><v>1</v></c>)",
       kFault + "文件已损坏：部件“xl/worksheets/sheet1.xml”中的单元格引用“A0”无效。"},
      {"row past the last", R"(<c r="A1048577"><v>1</v></c>)", R"(<c r='A1048577'><v>1</v></c>)",
       kFault + "超出限制：单元格引用“A1048577" + kLimit},
      {"nine-digit row", R"(<c r="A000000001"><v>1</v></c>)", R"(<c r='A000000001'><v>1</v></c>)",
       kFault + "超出限制：单元格引用“A000000001" + kLimit},
      {"column past the last", R"(<c r="XFE7"><v>1</v></c>)", R"(<c r='XFE7'><v>1</v></c>)",
       kFault + "超出限制：单元格引用“XFE7" + kLimit},
      {"formula", R"(<c r="I7" s="1"><f>E7*G7</f><v>12.5</v></c>)",
       R"(<c s="1" r="I7"><f>E7*G7</f><v>12.5</v></c>)", "7,9:0 12.5  s1 =E7*G7;"},
      {"formula tag spaced", R"(<c r="I7" s="1"><f>E7*G7</f><v>12.5</v></c>)",
       R"(<c s="1" r="I7"><f >E7*G7</f ><v>12.5</v></c>)", "7,9:0 12.5  s1 =E7*G7;"},
      {"a second formula element, the last one counts",
       R"(<c r="A7"><f t="shared" si="0">B7</f><f>C7</f><v>1</v></c>)",
       R"(<c r="A7"><f t="shared" si="0">B7</f><f >C7</f><v>1</v></c>)", "7,1:0 1  s0 =C7;"},
      {"formula with a comparison", R"(<c r="A7"><f>IF(B7>0,"a",C$1)</f><v>2</v></c>)",
       R"(<c r='A7'><f>IF(B7>0,"a",C$1)</f><v>2</v></c>)", "7,1:0 2  s0 =IF(B7>0,\"a\",C$1);"},
      {"formula with an entity", R"(<c r="A7"><f>B7&amp;C7</f><v>1</v></c>)",
       R"(<c r='A7'><f>B7&amp;C7</f><v>1</v></c>)", "7,1:0 1  s0 =B7&C7;"},
      {"empty formula", R"(<c r="A7"><f></f><v>1</v></c>)", R"(<c r='A7'><f></f><v>1</v></c>)",
       "7,1:0 1  s0;"},
      {"formula without a value", R"(<c r="A7" s="1"><f>B7</f><v></v></c>)",
       R"(<c s="1" r="A7"><f>B7</f><v></v></c>)", "7,1:4 0  s1 =B7;"},
      {"formula with a shared text", R"(<c r="A7" t="s"><f>B7</f><v>0</v></c>)",
       R"(<c t="s" r="A7"><f>B7</f><v>0</v></c>)", "7,1:1 0 a s0 =B7;"},
      {"four letters", R"(<c r="AAAA7"><v>1</v></c>)", R"(<c r='AAAA7'><v>1</v></c>)",
       kFault + "超出限制：单元格引用“AAAA7" + kLimit},
      // A row's cells in order are placed by the reference the next column has, which must
      // carry its letters over as a reference does.
      {"columns across a carry of their letters",
       R"(<c r="Y7"><v>1</v></c><c r="Z7"><v>2</v></c><c r="AA7"><v>3</v></c><c r="AB7"><v>4</v></c>)",
       R"(<c r="Y7"><v>1</v></c><c><v>2</v></c><c><v>3</v></c><c><v>4</v></c>)",
       "7,25:0 1  s0;7,26:0 2  s0;7,27:0 3  s0;7,28:0 4  s0;"},
      {"two letters to three",
       R"(<c r="ZY7"><v>1</v></c><c r="ZZ7"><v>2</v></c><c r="AAA7"><v>3</v></c>)",
       R"(<c r="zy7"><v>1</v></c><c r="zz7"><v>2</v></c><c r="aaa7"><v>3</v></c>)",
       "7,701:0 1  s0;7,702:0 2  s0;7,703:0 3  s0;"},
      {"a gap, then in order again",
       R"(<c r="A7"><v>1</v></c><c r="C7"><v>2</v></c><c r="D7"><v>3</v></c>)",
       R"(<c r="a7"><v>1</v></c><c r="C07"><v>2</v></c><c><v>3</v></c>)",
       "7,1:0 1  s0;7,3:0 2  s0;7,4:0 3  s0;"},
      {"a cell of another row between the row's",
       R"(<c r="A7"><v>1</v></c><c r="B8"><v>2</v></c><c r="C7"><v>3</v></c>)",
       R"(<c r="A7"><v>1</v></c><c r="b8"><v>2</v></c><c><v>3</v></c>)",
       "7,1:0 1  s0;7,3:0 3  s0;8,2:0 2  s0;"},
      {"in order past the last column",
       R"(<c r="XFC7"><v>1</v></c><c r="XFD7"><v>2</v></c><c r="XFE7"><v>3</v></c>)",
       R"(<c r="XFC7"><v>1</v></c><c><v>2</v></c><c r="XFE7"><v>3</v></c>)",
       kFault + "超出限制：单元格引用“XFE7" + kLimit},
  };
  for (const TwinCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Outcome(InRow(c.common)), c.expected);
    EXPECT_EQ(Outcome(InRow(c.other)), c.expected);
  }
}

// A number cell reads as exactly the double its text names, bit for bit: a wrong last bit would
// change a merged number without anyone seeing why. -0 keeps its sign.
TEST(CellShapesTest, NumbersReadBitForBit) {
  const std::vector<std::string> texts = {"-0",
                                          "40003",
                                          "-12.5",
                                          "0.1",
                                          "1234567890.12345",
                                          "0.12345678901234567",
                                          "123456789012345678",
                                          "1e-300",
                                          "-2.5E+300"};
  std::string rows;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    rows += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1) + "\"><v>" +
            texts[i] + "</v></c></row>";
  }
  TempFolder dir;
  const std::string path = dir.File("numbers.xlsx");
  WritePackage(path, WorkbookParts({{"Sheet1", SheetXml(rows)}}));
  RecordingSink sink;
  OpenWorkbookFile(path)->ReadSheet(0, sink);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(texts[i]);
    double exact = 0;
    std::from_chars(texts[i].data(), texts[i].data() + texts[i].size(), exact);
    const double read = sink.At("A" + std::to_string(i + 1)).number;
    EXPECT_EQ(std::memcmp(&read, &exact, sizeof read), 0) << read;
  }
  EXPECT_TRUE(std::signbit(sink.At("A1").number));
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
