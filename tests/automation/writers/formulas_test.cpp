// Formulas through a whole merge: sources written by libxlsxwriter with their cached results,
// merged by the engine, saved, then read back by openpyxl (formula texts and cached values) and
// recalculated by LibreOffice headless.

#include <gtest/gtest.h>
#include <xlsxwriter.h>

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

struct FormulaCase {
  const char* column;         // where the formula stands in rows 2 to 4
  const char* formula;        // in row 2; libxlsxwriter's rows 3 and 4 get it moved by hand
  const char* first_merged;   // row 2 of the first file, pasted at row 2: unchanged
  const char* second_merged;  // row 2 of the second file, pasted at row 5
  bool recalculates_alike;    // whether the merged sheet gives the same result again
};

const std::vector<FormulaCase>& Cases() {
  static const std::vector<FormulaCase> cases = {
      {"B", "A2*2", "A2*2", "A5*2", true},
      {"C", "$A$1+A2", "$A$1+A2", "$A$1+A5", true},
      {"D", "A$1*A2", "A$1*A2", "A$1*A5", true},
      {"E", "SUM(A$2:A2)", "SUM(A$2:A2)", "SUM(A$2:A5)", false},
      {"F", "SUM(A2:A2)+COUNT($A2:A2)", "SUM(A2:A2)+COUNT($A2:A2)", "SUM(A5:A5)+COUNT($A5:A5)",
       true},
      {"G", "IF(A2>1,\"大于 1\",\"A2\")", "IF(A2>1,\"大于 1\",\"A2\")",
       "IF(A5>1,\"大于 1\",\"A2\")", true},
      {"H", "A2>1", "A2>1", "A5>1", true},
      {"I", "'其他 表'!A1+A2", "'其他 表'!A1+A2", "'其他 表'!A4+A5", false},
  };
  return cases;
}

// The formula of row 2 as libxlsxwriter must be given it in `row`: every A2 whose row is
// relative moves, the one in quotes stays.
std::string AtRow(std::string formula, int row) {
  std::string moved;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    const bool relative = formula.compare(i, 2, "A2") == 0 && (i == 0 || formula[i - 1] != '"');
    if (relative) {
      moved += "A" + std::to_string(row);
      ++i;
    } else {
      moved += formula[i];
    }
  }
  return moved;
}

// Row 1: 10 in A1; rows 2 to 4: a number in A and every case's formula with its right result,
// except row 4's B, whose cached result is stale on purpose.
void WriteSource(const std::string& path, double base) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "数据");
  lxw_worksheet* other = workbook_add_worksheet(workbook, "其他 表");
  worksheet_write_number(other, 0, 0, 100, nullptr);
  worksheet_write_number(sheet, 0, 0, 10, nullptr);
  double total = 0;
  for (int row = 2; row <= 4; ++row) {
    const double a = base + row;
    total += a;
    const lxw_row_t r = static_cast<lxw_row_t>(row - 1);
    worksheet_write_number(sheet, r, 0, a, nullptr);
    const std::map<std::string, double> numbers = {
        {"B", row == 4 ? -1 : a * 2},   {"C", 10 + a}, {"D", 10 * a}, {"E", total}, {"F", a + 1},
        {"I", (row == 2 ? 100 : 0) + a}};
    for (const FormulaCase& c : Cases()) {
      const std::string formula = "=" + AtRow(c.formula, row);
      const lxw_col_t column = static_cast<lxw_col_t>(c.column[0] - 'A');
      if (c.column[0] == 'G') {
        worksheet_write_formula_str(sheet, r, column, formula.c_str(), nullptr,
                                    a > 1 ? "大于 1" : "A2");
      } else if (c.column[0] == 'H') {
        worksheet_write_formula_num(sheet, r, column, formula.c_str(), nullptr, a > 1);
      } else {
        worksheet_write_formula_num(sheet, r, column, formula.c_str(), nullptr,
                                    numbers.at(c.column));
      }
    }
  }
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

class FormulasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl");
    WriteSource(folder_.File("一月.xlsx"), 0);
    WriteSource(folder_.File("二月.xlsx"), 100);
    MergeFile(folder_.File("一月.xlsx"), true);
    MergeFile(folder_.File("二月.xlsx"), false);
    saved_ = folder_.File("合并.xlsx");
    engine_.SaveWorkbookAs(merged_, saved_);
  }

  void MergeFile(const std::string& path, bool first) {
    testing::MergeSheet(engine_, path, "数据", first, merged_);
  }

  // ref -> "formula|cached value" as openpyxl reads them.
  std::map<std::string, std::string> Formulas() {
    std::map<std::string, std::string> found;
    for (const std::string& line : testing::DumpXlsx(saved_)) {
      std::istringstream fields(line);
      std::string ref, kind, formula, cached;
      fields >> ref >> kind >> formula >> cached;
      if (kind == "f") found[ref] = Unhex(formula) + "|" + Unhex(cached);
    }
    return found;
  }

  static std::string Unhex(const std::string& hex) {
    std::string text;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
      text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return text;
  }

  testing::TempFolder folder_;
  Engine engine_{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  std::string merged_;
  std::string saved_;
};

