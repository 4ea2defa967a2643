// Reading the announced workbook ahead (ExpectOpen): whatever the engine read ahead, the caller
// sees what it sees without the announcement, and no reading outlives what asked for it.
//
// The files are real files whose content names a fake workbook, so that the engine's checks of
// a file's identity meet a real file system while the workbooks stay small and exact.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "automation/base/sheet_limits.h"
#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "fake_files.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation {
namespace {

namespace fs = std::filesystem;
using tavrio::testing::ReadFile;
using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;
using testing::FakeFiles;
using testing::FakeSheet;
using testing::FakeWorkbook;
using testing::GridSheet;

// Files on disk, each holding the key of the fake workbook it stands for.
class DiskFiles {
 public:
  // Writes `name` afresh (a new file moved over the old one) as the workbook `key`.
  std::string Put(const std::string& name, const std::string& key, FakeWorkbook workbook) {
    fakes_.Add(key, std::move(workbook));
    const std::string path = folder_.File(name);
    WriteFile(path + ".new", key);
    fs::rename(path + ".new", path);
    return path;
  }
  FakeFiles& fakes() { return fakes_; }
  const TempFolder& folder() const { return folder_; }

  // Reads through the fakes; `on_sheet_read`, when set, is told after every sheet read, on the
  // thread that read it.
  Engine::ReaderFactory Factory(std::function<void()> on_sheet_read = nullptr);

 private:
  TempFolder folder_;
  FakeFiles fakes_;
};

class ReaderWithHook final : public readers::WorkbookReader {
 public:
  ReaderWithHook(std::unique_ptr<readers::WorkbookReader> inner, std::function<void()> hook)
      : inner_(std::move(inner)), hook_(std::move(hook)) {}
  const std::vector<readers::SheetInfo>& Sheets() const override { return inner_->Sheets(); }
  const std::vector<readers::StyleInfo>& Styles() const override { return inner_->Styles(); }
  bool Uses1904DateSystem() const override { return inner_->Uses1904DateSystem(); }
  bool FormulaResultsTrusted() const override { return inner_->FormulaResultsTrusted(); }
  void ReadSheet(std::size_t index, readers::CellSink& sink) override {
    inner_->ReadSheet(index, sink);
    if (hook_) hook_();
  }

