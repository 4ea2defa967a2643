// The crafted workbooks of every BIFF generation handed to LibreOffice, which reads them all:
// what it finds, saved as .xlsx, must be what this reader finds in the originals. And one of
// them merged and saved, then read back by openpyxl.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"
#include "tests/automation/readers/crafted_biff_files.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/engine_merge_step.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

using tavrio::automation::testing::MergeSheet;
using tavrio::testing::ReadFile;
using tavrio::testing::RunQuietly;
using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

void ExpectSameValues(const RecordingSink& ours, const RecordingSink& theirs) {
  std::size_t values = 0;
  for (const auto& [where, cell] : ours.cells()) {
    if (cell.kind == Kind::kBlank) continue;
    ++values;
    SCOPED_TRACE("row " + std::to_string(where.first) + " column " + std::to_string(where.second));
    auto found = theirs.cells().find(where);
    ASSERT_NE(found, theirs.cells().end());
    const RecordedCell& other = found->second;
    ASSERT_EQ(cell.kind, other.kind);
    EXPECT_EQ(cell.text, other.text);
    EXPECT_EQ(cell.boolean, other.boolean);
    EXPECT_DOUBLE_EQ(cell.number, other.number);
  }
  std::size_t their_values = 0;
  for (const auto& [where, cell] : theirs.cells()) their_values += cell.kind != Kind::kBlank;
  EXPECT_EQ(values, their_values);
  EXPECT_GT(values, 0u);
}

TEST(BiffOracleTest, LibreOfficeFindsWhatThisReaderFinds) {
  TAVRIO_SKIP_WITHOUT(tavrio::testing::Soffice(), "LibreOffice");
  TempFolder dir;
  std::string names;
  for (const CraftedBiffFile& file : CraftedBiffFiles()) {
    WriteFile(dir.File(file.name), file.bytes);
    names += " " + file.name;
  }
  ASSERT_TRUE(RunQuietly("cd " + dir.path() + " && HOME=" + dir.path() + " " +
                         *tavrio::testing::Soffice() +
                         " --headless --norestore --convert-to xlsx --outdir out" + names));
  for (const CraftedBiffFile& file : CraftedBiffFiles()) {
    SCOPED_TRACE(file.name);
    const std::string converted =
        dir.File("out/" + std::filesystem::path(file.name).stem().string() + ".xlsx");
    ASSERT_TRUE(std::filesystem::exists(converted));
    auto ours = OpenWorkbookFile(dir.File(file.name));
    auto theirs = OpenWorkbookFile(converted);
    ASSERT_EQ(ours->Sheets().size(), theirs->Sheets().size());
    // Excel names a single-sheet file's sheet after the file; LibreOffice does so for some
    // generations only.
    if (!file.name.starts_with("biff2") && !file.name.starts_with("biff3") &&
        !file.name.starts_with("biff4")) {
      EXPECT_EQ(ours->Sheets()[0].name, theirs->Sheets()[0].name);
    }
    RecordingSink our_cells, their_cells;
    ours->ReadSheet(0, our_cells);
    theirs->ReadSheet(0, their_cells);
    ExpectSameValues(our_cells, their_cells);
  }
}

// The cell formats of BIFF5 and BIFF8 as LibreOffice sees them. It turns colours into RGB, so
// they are left out here.
TEST(BiffOracleTest, LibreOfficeSeesTheSameLook) {
  TAVRIO_SKIP_WITHOUT(tavrio::testing::Soffice(), "LibreOffice");
  TempFolder dir;
  std::string names;
  for (const CraftedBiffFile& file : CraftedLookFiles()) {
    WriteFile(dir.File(file.name), file.bytes);
    names += " " + file.name;
  }
  ASSERT_TRUE(RunQuietly("cd " + dir.path() + " && HOME=" + dir.path() + " " +
                         *tavrio::testing::Soffice() +
                         " --headless --norestore --convert-to xlsx --outdir out" + names));
  for (const CraftedBiffFile& file : CraftedLookFiles()) {
    SCOPED_TRACE(file.name);
    auto ours = OpenWorkbookFile(dir.File(file.name));
    auto theirs = OpenWorkbookFile(
        dir.File("out/" + std::filesystem::path(file.name).stem().string() + ".xlsx"));
    RecordingSink our_cells, their_cells;
    ours->ReadSheet(0, our_cells);
    theirs->ReadSheet(0, their_cells);
    const StyleInfo& mine = ours->Styles().at(our_cells.At("A1").style);
    const StyleInfo& other = theirs->Styles().at(their_cells.At("A1").style);
    EXPECT_EQ(mine.font.name, other.font.name);
    EXPECT_EQ(mine.font.size, other.font.size);
    EXPECT_EQ(mine.font.bold, other.font.bold);
    EXPECT_EQ(mine.font.italic, other.font.italic);
    EXPECT_EQ(mine.font.strike, other.font.strike);
    EXPECT_EQ(mine.font.underline, other.font.underline);
    EXPECT_EQ(mine.fill.pattern, other.fill.pattern);
    EXPECT_EQ(mine.border.left.style, other.border.left.style);
    EXPECT_EQ(mine.border.right.style, other.border.right.style);
    EXPECT_EQ(mine.border.top.style, other.border.top.style);
    EXPECT_EQ(mine.border.bottom.style, other.border.bottom.style);
    EXPECT_EQ(mine.alignment, other.alignment);
  }
}

// An Excel 5.0/95 workbook in Mac Roman, merged and saved: openpyxl finds the text, the
// booleans, the error, the date-time with its format and the formulas, their string constant
// read in the workbook's code page.
TEST(BiffOracleTest, AnExcel95WorkbookSurvivesAMergeIntoAnXlsxFile) {
  const auto python = tavrio::testing::PythonWithOpenpyxl();
  TAVRIO_SKIP_WITHOUT(python, "python3-openpyxl");
  TempFolder dir;
  std::string source;
  for (const CraftedBiffFile& file : CraftedBiffFiles()) {
    if (file.name == "biff5-mac-roman.xls")
      source = dir.File(file.name), WriteFile(source, file.bytes);
  }
  ASSERT_FALSE(source.empty());
  Engine engine{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  std::string merged;
  MergeSheet(engine, source, std::int16_t{1}, true, merged);
  const std::string saved = dir.File("merged.xlsx");
  engine.SaveWorkbookAs(merged, saved);

  WriteFile(dir.File("dump.py"),
            "import sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
            "with open(sys.argv[2], 'w', encoding='utf-8') as out:\n"
            "    for row in ws.iter_rows():\n"
            "        for c in row:\n"
            "            if c.value is not None:\n"
            "                out.write('%s|%s|%r|%s\\n' % (c.coordinate, c.data_type, c.value,\n"
            "                                            c.number_format))\n");
  ASSERT_TRUE(
      RunQuietly(*python + " " + dir.File("dump.py") + " " + saved + " " + dir.File("dump.txt")));
  EXPECT_EQ(ReadFile(dir.File("dump.txt")),
            "A1|s|'café'|General\n"
            "B1|b|True|General\n"
            "C1|e|'#DIV/0!'|General\n"
            "A2|d|datetime.datetime(2024, 1, 15, 18, 0)|yyyy-mm-dd hh:mm:ss\n"
            "B2|f|'=\"xäy\"'|General\n"
            "C2|f|'=TRUE'|General\n");
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
