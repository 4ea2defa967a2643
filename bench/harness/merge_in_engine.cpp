// The merge as the window runs it: CombineWorkbooks on the embedded engine over a file list
// whose every entry is selected, start row 1 and sheet position "1", and nothing saved. It
// ends by printing how many rows the merged sheet holds, so a run that merged nothing cannot
// pass for a fast one. With --save the merged workbook is then saved as the window's 另存为
// saves it, and the save alone is timed: "save wall <seconds> cpu <seconds>" (CPU time of every
// thread of the process).
//
// Usage: tavrio-bench-merge [--save OUTPUT.xlsx] WORKBOOK...   (all in one folder, merged in
//        the order given)

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/engine.h"
#include "automation/engine_host.h"
#include "merge/combine_workbooks.h"
#include "merge/merge_controls.h"

namespace {

namespace fs = std::filesystem;

// A window whose options are the defaults and whose file list has every entry selected.
class SelectAllControls : public tavrio::merge::MergeControls {
 public:
  SelectAllControls(std::string folder, std::vector<std::string> names)
      : folder_(std::move(folder)), names_(std::move(names)) {}

  bool Option1() override { return true; }
  bool Option2() override { return false; }
  bool Option3() override { return false; }
  bool Option4() override { return true; }
  std::string Text1() override { return ""; }
  std::string Text2() override { return ""; }
  std::string Text3() override { return "1"; }
  std::string FilePath() override { return folder_; }
  std::int16_t FileListCount() override { return static_cast<std::int16_t>(names_.size()); }
  std::string FileName(std::int16_t index) override { return names_.at(index); }
  bool FileSelected(std::int16_t) override { return true; }
  std::optional<ListedFile> PeekNextSelectedFile(std::int16_t index) override {
    const std::size_t next = static_cast<std::size_t>(index) + 1;
    if (next >= names_.size()) return std::nullopt;
    return ListedFile{static_cast<std::int16_t>(next), folder_, names_[next]};
  }
  void ShowSummary(const std::string& message) override { summary_ = message; }

  const std::string& summary() const { return summary_; }

 private:
  std::string folder_;
  std::vector<std::string> names_;
  std::string summary_;
};

std::int32_t MergedRows(tavrio::automation::Engine& engine) {
  const std::vector<std::string> open = engine.WorkbookNames();
  if (open.empty()) return 0;
  engine.ActivateWindow(open.back());
  return engine.ActiveSheetLastUsedRow();
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Saves the merged workbook (the last one open) at `path`; returns what to print.
std::string TimedSave(tavrio::automation::Engine& engine, const std::string& path) {
  const double cpu_before = CpuSeconds();
  const auto before = std::chrono::steady_clock::now();
  engine.SaveWorkbookAs(engine.WorkbookNames().back(), path);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - before;
  char text[80];
  std::snprintf(text, sizeof text, " save wall %.3f cpu %.3f", wall.count(),
                CpuSeconds() - cpu_before);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string save_path;
  if (argc > 2 && std::string(argv[1]) == "--save") {
    save_path = argv[2];
    argc -= 2;
    argv += 2;
  }
  if (argc < 2 || argc - 1 > INT16_MAX) {
    std::fprintf(stderr, "usage: tavrio-bench-merge [--save OUTPUT] WORKBOOK... (at most 32767)\n");
    return 2;
  }
  // Absolute, so that workbooks named relative to the current folder ("a.xlsx") are found: an
  // empty folder would be joined into "/a.xlsx".
  const fs::path folder = fs::absolute(argv[1]).parent_path();
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (fs::absolute(argv[i]).parent_path() != folder) {
      std::fprintf(stderr, "all workbooks must be in one folder: %s\n", argv[i]);
      return 2;
    }
    names.push_back(fs::path(argv[i]).filename().string());
  }
  SelectAllControls controls(folder.string(), names);
  tavrio::automation::EngineHost host;
  try {
    tavrio::merge::CombineWorkbooks(controls, host);
    const std::int32_t rows = MergedRows(host.engine());
    const std::string save = save_path.empty() ? "" : TimedSave(host.engine(), save_path);
    std::printf("%s merged rows: %d%s\n", controls.summary().c_str(), rows, save.c_str());
  } catch (const tavrio::Error& error) {
    std::fprintf(stderr, "%s\n", tavrio::FormatError(error).c_str());
    return 1;
  }
  return 0;
}
