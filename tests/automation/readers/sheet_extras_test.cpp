// What a worksheet holds besides values: formulas (shared ones expanded), row heights and
// merged cells, as the sheet parser hands them to a sink.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/readers/sheet_parser.h"

namespace tavrio::automation::readers {
namespace {

// Records, in order, what the parser hands over besides plain values.
class ExtrasSink : public CellSink {
 public:
  void Cells(std::span<const SinkCell> cells) override {
    for (const SinkCell& cell : cells) {
      if (!cell.formula.empty()) {
        std::string formula = "f " + std::string(cell.formula);
        if (cell.array_rows != 0 || cell.array_columns != 0) {
          formula += " {" + std::to_string(cell.array_rows) + "x" +
                     std::to_string(cell.array_columns) + "}";
        }
        Add(cell.row, cell.column, formula);
      }
      Add(cell.row, cell.column, Value(cell));
    }
  }
  void RowHeight(std::uint32_t row, double points) override {
    events.push_back("row " + std::to_string(row) + " height " + Trimmed(points));
  }
  void MergedCells(std::uint32_t first_row, std::uint16_t first_column, std::uint32_t last_row,
                   std::uint16_t last_column) override {
    events.push_back("merge " + std::to_string(first_row) + "," + std::to_string(first_column) +
                     " " + std::to_string(last_row) + "," + std::to_string(last_column));
  }

  std::vector<std::string> events;

