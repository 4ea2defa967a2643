// Workbooks written by programs that do not calculate (openpyxl stores no results, libxlsxwriter
// stores 0), opened and merged by the engine, against LibreOffice recalculating the same files:
// every value the engine calculates is LibreOffice's, and what its formula library lacks shows
// #NAME? and is counted.

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "tests/support/engine_merge_step.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

struct FunctionCase {
  char column;
  const char* formula;  // "{r}" stands for the formula's own row
  bool library_lacks;   // lacks the function, or computes it otherwise than applications
};

const std::vector<FunctionCase>& Functions() {
  static const std::vector<FunctionCase> cases = {
      {'E', "B{r}*C{r}", false},
      {'F', "SUM(B{r}:C{r})", false},
      {'G', "AVERAGE(B{r}:C{r})", false},
      {'H', "IF(B{r}>3,\"多\",\"少\")", false},
      {'I', "ROUND(C{r}*1.37,1)", true},
      {'J', "VLOOKUP(A{r},$A$2:$C$4,3,FALSE)", true},
      {'K', "SUMIF($A$2:$A$4,A{r},$B$2:$B$4)", true},
      {'L', "COUNTIF($B$2:$B$4,\">3\")", true},
      {'M', "TEXT(C{r},\"0.00\")", true},
      {'N', "DATE(2024,B{r},15)", true},
      {'O', "CONCATENATE(A{r},\"-\",B{r})", false},
      {'P', "LEFT(A{r},1)", true},  // counts bytes of UTF-8, not characters
      {'Q', "MID(A{r},2,1)", true},
      {'R', "RIGHT(A{r},1)", true},
      {'S', "IFERROR(B{r}/(C{r}-2.5),\"无\")", true},
      {'T', "B{r}>C{r}", false},
  };
  return cases;
}

std::string AtRow(std::string formula, int row) {
  for (std::size_t at = formula.find("{r}"); at != std::string::npos; at = formula.find("{r}")) {
    formula.replace(at, 3, std::to_string(row));
  }
  return formula;
}

// Rows 2 to 4 of 名称, 数量, 单价, each function case beside them; row 1 their headers.
struct SourceRow {
  const char* name;
  double quantity;
  double price;
};
constexpr SourceRow kRows[] = {{"苹果", 3, 2.5}, {"香蕉", 5, 1.2}, {"橙子", 2, 4.75}};

void WriteWithOpenpyxl(const std::string& path, double extra) {
  std::string command = *testing::PythonWithOpenpyxl() + " " + TAVRIO_WRITE_CELLS + " '" + path +
                        "' 数据 A1=名称 B1=数量 C1=单价";
  for (int row = 2; row <= 4; ++row) {
    const SourceRow& data = kRows[row - 2];
    const std::string r = std::to_string(row);
    command += " A" + r + "=" + data.name;
    command += " B" + r + "=" + std::to_string(data.quantity + extra);
    command += " C" + r + "=" + std::to_string(data.price);
    for (const FunctionCase& c : Functions()) {
      command += " '" + std::string(1, c.column) + r + "==" + AtRow(c.formula, row) + "'";
    }
  }
  ASSERT_TRUE(testing::RunCommand(command)) << command;
}

// libxlsxwriter stores 0 as every formula's result and asks for a calculation on opening.
void WriteWithLibxlsxwriter(const std::string& path, double extra) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "数据");
  worksheet_write_string(sheet, 0, 0, "名称", nullptr);
  worksheet_write_string(sheet, 0, 1, "数量", nullptr);
  worksheet_write_string(sheet, 0, 2, "单价", nullptr);
  for (int row = 2; row <= 4; ++row) {
    const SourceRow& data = kRows[row - 2];
    const auto r = static_cast<lxw_row_t>(row - 1);
    worksheet_write_string(sheet, r, 0, data.name, nullptr);
    worksheet_write_number(sheet, r, 1, data.quantity + extra, nullptr);
    worksheet_write_number(sheet, r, 2, data.price, nullptr);
    for (const FunctionCase& c : Functions()) {
      const std::string formula = "=" + AtRow(c.formula, row);
      worksheet_write_formula(sheet, r, static_cast<lxw_col_t>(c.column - 'A'), formula.c_str(),
                              nullptr);
    }
  }
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

using Grid = std::vector<std::vector<std::string>>;

std::string At(const Grid& grid, int row, char column) {
  const auto r = static_cast<std::size_t>(row - 1);
  const auto c = static_cast<std::size_t>(column - 'A');
  return r < grid.size() && c < grid[r].size() ? grid[r][c] : std::string();
}

Grid ReadCsv(const std::string& path) {
  std::string text = testing::ReadFile(path);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  Grid grid;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    grid.push_back(cells);
  }
  return grid;
}

