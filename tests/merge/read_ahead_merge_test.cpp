// The merge run on the embedded engine over real .xlsx files, with the next files read ahead
// and without: the same merged rows, the same error at the same file, each file opened once,
// never before the file two before it was opened.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/engine.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"
#include "merge/combine_workbooks.h"
#include "tests/support/recording_application.h"
#include "tests/support/temp_folder.h"

namespace tavrio::merge {
namespace {

namespace fs = std::filesystem;
using automation::CellValue;
using automation::Engine;
using testing::FakeMergeControls;
using testing::TempFolder;

constexpr int kColumns = 4;

// Writes an .xlsx of `rows` rows whose texts name the file, row and column.
void WriteSource(const std::string& path, const std::string& tag, int rows) {
  Engine engine(&automation::readers::OpenWorkbookFile, &automation::writers::SaveWorkbook);
  engine.AddWorkbook();
  for (int row = 1; row <= rows; ++row) {
    for (int column = 1; column <= kColumns; ++column) {
      engine.SetCellText(static_cast<std::int16_t>(row), column,
                         tag + "-" + std::to_string(row) + "-" + std::to_string(column));
    }
  }
  engine.SaveWorkbookAs(engine.ActiveWorkbookName(), path);
}

class PeekingControls : public FakeMergeControls {
 public:
  std::optional<ListedFile> PeekNextSelectedFile(std::int16_t index) override {
    for (std::size_t i = static_cast<std::size_t>(index) + 1; i < entries.size(); ++i) {
      if (entries[i].selected)
        return ListedFile{static_cast<std::int16_t>(i), path, entries[i].name};
    }
    return std::nullopt;
  }
};

// Every reader the engine asks for: which file, on which thread, and how many source
// workbooks the engine had opened by then.
struct ReaderCall {
  std::string path;
  bool callers_thread;
  int opened_before;
};

class WatchedHost : public automation::ApplicationHost, private automation::EngineObserver {
 public:
  WatchedHost()
      : engine_(
            [this](const std::string& path) {
              {
                std::lock_guard lock(mutex_);
                calls_.push_back({path, std::this_thread::get_id() == owner_, opened_.load()});
              }
              return automation::readers::OpenWorkbookFile(path);
            },
            &automation::writers::SaveWorkbook) {
    engine_.SetObserver(this);
  }

  automation::SpreadsheetApplication& GlobalContext() override { return engine_; }
  std::unique_ptr<automation::PrivateApplication> CreatePrivateInstance() override {
    return std::make_unique<NoWindow>();
  }

  // The merged workbook's cells, row by row.
  std::vector<CellValue> Merged() {
    std::vector<CellValue> cells;
    const std::vector<std::string> names = engine_.WorkbookNames();
    if (names.empty()) return cells;
    engine_.ActivateWindow(names.back());
    const std::int32_t last = engine_.ActiveSheetLastUsedRow();
    for (std::int32_t row = 1; row <= last; ++row) {
      for (int column = 1; column <= kColumns; ++column) {
        cells.push_back(engine_.GetCellValue(static_cast<std::int16_t>(row), column));
      }
    }
    return cells;
  }

  std::vector<ReaderCall> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  class NoWindow final : public automation::PrivateApplication {
    void SetVisible(bool) override {}
  };
  void WorkbookOpened(const automation::engine::Workbook& workbook) override {
    if (!workbook.path().empty()) ++opened_;
  }

  std::thread::id owner_ = std::this_thread::get_id();
  std::atomic<int> opened_{0};
  std::mutex mutex_;
  std::vector<ReaderCall> calls_;
  Engine engine_;  // last: its reading thread ends before the rest goes
};

struct RunResult {
  std::vector<CellValue> merged;
  std::optional<std::string> error;
  std::vector<ReaderCall> calls;
};

class ReadAheadMergeTest : public ::testing::Test {
 protected:
  ReadAheadMergeTest() {
    for (const char* name : {"a", "b", "skip", "c", "d"}) {
      WriteSource(folder_.File(std::string(name) + ".xlsx"), name, 300);
    }
  }

  RunResult Run(FakeMergeControls& controls) {
    controls.path = folder_.path();
    controls.option3 = false;
    controls.option4 = true;
    controls.entries = {{"a.xlsx", true},
                        {"b.xlsx", true},
                        {"skip.xlsx", false},
                        {"c.xlsx", true},
                        {"d.xlsx", true}};
    WatchedHost host;
    RunResult result;
    try {
      CombineWorkbooks(controls, host);
    } catch (const Error& error) {
      result.error = FormatError(error);
    }
    result.merged = host.Merged();
    result.calls = host.calls();
    return result;
  }

  TempFolder folder_;
};

TEST_F(ReadAheadMergeTest, MergesTheSameReadingEachFileOnceAfterItsAnnouncement) {
  FakeMergeControls plain_controls;
  PeekingControls peeking_controls;
  const RunResult plain = Run(plain_controls);
  const RunResult ahead = Run(peeking_controls);
  ASSERT_FALSE(plain.error) << *plain.error;
  ASSERT_FALSE(ahead.error) << *ahead.error;
  EXPECT_EQ(plain.merged.size(), static_cast<std::size_t>((300 + 3 * 299) * kColumns));
  EXPECT_TRUE(ahead.merged == plain.merged);

  const std::vector<std::string> order = {"a.xlsx", "b.xlsx", "c.xlsx", "d.xlsx"};
  ASSERT_EQ(ahead.calls.size(), order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    SCOPED_TRACE(order[k]);
    const auto call =
        std::find_if(ahead.calls.begin(), ahead.calls.end(),
                     [&](const ReaderCall& c) { return c.path == folder_.File(order[k]); });
    ASSERT_NE(call, ahead.calls.end());
    // a, b and c announced before any open, d once a was open, each read on whichever thread
    // had time; none later than its own open.
    EXPECT_GE(call->opened_before, k == 3 ? 1 : 0);
    EXPECT_LE(call->opened_before, static_cast<int>(k));
  }
}

TEST_F(ReadAheadMergeTest, DamagedNextFileFailsAtItsOpenWithTheSameError) {
  const std::string damaged = folder_.File("c.xlsx");
  const std::string bytes = testing::ReadFile(damaged);
  testing::WriteFile(damaged, bytes.substr(0, bytes.size() / 2));
  FakeMergeControls plain_controls;
  PeekingControls peeking_controls;
  const RunResult plain = Run(plain_controls);
  const RunResult ahead = Run(peeking_controls);
  ASSERT_TRUE(plain.error);
  EXPECT_THAT(*plain.error, ::testing::HasSubstr(damaged));
  EXPECT_EQ(ahead.error, plain.error);
  EXPECT_EQ(plain.merged.size(), static_cast<std::size_t>((300 + 299) * kColumns));
  EXPECT_TRUE(ahead.merged == plain.merged);
}

}  // namespace
}  // namespace tavrio::merge