 private:
  static std::string Value(const SinkCell& cell) {
    switch (cell.kind) {
      case SinkCell::Kind::kNumber:
        return "n " + Trimmed(cell.number);
      case SinkCell::Kind::kText:
      case SinkCell::Kind::kSharedText:
        return "s " + std::string(cell.text);
      case SinkCell::Kind::kBoolean:
        return cell.number != 0 ? "b 1" : "b 0";
      case SinkCell::Kind::kError:
        return "e " + std::string(cell.text);
      case SinkCell::Kind::kBlank:
        break;
    }
    return "blank";
  }
  static std::string Trimmed(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
  }
  void Add(std::uint32_t row, std::uint16_t column, const std::string& what) {
    events.push_back(std::to_string(row) + "," + std::to_string(column) + " " + what);
  }
};

std::vector<std::string> Parse(const std::string& sheet_data, const std::string& after = "") {
  const std::string xml =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<sheetData>" +
      sheet_data + "</sheetData>" + after + "</worksheet>";
  ExtrasSink sink;
  SheetContext context{"xl/worksheets/sheet1.xml", nullptr, 4, false};
  ParseSheetXml(xml, context, sink);
  return sink.events;
}

TEST(SheetExtrasTest, SharedFormulasAreExpandedToEachCellsOwnFormula) {
  const auto events = Parse(
      "<row r=\"2\"><c r=\"A2\"><v>1</v></c>"
      "<c r=\"B2\"><f t=\"shared\" ref=\"B2:C3\" si=\"0\">A2*$A$1+SUM(A$1:A2)</f><v>3</v></c>"
      "<c r=\"C2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
      "<row r=\"3\"><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>5</v></c>"
      "<c r=\"D3\"><f t=\"shared\" si=\"7\"/><v>6</v></c>"
      "<c r=\"E3\" t=\"str\"><f>IF(A3&gt;0,\"&lt;正&gt;\",\"\")</f><v>&lt;正&gt;</v></c>"
      "<c r=\"F3\"><f>A1+1</f></c>"
      "<c r=\"G3\"><f>A1+2</f><v></v></c>"
      "<c r=\"H3\"><f t=\"array\" ref=\"H3:H4\">A1:A2*2</f><v>2</v></c></row>");
  const std::vector<std::string> expected = {
      "2,1 n 1",
      "2,2 f A2*$A$1+SUM(A$1:A2)",
      "2,2 n 3",
      "2,3 f B2*$A$1+SUM(B$1:B2)",
      "2,3 n 4",
      "3,2 f A3*$A$1+SUM(A$1:A3)",
      "3,2 n 5",
      "3,4 n 6",  // a shared formula whose first cell never came keeps its result only
      "3,5 f IF(A3>0,\"<正>\",\"\")",
      "3,5 s <正>",
      "3,6 f A1+1",  // no cached result
      "3,6 blank",
      "3,7 f A1+2",
      "3,7 blank",
      "3,8 f A1:A2*2 {2x1}",
      "3,8 n 2",
  };
  EXPECT_EQ(events, expected);
}

// An array formula comes on its top-left cell with its range's extent; the range's other cells
// come as the values they hold. A ref that does not start at its cell, or cannot be read,
// would put the formula over cells it was not written for: the results alone come then.
struct ArrayCase {
  const char* name;
  std::string cells;
  std::vector<std::string> expected;
};

class ArrayFormulaTest : public ::testing::TestWithParam<ArrayCase> {};

TEST_P(ArrayFormulaTest, ComesOnItsTopLeftCellWithItsExtent) {
  EXPECT_EQ(Parse(GetParam().cells), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    SheetExtrasTest, ArrayFormulaTest,
    ::testing::Values(
        ArrayCase{"OneCell",
                  "<row r=\"2\"><c r=\"B2\"><f t=\"array\" ref=\"B2\">SUM(A1:A3*2)</f>"
                  "<v>12</v></c></row>",
                  {"2,2 f SUM(A1:A3*2) {1x1}", "2,2 n 12"}},
        ArrayCase{"RangeOfRowsAndColumns",
                  "<row r=\"5\"><c r=\"A5\"><f t=\"array\" ref=\"A5:B6\">A1:B2*10</f>"
                  "<v>10</v></c><c r=\"B5\"><v>20</v></c></row>"
                  "<row r=\"6\"><c r=\"A6\"><v>30</v></c><c r=\"B6\" t=\"e\"><v>#N/A</v></c>"
                  "</row>",
                  {"5,1 f A1:B2*10 {2x2}", "5,1 n 10", "5,2 n 20", "6,1 n 30", "6,2 e #N/A"}},
        ArrayCase{"DynamicArrayWithItsMetadataIndex",
                  "<row r=\"1\"><c r=\"C1\" cm=\"1\"><f t=\"array\" aca=\"false\" "
                  "ref=\"C1:C3\">_xlfn.SEQUENCE(3)</f><v>1</v></c></row>"
                  "<row r=\"2\"><c r=\"C2\"><v>2</v></c></row>"
                  "<row r=\"3\"><c r=\"C3\"><v>3</v></c></row>",
                  {"1,3 f _xlfn.SEQUENCE(3) {3x1}", "1,3 n 1", "2,3 n 2", "3,3 n 3"}},
        ArrayCase{"TextResultWithEscapes",
                  "<row r=\"1\"><c r=\"A1\" t=\"str\"><f t=\"array\" ref=\"A1:A1\">"
                  "IF(B1:B2&gt;0,\"&lt;是&gt;\")</f><v>&lt;是&gt;</v></c></row>",
                  {"1,1 f IF(B1:B2>0,\"<是>\") {1x1}", "1,1 s <是>"}},
        ArrayCase{"RefStartingElsewhere",
                  "<row r=\"2\"><c r=\"B2\"><f t=\"array\" ref=\"A1:B2\">A1</f><v>1</v></c>"
                  "</row>",
                  {"2,2 n 1"}},
        ArrayCase{"RefReversed",
                  "<row r=\"2\"><c r=\"B2\"><f t=\"array\" ref=\"B2:A1\">A1</f><v>1</v></c>"
                  "</row>",
                  {"2,2 n 1"}},
        ArrayCase{"RefMissing",
                  "<row r=\"2\"><c r=\"B2\"><f t=\"array\">A1</f><v>1</v></c></row>",
                  {"2,2 n 1"}},
        ArrayCase{"RefPastTheSheet",
                  "<row r=\"2\"><c r=\"B2\"><f t=\"array\" ref=\"B2:B1048577\">A1</f>"
                  "<v>1</v></c></row>",
                  {"2,2 n 1"}},
        ArrayCase{"DataTable",
                  "<row r=\"2\"><c r=\"B2\"><f t=\"dataTable\" ref=\"B2:B3\" dt2D=\"0\" "
                  "dtr=\"0\" r1=\"A1\"/><v>7</v></c></row>",
                  {"2,2 n 7"}}),
    [](const ::testing::TestParamInfo<ArrayCase>& info) { return std::string(info.param.name); });

TEST(SheetExtrasTest, OnlyHeightsTheUserSetAndWellFormedMergesCount) {
  const auto events = Parse(
      "<row r=\"1\" ht=\"30\" customHeight=\"1\"><c r=\"A1\"><v>1</v></c></row>"
      "<row r=\"2\" ht=\"20.25\"><c r=\"A2\"><v>2</v></c></row>"
      "<row r=\"3\" ht=\"500\" customHeight=\"1\"/>"
      "<row r=\"4\" ht=\"x\" customHeight=\"true\"/>"
      "<row r=\"5\" customHeight=\"true\" ht=\"12.5\" spans=\"1:3\"/>",
      "<mergeCells count=\"5\"><mergeCell ref=\"A1:C1\"/><mergeCell ref=\"D5:B3\"/>"
      "<mergeCell ref=\"A7\"/><mergeCell ref=\"A8:XFE9\"/><mergeCell ref=\"nonsense\"/>"
      "<mergeCell  ref = 'E1:E1048576' /></mergeCells>");
  const std::vector<std::string> expected = {
      "1,1 n 1",       "row 1 height 30",     "2,1 n 2", "row 5 height 12.5", "merge 1,1 1,3",
      "merge 3,2 5,4", "merge 1,5 1048576,5",
  };
  EXPECT_EQ(events, expected);
}

}  // namespace
}  // namespace tavrio::automation::readers