TEST_F(FormulasTest, RelativeReferencesMoveWithThePastedRowsAndAbsoluteOnesStay) {
  const auto formulas = Formulas();
  for (const FormulaCase& c : Cases()) {
    SCOPED_TRACE(c.column);
    const std::string first = std::string(c.column) + "2";
    const std::string second = std::string(c.column) + "5";
    ASSERT_TRUE(formulas.contains(first) && formulas.contains(second));
    EXPECT_EQ(formulas.at(first).substr(0, formulas.at(first).find('|')),
              std::string("=") + c.first_merged);
    EXPECT_EQ(formulas.at(second).substr(0, formulas.at(second).find('|')),
              std::string("=") + c.second_merged);
  }
  // The cached results travel with the formulas: 二月's A2 is 102.
  EXPECT_EQ(formulas.at("B5"), "=A5*2|204");
  EXPECT_EQ(formulas.at("G5"), "=IF(A5>1,\"大于 1\",\"A2\")|大于 1");
  EXPECT_EQ(formulas.size(), Cases().size() * 6);
}

TEST_F(FormulasTest, TheOfficeSuiteRecalculatesOnOpeningAndAgreesWithTheCachedResults) {
  TAVRIO_SKIP_WITHOUT(testing::Soffice(), "LibreOffice");
  const std::string soffice = *testing::Soffice();
  // LibreOffice recalculates an .xlsx on loading only when its own setting says so, whatever
  // the file asks; Excel follows the file's request, checked at the end.
  std::filesystem::create_directories(std::filesystem::path(folder_.path()) / "profile" / "user");
  {
    std::ofstream settings(std::filesystem::path(folder_.path()) / "profile" / "user" /
                           "registrymodifications.xcu");
    settings << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
                "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\">"
                "<prop oor:name=\"OOXMLRecalcMode\" oor:op=\"fuse\"><value>0</value></prop>"
                "</item></oor:items>\n";
  }
  const std::string profile =
      "file://" + (std::filesystem::path(folder_.path()) / "profile").string();
  ASSERT_TRUE(testing::RunCommand("cd '" + folder_.path() + "' && '" + soffice +
                                  "' -env:UserInstallation=" + profile +
                                  " --headless --convert-to csv:\"Text - txt - csv (StarCalc)\":"
                                  "44,34,76 合并.xlsx >/dev/null 2>&1"));
  std::istringstream csv(testing::ReadFile(folder_.File("合并.csv")));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(csv, line);) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    rows.push_back(cells);
  }
  ASSERT_EQ(rows.size(), 7u);
  const auto at = [&](int row, char column) {
    const auto& cells = rows.at(static_cast<std::size_t>(row - 1));
    const auto index = static_cast<std::size_t>(column - 'A');
    return index < cells.size() ? cells[index] : std::string();
  };
  const auto formulas = Formulas();
  for (int row = 2; row <= 7; ++row) {
    for (const FormulaCase& c : Cases()) {
      if (!c.recalculates_alike) continue;
      const std::string ref = c.column + std::to_string(row);
      SCOPED_TRACE(ref);
      std::string cached = formulas.at(ref).substr(formulas.at(ref).find('|') + 1);
      // libxlsxwriter stored a logical result as the number 1 or 0; the engine calculated it
      // again (the sources ask for that) and saved it as a logical value, as applications do.
      if (c.column[0] == 'H') {
        EXPECT_TRUE(cached == "True" || cached == "False") << cached;
        cached = cached == "True" ? "TRUE" : "FALSE";
      }
      if (ref == "B4" || ref == "B7") {
        // Stale on purpose in the sources, which ask to be recalculated on opening: the engine
        // saved the result it calculated, and LibreOffice's own calculation agrees.
        EXPECT_EQ(cached, std::to_string(2 * std::stoi(at(row, 'A'))));
        EXPECT_EQ(at(row, 'B'), cached);
        continue;
      }
      EXPECT_EQ(at(row, c.column[0]), cached);
    }
  }
  const auto workbook_part = testing::RunCommand(
      *testing::PythonWithOpenpyxl() +
      " -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read(\"xl/workbook.xml\")"
      ".decode())' '" +
      saved_ + "'");
  ASSERT_TRUE(workbook_part);
  EXPECT_NE(workbook_part->find("<calcPr fullCalcOnLoad=\"1\"/>"), std::string::npos);
}

}  // namespace
}  // namespace tavrio::automation
