// Every input a fuzzer ever found a fault with, kept in fuzz/regressions/<target>/ and replayed
// through the same check the fuzz target runs, plus the faults pinned through a whole package.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "fuzz/input_checks.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace tavrio::hostile {
namespace {

namespace fs = std::filesystem;
using tavrio::testing::ReadFile;
using tavrio::testing::TempFolder;

struct SavedInput {
  std::string target;
  fuzz::InputCheck check;
  fs::path path;
};

std::vector<SavedInput> SavedInputs() {
  std::vector<SavedInput> inputs;
  for (const fuzz::FuzzTarget& target : fuzz::FuzzTargets()) {
    fs::path folder = fs::path(TAVRIO_FUZZ_REGRESSIONS) / target.name;
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      inputs.push_back({target.name, target.check, entry.path()});
    }
  }
  return inputs;
}

TEST(FuzzRegressionTest, EverySavedInputPassesItsCheck) {
  std::vector<SavedInput> inputs = SavedInputs();
  ASSERT_FALSE(inputs.empty()) << "no saved inputs under " << TAVRIO_FUZZ_REGRESSIONS;
  for (const SavedInput& input : inputs) {
    SCOPED_TRACE(input.target + "/" + input.path.filename().string());
    EXPECT_EQ(input.check(ReadFile(input.path.string())), "");
  }
}

TEST(FuzzRegressionTest, EveryTargetHasASeedCorpus) {
  for (const fuzz::FuzzTarget& target : fuzz::FuzzTargets()) {
    SCOPED_TRACE(target.name);
    fs::path corpus = fs::path(TAVRIO_FUZZ_REGRESSIONS).parent_path() / "corpus" / target.name;
    ASSERT_TRUE(fs::is_directory(corpus));
    for (const auto& entry : fs::directory_iterator(corpus)) {
      EXPECT_EQ(target.check(ReadFile(entry.path().string())), "") << entry.path();
    }
  }
}

// The inflated sheet reaches the parser in chunks; one ending inside "</sheetData>" made the
// rows end twice, and the valid sheet was refused as having a superfluous end tag. A stored
// entry arrives in chunks of 64 KiB, so the tag can be put across that boundary exactly.
TEST(FuzzRegressionTest, SheetDataEndCutByAChunkBoundary) {
  using namespace automation::readers::testing;
  constexpr std::size_t kChunk = 64 * 1024;
  for (std::size_t cut : {1u, 5u, 11u}) {
    SCOPED_TRACE(cut);
    std::string head = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>5</v></c></row>";
    std::string xml = head + std::string(kChunk - cut - head.size(), ' ') + "</sheetData>" +
                      "<pageMargins left=\"0.7\"/></worksheet>";
    ASSERT_EQ(xml.find("</sheetData>"), kChunk - cut);
    auto parts = WorkbookParts({{"Sheet1", ""}});
    TempFolder dir;
    const std::string path = dir.File("cut.xlsx");
    ZipWriter zip(path);
    for (const auto& [name, data] : parts) {
      if (name == "xl/worksheets/sheet1.xml") {
        zip.Add(name, xml, 0);
      } else {
        zip.Add(name, data);
      }
    }
    zip.Close();
    RecordingSink sink;
    automation::readers::OpenWorkbookFile(path)->ReadSheet(0, sink);
    EXPECT_EQ(sink.At("A1").number, 5);
  }
}

}  // namespace
}  // namespace tavrio::hostile
