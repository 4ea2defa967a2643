#include "bench/workbook_generator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "automation/readers/zip_archive.h"
#include "tests/support/temp_folder.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;
using automation::readers::CellSink;
using automation::readers::SinkCell;

using testing::TempFolder;

using Value = std::variant<double, std::string>;
using CellMap = std::map<std::pair<std::uint32_t, std::uint16_t>, std::pair<Value, std::uint32_t>>;

// Keeps numbers, texts and blanks with their style, and formulas; the generator writes nothing
// else.
class CellsSink : public CellSink {
 public:
  void Cells(std::span<const SinkCell> handed) override {
    for (const SinkCell& cell : handed) {
      if (!cell.formula.empty()) formulas[{cell.row, cell.column}] = std::string(cell.formula);
      switch (cell.kind) {
        case SinkCell::Kind::kNumber:
          cells[{cell.row, cell.column}] = {cell.number, cell.style};
          break;
        case SinkCell::Kind::kText:
        case SinkCell::Kind::kSharedText:
          cells[{cell.row, cell.column}] = {std::string(cell.text), cell.style};
          break;
        case SinkCell::Kind::kBlank:
          blanks[{cell.row, cell.column}] = cell.style;
          break;
        default:
          ADD_FAILURE() << "the generator writes no booleans or errors";
      }
    }
  }

  CellMap cells;
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::uint32_t> blanks;
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::string> formulas;
};

CellMap ReadFirstSheet(const fs::path& path) {
  CellsSink sink;
  automation::readers::OpenWorkbookFile(path.string())->ReadSheet(0, sink);
  return sink.cells;
}

bool HasSharedStrings(const fs::path& path) {
  return automation::readers::ZipArchive(path.string()).Contains("xl/sharedStrings.xml");
}

GeneratedSet SmallSet(bool inline_strings) {
  GeneratedSet set;
  set.files = 2;
  set.rows = 30;
  set.columns = 10;
  set.seed = 7;
  set.prefix = inline_strings ? "inline" : "shared";
  set.inline_strings = inline_strings;
  return set;
}

TEST(WorkbookGeneratorTest, WritesSharedStringsByDefaultAndInlineOnRequest) {
  EXPECT_FALSE(GeneratedSet{}.inline_strings);
  TempFolder folder;
  for (bool inline_strings : {false, true}) {
    SCOPED_TRACE(inline_strings ? "inline strings" : "shared strings");
    for (const fs::path& path : GenerateWorkbooks(SmallSet(inline_strings), folder.path())) {
      EXPECT_EQ(HasSharedStrings(path), !inline_strings) << path;
    }
  }
}

// Whichever way the texts are stored, the cells are the same: the benchmark's two kinds of
// data set differ only in how a reader finds the texts.
TEST(WorkbookGeneratorTest, BothStringStoresHoldTheSameCells) {
  TempFolder folder;
  const auto shared = GenerateWorkbooks(SmallSet(false), folder.path());
  const auto inlined = GenerateWorkbooks(SmallSet(true), folder.path());
  ASSERT_EQ(shared.size(), 2u);
  ASSERT_EQ(inlined.size(), 2u);
  for (std::size_t i = 0; i < shared.size(); ++i) {
    SCOPED_TRACE(shared[i].filename().string());
    const CellMap cells = ReadFirstSheet(shared[i]);
    EXPECT_EQ(cells.size(), 31u * 10u);  // the header row and 30 data rows
    EXPECT_EQ(cells, ReadFirstSheet(inlined[i]));
    EXPECT_EQ(std::get<std::string>(cells.at({1, 2}).first), "姓名");
    // The code column keeps its leading zeros as text.
    EXPECT_EQ(std::get<std::string>(cells.at({2, 3}).first).size(), 5u);
    EXPECT_NE(cells.at({2, 4}).second, 0u) << "the date column has a date style";
  }
}

