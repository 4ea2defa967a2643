// Whether an .xlsx file's stored formula results are what its author saw, decided from what the
// package says of itself, as each writer leaves it: the calculation properties of the workbook
// part and the application named in docProps/app.xml.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "automation/engine/engine.h"
#include "automation/readers/workbook_reader.h"
#include "crafted_package.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers {
namespace {

struct Writer {
  const char* name;
  const char* calc_pr;
  const char* properties;  // docProps/app.xml's content; nullptr for a package without it
  bool trusted;
};

constexpr const char* kExcelProperties =
    "<Application>Microsoft Excel</Application><AppVersion>16.0300</AppVersion>";

// As each writer leaves the two parts (Excel 365, LibreOffice 7.4, libxlsxwriter 1.1,
// openpyxl 3.0), then what a writer may leave besides.
const Writer kWriters[] = {
    {"excel", "<calcPr calcId=\"191029\"/>", kExcelProperties, true},
    {"libreoffice",
     "<calcPr iterateCount=\"100\" refMode=\"A1\" iterate=\"false\" iterateDelta=\"0.0001\"/>",
     "<Application>LibreOffice/7.4.7.2$Linux_X86_64 LibreOffice_project/40$Build-2"
     "</Application><AppVersion>15.0000</AppVersion>",
     true},
    {"libxlsxwriter", "<calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/>",
     "<Application>Microsoft Excel</Application><AppVersion>12.0000</AppVersion>", false},
    {"openpyxl", "<calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/>",
     "<Application>Microsoft Excel</Application><AppVersion>3.0</AppVersion>", false},
    {"asks_in_words", "<calcPr calcId=\"191029\" fullCalcOnLoad=\"true\"/>", kExcelProperties,
     false},
    {"no_calculation_properties", "", kExcelProperties, true},
    {"no_application_properties", "<calcPr calcId=\"191029\"/>", nullptr, false},
    {"unnamed_application", "<calcPr calcId=\"191029\"/>", "<Application> </Application>", false},
    {"damaged_application_properties", "<calcPr calcId=\"191029\"/>",
     "<Application>Microsoft Excel", false},
};

// A workbook whose B1 holds =A1*2 with the stored result 99, where A1 is 3.
void WriteWorkbook(const std::string& path, const Writer& writer) {
  std::map<std::string, std::string> parts = testing::WorkbookParts(
      {{"Sheet1", testing::SheetXml("<row r=\"1\"><c r=\"A1\"><v>3</v></c>"
                                    "<c r=\"B1\"><f>A1*2</f><v>99</v></c></row>")}});
  std::string& workbook = parts["xl/workbook.xml"];
  workbook.insert(workbook.rfind("</workbook>"), writer.calc_pr);
  if (writer.properties != nullptr) {
    parts["docProps/app.xml"] =
        std::string("<?xml version=\"1.0\"?><Properties xmlns=\"http://schemas.openxmlformats.org/"
                    "officeDocument/2006/extended-properties\">") +
        writer.properties + "</Properties>";
    std::string& rels = parts["_rels/.rels"];
    rels.insert(rels.rfind("</Relationships>"),
                "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/"
                "officeDocument/2006/relationships/extended-properties\" "
                "Target=\"docProps/app.xml\"/>");
  }
  testing::WritePackage(path, parts);
}

class FormulaResultsTest : public ::testing::TestWithParam<Writer> {
 protected:
  tavrio::testing::TempFolder folder_;
};

TEST_P(FormulaResultsTest, AreKeptOnlyWhenAnApplicationThatCalculatesSavedThem) {
  const Writer& writer = GetParam();
  const std::string path = folder_.File("book.xlsx");
  WriteWorkbook(path, writer);
  EXPECT_EQ(OpenWorkbookFile(path)->FormulaResultsTrusted(), writer.trusted);

  // What the user then sees: the result the author saw, or the one calculated again.
  Engine engine(&OpenWorkbookFile, [](const engine::Workbook&, const std::string&) {
    return engine::SaveReport{};
  });
  engine.OpenWorkbook(path);
  engine.LoadSheet("book.xlsx", 0);
  EXPECT_EQ(engine.GetCellValue(std::int16_t{1}, 2), CellValue(writer.trusted ? 99.0 : 6.0));
}

INSTANTIATE_TEST_SUITE_P(Writers, FormulaResultsTest, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavrio::automation::readers