// Numbers compare by value: LibreOffice shows at most 15 digits, the engine writes them all.
bool SameValue(const std::string& ours, const std::string& office) {
  if (ours == office) return true;
  std::size_t used = 0;
  try {
    const double a = std::stod(ours, &used);
    if (used != ours.size()) return false;
    const double b = std::stod(office, &used);
    if (used != office.size()) return false;
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
  } catch (const std::exception&) {
    return false;
  }
}

class RecalculationTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl"); }

  void Write(const std::string& path, double extra) {
    if (GetParam()) {
      WriteWithLibxlsxwriter(path, extra);
    } else {
      WriteWithOpenpyxl(path, extra);
    }
  }

  // The file as LibreOffice shows it once it recalculated every formula, whatever the file
  // stores: left to itself it keeps libxlsxwriter's zeros.
  Grid RecalculatedByTheOfficeSuite(const std::string& name) {
    const std::optional<std::string> csv =
        tavrio::testing::RecalculatedCsv(folder_.File(name), folder_.path());
    EXPECT_TRUE(csv.has_value());
    return csv ? ReadCsv(*csv) : Grid();
  }

  testing::TempFolder folder_;
  Engine engine_{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
};

std::string Shown(const CellValue& value) {
  if (const auto* number = std::get_if<double>(&value)) {
    std::ostringstream text;
    text.precision(17);
    text << *number;
    return text.str();
  }
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? "TRUE" : "FALSE";
  if (const auto* error = std::get_if<CellErrorValue>(&value)) return error->text;
  return "";
}

TEST_P(RecalculationTest, EachFunctionTheLibraryHasAgreesWithTheOfficeSuite) {
  TAVRIO_SKIP_WITHOUT(testing::Soffice(), "LibreOffice");
  Write(folder_.File("源.xlsx"), 0);
  const Grid office = RecalculatedByTheOfficeSuite("源.xlsx");
  engine_.OpenWorkbook(folder_.File("源.xlsx"));
  const engine::Sheet& sheet = engine_.LoadSheet("源.xlsx", 0);
  std::size_t lacking = 0;
  for (const FunctionCase& c : Functions()) {
    for (int row = 2; row <= 4; ++row) {
      SCOPED_TRACE(std::string(1, c.column) + std::to_string(row) + " =" + AtRow(c.formula, row));
      const std::string ours =
          Shown(engine_.GetCellValue(static_cast<std::int16_t>(row), c.column - 'A' + 1));
      if (c.library_lacks) {
        EXPECT_EQ(ours, "#NAME?");
        ++lacking;
      } else {
        EXPECT_TRUE(SameValue(ours, At(office, row, c.column)))
            << ours << " against " << At(office, row, c.column);
      }
    }
  }
  EXPECT_EQ(sheet.uncalculated_formulas(), lacking);
}

TEST_P(RecalculationTest, AMergeSavedAsCsvShowsAValueWhereverTheOfficeSuiteDoes) {
  TAVRIO_SKIP_WITHOUT(testing::Soffice(), "LibreOffice");
  Write(folder_.File("一月.xlsx"), 0);
  Write(folder_.File("二月.xlsx"), 10);
  std::string merged;
  testing::MergeSheet(engine_, folder_.File("一月.xlsx"), "数据", true, merged);
  testing::MergeSheet(engine_, folder_.File("二月.xlsx"), "数据", false, merged);
  engine_.SaveWorkbookAs(merged, folder_.File("合并.xlsx"));
  engine_.SaveWorkbookAs("合并.xlsx", folder_.File("合并.csv"));
  const Grid ours = ReadCsv(folder_.File("合并.csv"));
  const Grid office = RecalculatedByTheOfficeSuite("合并.xlsx");
  ASSERT_EQ(ours.size(), 7u);
  for (int row = 2; row <= 7; ++row) {
    // 二月's rows moved three down; its formulas compute from their own rows.
    EXPECT_TRUE(SameValue(At(ours, row, 'E'), std::to_string(std::stod(At(ours, row, 'B')) *
                                                             std::stod(At(ours, row, 'C')))));
    for (const FunctionCase& c : Functions()) {
      const std::string mine = At(ours, row, c.column);
      const std::string theirs = At(office, row, c.column);
      SCOPED_TRACE(std::string(1, c.column) + std::to_string(row) + ": " + mine + " against " +
                   theirs);
      ASSERT_FALSE(theirs.empty());
      EXPECT_FALSE(mine.empty() || (mine == "0" && theirs != "0"));
      EXPECT_TRUE(c.library_lacks ? mine == "#NAME?" : SameValue(mine, theirs));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Writers, RecalculationTest, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "libxlsxwriter" : "openpyxl");
});

}  // namespace
}  // namespace tavrio::automation