// Everything a formatted sheet carries besides its values.
class LookSink : public CellsSink {
 public:
  void RowHeight(std::uint32_t row, double points) override { heights[row] = points; }
  void MergedCells(std::uint32_t first_row, std::uint16_t first_column, std::uint32_t last_row,
                   std::uint16_t last_column) override {
    merged.push_back({first_row, first_column, last_row, last_column});
  }

  std::map<std::uint32_t, double> heights;
  std::vector<std::array<std::uint32_t, 4>> merged;
};

TEST(WorkbookGeneratorTest, FormattedWorkbooksCarryStylesFormulasHeightsAndMergedHeader) {
  TempFolder folder;
  GeneratedSet set;
  set.rows = 1000;
  set.columns = 12;
  set.formatted = true;
  set.prefix = "formatted";
  GeneratedSet plain = set;
  plain.formatted = false;
  plain.prefix = "plain";
  const fs::path formatted_path = GenerateWorkbooks(set, folder.path()).at(0);
  const CellMap plain_cells = ReadFirstSheet(GenerateWorkbooks(plain, folder.path()).at(0));

  const auto reader = automation::readers::OpenWorkbookFile(formatted_path.string());
  LookSink sink;
  reader->ReadSheet(0, sink);
  const auto& styles = reader->Styles();
  EXPECT_TRUE(styles.at(sink.cells.at({1, 1}).second).font.bold) << "bold header";
  EXPECT_EQ(styles.at(sink.cells.at({2, 5}).second).number_format, "#,##0.00");
  EXPECT_EQ(styles.at(sink.cells.at({2, 4}).second).number_format, "yyyy\"年\"m\"月\"d\"日\"");
  EXPECT_EQ(styles.at(sink.cells.at({2, 12}).second).number_format, "yyyy-mm-dd hh:mm");
  EXPECT_EQ(styles.at(sink.cells.at({2, 2}).second).border.left.style, "thin");
  EXPECT_EQ(sink.merged, (std::vector<std::array<std::uint32_t, 4>>{{1, 11, 1, 12}}));
  EXPECT_TRUE(sink.blanks.contains({1, 12})) << "the merged header's hidden cell";
  EXPECT_EQ(sink.heights, (std::map<std::uint32_t, double>{{1, 24}, {1001, 30}}));

  // One formula per data row, its cached result the product it names.
  ASSERT_EQ(sink.formulas.size(), 1000u);
  for (std::uint32_t row : {2u, 500u, 1001u}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(sink.formulas.at({row, 9}), "E" + std::to_string(row) + "*G" + std::to_string(row));
    EXPECT_EQ(std::get<double>(sink.cells.at({row, 9}).first),
              std::get<double>(sink.cells.at({row, 5}).first) *
                  std::get<double>(sink.cells.at({row, 7}).first));
  }
  // It reads as an application saved it: its results are the ones to keep.
  EXPECT_TRUE(reader->FormulaResultsTrusted());

  // Apart from the formula column and the merged header cell, the values are the plain ones.
  for (const auto& [place, value] : plain_cells) {
    if (place.second == 9 || place == std::make_pair(1u, std::uint16_t{12})) continue;
    ASSERT_TRUE(sink.cells.contains(place)) << place.first << "," << place.second;
    EXPECT_EQ(sink.cells.at(place).first, value.first) << place.first << "," << place.second;
  }
}

TEST(WorkbookGeneratorTest, UnstoredResultsAreZerosTheOpeningApplicationMustReplace) {
  TempFolder folder;
  GeneratedSet set;
  set.rows = 10;
  set.columns = 12;
  set.formatted = true;
  set.stored_results = false;
  const auto reader =
      automation::readers::OpenWorkbookFile(GenerateWorkbooks(set, folder.path()).at(0).string());
  LookSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_FALSE(reader->FormulaResultsTrusted());
  ASSERT_EQ(sink.formulas.size(), 10u);
  EXPECT_EQ(sink.formulas.at({2, 9}), "E2*G2");
  EXPECT_EQ(std::get<double>(sink.cells.at({2, 9}).first), 0.0);
}

}  // namespace
}  // namespace tavrio::bench