 private:
  std::unique_ptr<readers::WorkbookReader> inner_;
  std::function<void()> hook_;
};

Engine::ReaderFactory DiskFiles::Factory(std::function<void()> on_sheet_read) {
  return [fakes = fakes_.Factory(), on_sheet_read](const std::string& path) {
    if (!fs::exists(path)) {
      throw Error(error_number::kApplicationDefined, "无法打开文件“" + path + "”：文件不存在。");
    }
    return std::unique_ptr<readers::WorkbookReader>(
        std::make_unique<ReaderWithHook>(fakes(ReadFile(path)), on_sheet_read));
  };
}

// One signal, waited for once.
class Latch {
 public:
  void Signal() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

// What the caller of a merge step sees: the values of the selected block, or the first error.
struct Seen {
  std::vector<CellValue> values;
  std::optional<std::string> error;  // "number: description" and the call it came from
  friend bool operator==(const Seen&, const Seen&) = default;
};

void PrintTo(const Seen& seen, std::ostream* os) {
  *os << seen.values.size() << " values, error: " << seen.error.value_or("none");
}

// Opens `path`, selects `sheet` and reads its first rows, as a merge step does.
Seen OpenAndRead(Engine& engine, const std::string& path, const SheetSelector& sheet) {
  Seen seen;
  std::string step = "OpenWorkbook";
  try {
    engine.OpenWorkbook(path);
    step = "SelectSheet";
    engine.SelectSheet(sheet);
    step = "ExtendSelectionToLastUsedRow";
    engine.SelectRows("1:1");
    engine.ExtendSelectionToLastUsedRow();
    step = "GetCellValue";
    const std::int32_t last = engine.ActiveSheetLastUsedRow();
    for (std::int32_t row = 1; row <= last; ++row) {
      for (int column = 1; column <= 3; ++column) {
        seen.values.push_back(engine.GetCellValue(static_cast<std::int16_t>(row), column));
      }
    }
  } catch (const Error& error) {
    seen.error = step + " " + std::to_string(error.number()) + ": " + error.description();
  }
  return seen;
}

FakeWorkbook Book(std::vector<FakeSheet> sheets) {
  FakeWorkbook book;
  book.sheets = std::move(sheets);
  return book;
}

// A sheet whose formula has no trusted result: the engine calculates it, on the caller's thread.
FakeWorkbook WithFormula() {
  FakeWorkbook book = Book({GridSheet("数据", 3, 3)});
  book.sheets[0].cells.push_back({4, 1, 0.0, 0, "A1&\"!\""});
  book.sheets[0].cells.push_back({4, 2, 0.0, 0, "SUM(B1:B3)"});
  book.results_trusted = false;
  return book;
}

struct NextFileCase {
  std::string label;
  std::function<FakeWorkbook()> workbook;  // nothing written for a missing file
  SheetSelector sheet;
};

void PrintTo(const NextFileCase& c, std::ostream* os) { *os << c.label; }

class ReadAheadSeesTheSameTest : public ::testing::TestWithParam<NextFileCase> {};

// The same steps on two engines, one told which file comes next: the same values, or the same
// error from the same call. The next file is read on the reading thread, or on the caller's
// thread as the file after the first one.
TEST_P(ReadAheadSeesTheSameTest, AsWithoutTheAnnouncement) {
  for (const bool opened_ahead : {false, true}) {
    SCOPED_TRACE(opened_ahead ? "read as the file after" : "read as the next file");
    DiskFiles files;
    const std::string first = files.Put("a.xlsx", "a", Book({GridSheet("数据", 2, 3)}));
    std::string next = files.folder().File("b.xlsx");
    if (GetParam().workbook) next = files.Put("b.xlsx", "b", GetParam().workbook());

    Engine plain(files.Factory(), &writers::SaveWorkbook);
    Engine ahead(files.Factory(), &writers::SaveWorkbook);
    OpenAndRead(plain, first, std::int16_t{1});
    if (opened_ahead) ahead.ExpectOpen(first, std::int16_t{1}, {next});
    OpenAndRead(ahead, first, std::int16_t{1});
    ahead.ExpectOpen(next, GetParam().sheet, {});
    const Seen expected = OpenAndRead(plain, next, GetParam().sheet);
    EXPECT_EQ(OpenAndRead(ahead, next, GetParam().sheet), expected);
    EXPECT_EQ(ahead.WorkbookNames(), plain.WorkbookNames());
  }
}

INSTANTIATE_TEST_SUITE_P(
    NextFiles, ReadAheadSeesTheSameTest,
    ::testing::Values(NextFileCase{"plain", [] { return Book({GridSheet("数据", 5, 3)}); },
                                   std::int16_t{1}},
                      NextFileCase{"second sheet by name",
                                   [] {
                                     return Book({GridSheet("A", 1, 1), GridSheet("数据", 4, 3)});
                                   },
                                   std::string("数据")},
                      NextFileCase{"formula calculated", WithFormula, std::string("数据")},
                      NextFileCase{"missing file", nullptr, std::int16_t{1}},
                      NextFileCase{"no sheets", [] { return Book({}); }, std::int16_t{1}},
                      NextFileCase{"no such sheet", [] { return Book({GridSheet("数据", 2, 2)}); },
                                   std::string("其他")},
                      NextFileCase{"no such position",
                                   [] { return Book({GridSheet("数据", 2, 2)}); }, std::int16_t{3}},
                      NextFileCase{"damaged sheet",
                                   [] {
                                     FakeWorkbook book = Book({GridSheet("数据", 2, 2)});
                                     book.sheets[0].failure =
                                         Error(1004, "文件“b.xlsx”的工作表“数据”已损坏。");
                                     return book;
                                   },
                                   std::int16_t{1}},
                      NextFileCase{"cell outside the grid",
                                   [] {
                                     FakeWorkbook book = Book({GridSheet("数据", 2, 2)});
                                     book.sheets[0].cells.push_back({kMaxRows + 1, 1, 1.0});
                                     return book;
                                   },
                                   std::int16_t{1}}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

TEST(EngineReadAheadTest, NextFileFaultsKeepTheirExactText) {
  DiskFiles files;
  const std::string empty = files.Put("空.xlsx", "empty", Book({}));
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.ExpectOpen(empty, std::int16_t{1}, {});
  EXPECT_EQ(OpenAndRead(engine, empty, std::int16_t{1}).error,
            "OpenWorkbook 1004: 无法打开文件“" + empty + "”：工作簿中没有工作表。");
}

TEST(EngineReadAheadTest, AnnouncedFileIsReadOnceWithItsSheet) {
  DiskFiles files;
  const std::string path =
      files.Put("b.xlsx", "b", Book({GridSheet("A", 2, 2), GridSheet("B", 3, 3)}));
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.ExpectOpen(path, std::string("b"), {});
  OpenAndRead(engine, path, std::string("b"));
  EXPECT_EQ(files.fakes().Opens("b"), 1);
  EXPECT_EQ(files.fakes().Reads("b", 0), 0);
  EXPECT_EQ(files.fakes().Reads("b", 1), 1);
}

// Each way a file can change after it was read ahead and before it is opened; the open must
// see the file as it is then.
struct ChangeCase {
  std::string label;
  std::function<void(const std::string& path, DiskFiles& files)> change;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.label; }

class ChangedAfterReadAheadTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ChangedAfterReadAheadTest, IsReadAgainAtItsOpen) {
  DiskFiles files;
  const std::string path = files.Put("b.xlsx", "b#1", Book({GridSheet("数据", 2, 3)}));
  files.fakes().Add("b#2", Book({GridSheet("数据", 7, 3)}));
  Latch read;
  Engine engine(files.Factory([&] { read.Signal(); }), &writers::SaveWorkbook);
  engine.ExpectOpen(path, std::int16_t{1}, {});
  read.Wait();  // the old version is read whole
  GetParam().change(path, files);

  Engine fresh(files.Factory(), &writers::SaveWorkbook);
  const Seen expected = OpenAndRead(fresh, path, std::int16_t{1});
  EXPECT_EQ(OpenAndRead(engine, path, std::int16_t{1}), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangedAfterReadAheadTest,
    ::testing::Values(ChangeCase{"replaced",
                                 [](const std::string& path, DiskFiles&) {
                                   WriteFile(path + ".new", "b#2");
                                   fs::rename(path + ".new", path);
                                 }},
                      // Same size, same inode: only the times tell.
                      ChangeCase{"rewritten in place",
                                 [](const std::string& path, DiskFiles&) {
                                   const auto before = fs::last_write_time(path);
                                   WriteFile(path, "b#2");
                                   fs::last_write_time(path, before + std::chrono::seconds(1));
                                 }},
                      ChangeCase{"removed",
                                 [](const std::string& path, DiskFiles&) { fs::remove(path); }}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

// The file after the next is read ahead with the announced sheet, and kept when it is
// announced next with that sheet; with another sheet it is read again.
TEST(EngineReadAheadTest, FileAfterTheNextIsReadOnceWithTheAnnouncedSheet) {
  for (const bool same_sheet : {true, false}) {
    SCOPED_TRACE(same_sheet ? "same sheet" : "another sheet");
    DiskFiles files;
    const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 2, 2)}));
    const std::string c =
        files.Put("c.xlsx", "c", Book({GridSheet("A", 1, 1), GridSheet("数据", 3, 2)}));
    Engine engine(files.Factory(), &writers::SaveWorkbook);
    engine.ExpectOpen(b, std::string("数据"), {c});
    OpenAndRead(engine, b, std::string("数据"));
    const SheetSelector sheet = same_sheet ? SheetSelector(std::string("数据")) : std::int16_t{1};
    engine.ExpectOpen(c, sheet, {});
    Engine plain(files.Factory(), &writers::SaveWorkbook);
    const Seen expected = OpenAndRead(plain, c, sheet);
    EXPECT_EQ(OpenAndRead(engine, c, sheet), expected);
    if (same_sheet) {
      EXPECT_EQ(files.fakes().Opens("c"), 2) << "once ahead, once by the plain engine";
      EXPECT_EQ(files.fakes().Reads("c", 1), 2);
      EXPECT_EQ(files.fakes().Reads("c", 0), 0);
    } else {
      // Read ahead with 数据 or not yet begun when the announcement changed: either way once
      // more ahead with its first sheet.
      EXPECT_LE(files.fakes().Opens("c"), 3);
      EXPECT_LE(files.fakes().Reads("c", 1), 1);
      EXPECT_EQ(files.fakes().Reads("c", 0), 2);
    }
  }
}

// Told three files while it works on none, the reading thread reads two and leaves the third
// until the owner takes the first; every file is read once, as a plain engine reads it.
TEST(EngineReadAheadTest, ThreadHoldsTwoAheadUntilTheOwnerTakesOne) {
  DiskFiles files;
  std::vector<std::string> paths;
  for (const char* name : {"b", "c", "d"}) {
    paths.push_back(files.Put(std::string(name) + ".xlsx", name,
                              Book({GridSheet("数据", 2 + static_cast<int>(paths.size()), 2)})));
  }
  std::mutex mutex;
  std::condition_variable read;
  int sheets_read = 0;
  Engine engine(files.Factory([&] {
                  std::lock_guard lock(mutex);
                  ++sheets_read;
                  read.notify_all();
                }),
                &writers::SaveWorkbook);
  engine.ExpectOpen(paths[0], std::int16_t{1}, {paths[1], paths[2]});
  {
    std::unique_lock lock(mutex);
    read.wait(lock, [&] { return sheets_read == 2; });
  }
  // Time for a third reading to begin, were it allowed to.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(files.fakes().Opens("d"), 0);

  Engine plain(files.Factory(), &writers::SaveWorkbook);
  for (std::size_t k = 0; k < paths.size(); ++k) {
    SCOPED_TRACE(paths[k]);
    if (k > 0) {
      engine.ExpectOpen(paths[k], std::int16_t{1},
                        std::vector<std::string>(paths.begin() + static_cast<long>(k) + 1,
                                                 paths.end()));
    }
    EXPECT_EQ(OpenAndRead(engine, paths[k], std::int16_t{1}),
              OpenAndRead(plain, paths[k], std::int16_t{1}));
  }
  for (const char* name : {"b", "c", "d"}) {
    EXPECT_EQ(files.fakes().Opens(name), 2) << name << ": once ahead, once by the plain engine";
  }
}

TEST(EngineReadAheadTest, FileAfterTheNextChangedBeforeItsTurnIsReadAgain) {
  DiskFiles files;
  const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 2, 2)}));
  const std::string c = files.Put("c.xlsx", "c#1", Book({GridSheet("数据", 2, 2)}));
  files.fakes().Add("c#2", Book({GridSheet("数据", 6, 3)}));
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.ExpectOpen(b, std::int16_t{1}, {c});
  WriteFile(c + ".new", "c#2");
  fs::rename(c + ".new", c);
  OpenAndRead(engine, b, std::int16_t{1});
  engine.ExpectOpen(c, std::int16_t{1}, {});
  Engine plain(files.Factory(), &writers::SaveWorkbook);
  const Seen expected = OpenAndRead(plain, c, std::int16_t{1});
  EXPECT_EQ(expected.values.size(), 6u * 3u);
  EXPECT_EQ(OpenAndRead(engine, c, std::int16_t{1}), expected);
}

