// The merge run announcing the next files to the application (ExpectOpen), so that they can be
// read while this one is pasted: the first files before any open, with the sheet the options
// give the first file, then the next ones once each file's sheet is selected, with the sheet a
// later file is asked for, never past the last file, withdrawn at the run's end however it
// ends, and all of it without a read of the controls that the run would not make anyway.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "automation/base/error.h"
#include "merge/combine_workbooks.h"
#include "tests/support/recording_application.h"

namespace tavrio::merge {
namespace {

using testing::CallLog;
using ::testing::ElementsAreArray;
using testing::FakeMergeControls;
using testing::RecordingApplication;
using Calls = std::vector<std::string>;

class AnnouncedApplication : public RecordingApplication {
 public:
  using RecordingApplication::RecordingApplication;
  void ExpectOpen(const std::string& path, const automation::SheetSelector& sheet,
                  const std::vector<std::string>& then) override {
    const auto* name = std::get_if<std::string>(&sheet);
    std::string call = "ExpectOpen(" + path + "," +
                       (name ? "\"" + *name + "\"" : std::to_string(std::get<std::int16_t>(sheet))) +
                       ",";
    for (const std::string& file : then) call += (&file == &then.front() ? "" : ";") + file;
    log().RecordQuietly(call + ")");
  }
  void CancelExpectedOpen() override { log().RecordQuietly("CancelExpectedOpen()"); }
};

// Controls that can tell the next selected entry, as the window's and the batch mode's can.
class PeekingControls : public FakeMergeControls {
 public:
  using FakeMergeControls::FakeMergeControls;
  std::optional<ListedFile> PeekNextSelectedFile(std::int16_t index) override {
    for (std::size_t i = static_cast<std::size_t>(index) + 1; i < entries.size(); ++i) {
      if (entries[i].selected)
        return ListedFile{static_cast<std::int16_t>(i), path, entries[i].name};
    }
    return std::nullopt;
  }
};

bool IsAnnouncement(const std::string& call) {
  return call.starts_with("ExpectOpen(") || call == "CancelExpectedOpen()";
}

Calls OpensAndAnnouncements(const Calls& calls) {
  Calls kept;
  for (const std::string& call : calls) {
    if (call.starts_with("OpenWorkbook(") || call.starts_with("SelectSheet(") ||
        IsAnnouncement(call)) {
      kept.push_back(call);
    }
  }
  return kept;
}

struct AnnouncementCase {
  std::string label;
  bool by_name;
  std::string typed;  // the sheet name or position
  std::vector<FakeMergeControls::Entry> entries;
  Calls expected;
};

void PrintTo(const AnnouncementCase& c, std::ostream* os) { *os << c.label; }

class NextFileAnnouncementTest : public ::testing::TestWithParam<AnnouncementCase> {};

TEST_P(NextFileAnnouncementTest, FirstBeforeAnyOpenNextOnceTheSheetIsSelected) {
  CallLog log;
  AnnouncedApplication app(&log);
  PeekingControls controls(&log);
  controls.option3 = GetParam().by_name;
  controls.option4 = !GetParam().by_name;
  (GetParam().by_name ? controls.text2 : controls.text3) = GetParam().typed;
  controls.entries = GetParam().entries;
  try {
    CombineWorkbooks(controls, app);
  } catch (const Error&) {
    // Compared by the calls made up to the failure.
  }
  EXPECT_THAT(OpensAndAnnouncements(log.calls()), ElementsAreArray(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, NextFileAnnouncementTest,
    ::testing::Values(
        AnnouncementCase{"one file",
                         false,
                         "1",
                         {{"a.xlsx", true}},
                         {"ExpectOpen(/d/a.xlsx,1,)", "OpenWorkbook(/d/a.xlsx)", "SelectSheet(1)",
                          "CancelExpectedOpen()"}},
        AnnouncementCase{
            "position",
            false,
            "2",
            {{"a.xlsx", true},
             {"skip.xlsx", false},
             {"b.xlsx", true},
             {"c.xlsx", true},
             {"d.xlsx", true},
             {"e.xlsx", true}},
            {"ExpectOpen(/d/a.xlsx,2,/d/b.xlsx;/d/c.xlsx)", "OpenWorkbook(/d/a.xlsx)",
             "SelectSheet(2)", "ExpectOpen(/d/b.xlsx,2,/d/c.xlsx;/d/d.xlsx)",
             "OpenWorkbook(/d/b.xlsx)", "SelectSheet(2)", "ExpectOpen(/d/c.xlsx,2,/d/d.xlsx;/d/e.xlsx)",
             "OpenWorkbook(/d/c.xlsx)", "SelectSheet(2)", "ExpectOpen(/d/d.xlsx,2,/d/e.xlsx)",
             "OpenWorkbook(/d/d.xlsx)", "SelectSheet(2)", "ExpectOpen(/d/e.xlsx,2,)",
             "OpenWorkbook(/d/e.xlsx)", "SelectSheet(2)", "CancelExpectedOpen()"}},
        // The first file's position is rounded down, every later file's to the nearest: before
        // the first open only the first file can be told with its sheet.
        AnnouncementCase{"fractional position",
                         false,
                         "2.7",
                         {{"a.xlsx", true}, {"b.xlsx", true}, {"c.xlsx", true}},
                         {"ExpectOpen(/d/a.xlsx,2,)", "OpenWorkbook(/d/a.xlsx)", "SelectSheet(2)",
                          "ExpectOpen(/d/b.xlsx,3,/d/c.xlsx)", "OpenWorkbook(/d/b.xlsx)",
                          "SelectSheet(3)", "ExpectOpen(/d/c.xlsx,3,)", "OpenWorkbook(/d/c.xlsx)",
                          "SelectSheet(3)", "CancelExpectedOpen()"}},
        // A position the first file cannot have fails at that file's step, not before.
        AnnouncementCase{"position out of range",
                         false,
                         "-32768.5",
                         {{"a.xlsx", true}, {"b.xlsx", true}},
                         {"OpenWorkbook(/d/a.xlsx)"}},
        AnnouncementCase{
            "name",
            true,
            "数据",
            {{"skip.xlsx", false}, {"a.xlsx", true}, {"b.xlsx", true}, {"last.xlsx", false}},
            {"ExpectOpen(/d/a.xlsx,\"数据\",/d/b.xlsx)", "OpenWorkbook(/d/a.xlsx)",
             "SelectSheet(\"数据\")", "ExpectOpen(/d/b.xlsx,\"数据\",)", "OpenWorkbook(/d/b.xlsx)",
             "SelectSheet(\"数据\")", "CancelExpectedOpen()"}}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

TEST(NextFileAnnouncementRunTest, ChangesNothingElseTheRunDoes) {
  Calls runs[2];
  for (const bool peeking : {false, true}) {
    CallLog log;
    AnnouncedApplication app(&log);
    PeekingControls peeking_controls(&log);
    FakeMergeControls plain_controls(&log);
    FakeMergeControls& controls =
        peeking ? static_cast<FakeMergeControls&>(peeking_controls) : plain_controls;
    controls.option3 = false;
    controls.option4 = true;
    controls.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
    CombineWorkbooks(controls, app);
    for (const std::string& call : log.calls()) {
      if (!IsAnnouncement(call)) runs[peeking].push_back(call);
    }
  }
  EXPECT_THAT(runs[1], ElementsAreArray(runs[0]));
}

// Whichever call fails, an announced file the run did not go on to open is withdrawn.
TEST(NextFileAnnouncementRunTest, FailedRunWithdrawsWhatItAnnounced) {
  auto setup = [](FakeMergeControls& c) {
    c.option3 = false;
    c.option4 = true;
    c.Select({"a.xlsx", "b.xlsx", "c.xlsx"});
  };
  CallLog complete_log;
  AnnouncedApplication complete_app(&complete_log);
  PeekingControls complete_controls(&complete_log);
  setup(complete_controls);
  CombineWorkbooks(complete_controls, complete_app);
  const std::size_t calls = complete_log.calls().size();
  for (std::size_t n = 1; n < calls; ++n) {
    if (IsAnnouncement(complete_log.calls()[n - 1])) continue;
    SCOPED_TRACE("failing call " + std::to_string(n) + ": " + complete_log.calls()[n - 1]);
    CallLog log;
    AnnouncedApplication app(&log);
    PeekingControls controls(&log);
    setup(controls);
    log.FailAtCall(n, Error(1004, "应用程序定义或对象定义错误"));
    EXPECT_THROW(CombineWorkbooks(controls, app), Error);
    bool pending = false;
    for (const std::string& call : log.calls()) {
      if (call.starts_with("ExpectOpen(")) pending = true;
      if (call == "CancelExpectedOpen()" || call.starts_with("OpenWorkbook(")) pending = false;
    }
    EXPECT_FALSE(pending);
  }
}

class StopAfterFirstFile : public MergeProgress {
 public:
  void FileStarting(int, int, const std::string&, std::int32_t) override {}
  void MergedWorkbookCreated(const std::string&) override {}
  bool StopRequested() override { return true; }
};

TEST(NextFileAnnouncementRunTest, StoppedRunWithdrawsTheNextFile) {
  CallLog log;
  AnnouncedApplication app(&log);
  PeekingControls controls(&log);
  controls.option3 = false;
  controls.option4 = true;
  controls.Select({"a.xlsx", "b.xlsx"});
  StopAfterFirstFile stop;
  CombineWorkbooks(controls, app, &stop);
  const Calls sequence = log.Sequence();
  ASSERT_GE(sequence.size(), 3u);
  EXPECT_THAT(Calls(sequence.end() - 3, sequence.end()),
              ElementsAreArray(
                  Calls{"SetScreenUpdating(true)", "CancelExpectedOpen()", "Private.Release()"}));
  EXPECT_EQ(std::count(sequence.begin(), sequence.end(), "ExpectOpen(/d/b.xlsx,1,)"), 1);
}

}  // namespace
}  // namespace tavrio::merge
