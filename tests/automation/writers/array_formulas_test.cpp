// Array formulas through a whole merge: sources LibreOffice saved with matrix formulas, merged
// by the engine, saved, then read back by openpyxl (its ArrayFormula objects with their ranges,
// and the cached results) and recalculated by LibreOffice, which must find the results the
// sources had.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "tests/support/array_fixtures.h"
#include "tests/support/engine_merge_step.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

using tavrio::testing::ArrayFixtureDir;
using tavrio::testing::ArraySourceRows;
using tavrio::testing::kArrayFebruary;
using tavrio::testing::kArrayJanuary;

// Every formula as "cell ref text" (plain ones with ref "-"), then every cached value of
// rows 2 on as "cell value".
constexpr char kDumpArrays[] = R"(
import sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).active
# openpyxl 3.1 gives an array formula as an ArrayFormula; 3.0 (Debian 12) as the text, with
# its t and ref in the sheet's formula_attributes.
attributes = getattr(sheet, "formula_attributes", {})
for row in sheet.iter_rows():
    for cell in row:
        if hasattr(cell.value, "ref"):
            print(cell.coordinate, cell.value.ref, cell.value.text)
        elif isinstance(cell.value, str) and cell.value.startswith("="):
            array = attributes.get(cell.coordinate, {})
            ref = array.get("ref", "-") if array.get("t") == "array" else "-"
            print(cell.coordinate, ref, cell.value)
values = openpyxl.load_workbook(sys.argv[1], data_only=True).active
for row in values.iter_rows(min_row=2):
    for cell in row:
        if cell.value is not None:
            print(cell.coordinate, "%g" % cell.value)
)";

std::string Number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// The cached values one source's rows 2 to 5 land with at `first` (its row 2).
std::vector<std::string> LandedValues(const ArraySourceRows& rows, int first) {
  std::vector<std::string> lines;
  double sum = 0;
  for (int i = 0; i < 3; ++i) sum += rows.quantity[i] * rows.price[i];
  for (int i = 0; i < 3; ++i) {
    const std::string r = std::to_string(first + i);
    lines.push_back("A" + r + " " + Number(rows.quantity[i]));
    lines.push_back("B" + r + " " + Number(rows.price[i]));
    lines.push_back("C" + r + " " + Number(rows.quantity[i] * rows.price[i]));
    if (i == 0) lines.push_back("D" + r + " " + Number(sum));
  }
  const std::string r = std::to_string(first + 3);
  lines.push_back("A" + r + " " + Number(rows.quantity[0]));
  lines.push_back("B" + r + " " + Number(rows.quantity[1]));
  return lines;
}

// The sources' extension: .xlsx, or .xls whose ARRAY records hold the formulas' tokens.
class ArrayFormulasTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    TAVRIO_SKIP_WITHOUT(testing::Soffice(), "LibreOffice");
    TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl");
    ASSERT_FALSE(ArrayFixtureDir().empty()) << "LibreOffice did not save the array fixtures";
  }

  // 一月 from row 1, 二月's rows 2 to 5 below it (rows 6 to 9), saved as 合并.xlsx.
  std::string MergeAndSave() {
    const std::string extension = GetParam();
    std::string merged;
    testing::MergeSheet(engine_, ArrayFixtureDir() + "/一月" + extension, "数据", true, merged);
    testing::MergeSheet(engine_, ArrayFixtureDir() + "/二月" + extension, "数据", false, merged);
    const std::string path = folder_.File("合并.xlsx");
    engine_.SaveWorkbookAs(merged, path);
    return path;
  }

  std::vector<std::string> Dump(const std::string& path) {
    tavrio::testing::WriteFile(folder_.File("dump.py"), kDumpArrays);
    const auto out = testing::RunCommand(*testing::PythonWithOpenpyxl() + " " +
                                         folder_.File("dump.py") + " '" + path + "'");
    EXPECT_TRUE(out.has_value());
    std::vector<std::string> lines;
    std::istringstream in(out.value_or(""));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  testing::TempFolder folder_;
  Engine engine_{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
};

TEST_P(ArrayFormulasTest, EachArrayLandsWithItsRangeMovedAndItsResults) {
  std::vector<std::string> expected = {
      "C2 C2:C4 =A2:A4*B2:B4", "D2 D2:D2 =SUM(A2:A4*B2:B4)", "A5 A5:B5 =TRANSPOSE(A2:A3)",
      "C6 C6:C8 =A6:A8*B6:B8", "D6 D6:D6 =SUM(A6:A8*B6:B8)", "A9 A9:B9 =TRANSPOSE(A6:A7)",
  };
  for (const std::vector<std::string>& values :
       {LandedValues(kArrayJanuary, 2), LandedValues(kArrayFebruary, 6)}) {
    expected.insert(expected.end(), values.begin(), values.end());
  }
  testing::ExpectSameLines(Dump(MergeAndSave()), expected);
}

// LibreOffice calculates the saved arrays anew: it must find what the sources showed, which a
// formula not moved with its rows, or an array read as a plain formula, would not give.
TEST_P(ArrayFormulasTest, TheOfficeSuiteRecalculatesTheSourcesResults) {
  const std::string saved = MergeAndSave();
  const std::optional<std::string> csv = tavrio::testing::RecalculatedCsv(saved, folder_.path());
  ASSERT_TRUE(csv.has_value());
  std::string office = testing::ReadFile(*csv);
  if (office.starts_with("\xEF\xBB\xBF")) office.erase(0, 3);
  std::vector<std::string> lines;
  std::istringstream in(office);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  const std::vector<std::string> expected = {
      "数量,单价,金额,合计", "3,2.5,7.5,23", "5,1.2,6,",  "2,4.75,9.5,", "3,5,,",
      "7,0.5,3.5,20.5",      "1,8,8,",       "4,2.25,9,", "7,1,,",
  };
  EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(SavedByLibreOffice, ArrayFormulasTest, ::testing::Values(".xlsx", ".xls"),
                         [](const auto& info) { return std::string(info.param).substr(1); });

}  // namespace
}  // namespace tavrio::automation