TEST(EngineReadAheadTest, SwitchedOffItReadsNothingAhead) {
  DiskFiles files;
  const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 2, 2)}));
  const std::string c = files.Put("c.xlsx", "c", Book({GridSheet("数据", 2, 2)}));
  Engine engine(files.Factory([] { ADD_FAILURE() << "a sheet was read ahead"; }),
                &writers::SaveWorkbook);
  engine.SetReadAhead(false);
  engine.ExpectOpen(b, std::int16_t{1}, {c});
  EXPECT_EQ(files.fakes().Opens("b"), 0);
  EXPECT_EQ(files.fakes().Opens("c"), 0);
  engine.CancelExpectedOpen();
}

TEST(EngineReadAheadTest, OpenOfAnotherFileDropsTheReadAhead) {
  DiskFiles files;
  const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 2, 2)}));
  const std::string c = files.Put("c.xlsx", "c", Book({GridSheet("数据", 2, 2)}));
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.ExpectOpen(c, std::int16_t{1}, {});
  engine.OpenWorkbook(b);
  engine.OpenWorkbook(c);
  // The announcement was used up by b's open: c was read ahead, dropped, and read again.
  EXPECT_EQ(files.fakes().Opens("b"), 1);
  EXPECT_LE(files.fakes().Opens("c"), 2);
  EXPECT_EQ(engine.WorkbookNames(), (std::vector<std::string>{"b.xlsx", "c.xlsx"}));
}

