#include "bench/workbook_generator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <variant>

#include "automation/readers/workbook_reader.h"
#include "automation/readers/zip_archive.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;
using automation::readers::CellSink;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tavrio-generator-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

using Value = std::variant<double, std::string>;
using Cells = std::map<std::pair<std::uint32_t, std::uint16_t>, std::pair<Value, std::uint32_t>>;

// Keeps numbers and texts with their style; the generator writes nothing else.
class CellsSink : public CellSink {
 public:
  void Number(std::uint32_t row, std::uint16_t column, double value, std::uint32_t style) override {
    cells[{row, column}] = {value, style};
  }
  void Text(std::uint32_t row, std::uint16_t column, std::string_view text,
            std::uint32_t style) override {
    cells[{row, column}] = {std::string(text), style};
  }
  void Boolean(std::uint32_t, std::uint16_t, bool, std::uint32_t) override { ADD_FAILURE(); }
  void ErrorValue(std::uint32_t, std::uint16_t, std::string_view, std::uint32_t) override {
    ADD_FAILURE();
  }
  void Blank(std::uint32_t, std::uint16_t, std::uint32_t) override { ADD_FAILURE(); }

  Cells cells;
};

Cells ReadFirstSheet(const fs::path& path) {
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
    const Cells cells = ReadFirstSheet(shared[i]);
    EXPECT_EQ(cells.size(), 31u * 10u);  // the header row and 30 data rows
    EXPECT_EQ(cells, ReadFirstSheet(inlined[i]));
    EXPECT_EQ(std::get<std::string>(cells.at({1, 2}).first), "姓名");
    // The code column keeps its leading zeros as text.
    EXPECT_EQ(std::get<std::string>(cells.at({2, 3}).first).size(), 5u);
    EXPECT_NE(cells.at({2, 4}).second, 0u) << "the date column has a date style";
  }
}

}  // namespace
}  // namespace tavrio::bench