TEST(EngineReadAheadTest, LaterAnnouncementReplacesTheEarlierOne) {
  DiskFiles files;
  const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 2, 2)}));
  const std::string c = files.Put("c.xlsx", "c", Book({GridSheet("数据", 2, 2)}));
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.ExpectOpen(b, std::int16_t{1}, {});
  engine.ExpectOpen(c, std::int16_t{1}, {});
  engine.OpenWorkbook(c);
  EXPECT_EQ(files.fakes().Opens("c"), 1);
  const int b_before = files.fakes().Opens("b");
  engine.OpenWorkbook(b);
  EXPECT_EQ(files.fakes().Opens("b"), b_before + 1) << "b was not kept read ahead";
}

TEST(EngineReadAheadTest, AlreadyOpenFileIsActivatedNotReadAgain) {
  DiskFiles files;
  const std::string a = files.Put("a.xlsx", "a", Book({GridSheet("数据", 2, 2)}));
  const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 2, 2)}));
  Engine engine(files.Factory(), &writers::SaveWorkbook);
  engine.OpenWorkbook(a);
  engine.OpenWorkbook(b);
  engine.ExpectOpen(a, std::int16_t{1}, {});
  engine.OpenWorkbook(a);
  EXPECT_EQ(engine.ActiveWorkbookName(), "a.xlsx");
  EXPECT_EQ(engine.WorkbookNames(), (std::vector<std::string>{"a.xlsx", "b.xlsx"}));
}

// A reader whose sheet takes a minute: it hands one row per millisecond. A stop that is not
// heard makes the test wait for the whole sheet and fail.
class EndlessReader final : public readers::WorkbookReader {
 public:
  static constexpr std::uint32_t kRows = 60'000;
  struct Watch {
    Latch reading;
    std::atomic<std::uint32_t> rows{0};
    std::atomic<bool> destroyed{false};
  };
  explicit EndlessReader(Watch& watch) : watch_(watch) {}
  ~EndlessReader() override { watch_.destroyed = true; }
  const std::vector<readers::SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<readers::StyleInfo>& Styles() const override { return styles_; }
  bool Uses1904DateSystem() const override { return false; }
  void ReadSheet(std::size_t, readers::CellSink& sink) override {
    for (std::uint32_t row = 1; row <= kRows; ++row) {
      sink.Put(readers::SinkCell::Number(row, 1, row, 0));
      if (++watch_.rows == 1) watch_.reading.Signal();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  Watch& watch_;
  std::vector<readers::SheetInfo> sheets_{{"数据", false}};
  std::vector<readers::StyleInfo> styles_{{"General"}};
};

struct StopCase {
  std::string label;
  std::function<void(std::unique_ptr<Engine>& engine, const std::string& other)> stop;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

class StopReadAheadTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopReadAheadTest, EndsTheReadingMidSheet) {
  TempFolder folder;
  const std::string slow = folder.File("slow.xlsx");
  const std::string other = folder.File("other.xlsx");
  WriteFile(slow, "slow");
  WriteFile(other, "other");
  EndlessReader::Watch watch;
  FakeFiles fakes;
  fakes.Add(other, Book({GridSheet("数据", 1, 1)}));
  auto engine = std::make_unique<Engine>(
      [&](const std::string& path) -> std::unique_ptr<readers::WorkbookReader> {
        if (path == slow) return std::make_unique<EndlessReader>(watch);
        return fakes.Factory()(path);
      },
      &writers::SaveWorkbook);
  engine->ExpectOpen(slow, std::int16_t{1}, {});
  watch.reading.Wait();
  GetParam().stop(engine, other);
  EXPECT_TRUE(watch.destroyed) << "the reading thread still holds the reader";
  EXPECT_LT(watch.rows.load(), EndlessReader::kRows);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, StopReadAheadTest,
    ::testing::Values(StopCase{"cancelled",
                               [](std::unique_ptr<Engine>& engine, const std::string&) {
                                 engine->CancelExpectedOpen();
                               }},
                      StopCase{"engine destroyed", [](std::unique_ptr<Engine>& engine,
                                                      const std::string&) { engine.reset(); }},
                      StopCase{"another file announced",
                               [](std::unique_ptr<Engine>& engine, const std::string& other) {
                                 engine->ExpectOpen(other, std::int16_t{1}, {});
                               }},
                      StopCase{"another file opened",
                               [](std::unique_ptr<Engine>& engine, const std::string& other) {
                                 engine->OpenWorkbook(other);
                               }}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

// What the windows follow: the same notifications, in the same order, with or without reading
// ahead, and none from the reading thread.
class EventLog final : public EngineObserver {
 public:
  void WorkbookOpened(const engine::Workbook& workbook) override {
    Note("opened " + workbook.name());
  }
  void WorkbookClosing(const engine::Workbook& workbook) override {
    Note("closing " + workbook.name());
  }
  void ActiveChanged() override { Note("active"); }
  void CellsChanged(const engine::Workbook& workbook) override { Note("cells " + workbook.name()); }
  std::vector<std::string> events;
  bool other_thread = false;

 private:
  void Note(std::string event) {
    if (std::this_thread::get_id() != owner_) other_thread = true;
    events.push_back(std::move(event));
  }
  std::thread::id owner_ = std::this_thread::get_id();
};

TEST(EngineReadAheadTest, ObserverHearsTheSameOnTheCallersThread) {
  DiskFiles files;
  const std::string a = files.Put("a.xlsx", "a", Book({GridSheet("数据", 3, 3)}));
  const std::string b = files.Put("b.xlsx", "b", Book({GridSheet("数据", 4, 3)}));
  std::vector<std::vector<std::string>> heard;
  for (const bool announce : {false, true}) {
    SCOPED_TRACE(announce ? "announced" : "plain");
    Engine engine(files.Factory(), &writers::SaveWorkbook);
    EventLog log;
    engine.SetObserver(&log);
    OpenAndRead(engine, a, std::int16_t{1});
    if (announce) engine.ExpectOpen(b, std::int16_t{1}, {});
    engine.CopySelection();
    engine.AddWorkbook();
    engine.PasteIntoActiveSheet();
    engine.ActivateWindow("a.xlsx");
    engine.CloseActiveWindow();
    OpenAndRead(engine, b, std::int16_t{1});
    EXPECT_FALSE(log.other_thread);
    heard.push_back(log.events);
  }
  EXPECT_EQ(heard[0], heard[1]);
}

}  // namespace
}  // namespace tavrio::automation
