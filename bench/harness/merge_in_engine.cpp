// The merge as the window runs it: CombineWorkbooks on the embedded engine over a file list
// whose every entry is selected, start row 1 and sheet position "1", and nothing saved. It
// ends by printing how many rows the merged sheet holds, so a run that merged nothing cannot
// pass for a fast one.
//
// Usage: tavrio-bench-merge WORKBOOK...   (all in one folder, merged in the order given)

#include <cstdint>
#include <cstdio>
#include <filesystem>
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc - 1 > INT16_MAX) {
    std::fprintf(stderr, "usage: tavrio-bench-merge WORKBOOK... (at most 32767)\n");
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
    std::printf("%s merged rows: %d\n", controls.summary().c_str(), MergedRows(host.engine()));
  } catch (const tavrio::Error& error) {
    std::fprintf(stderr, "%s\n", tavrio::FormatError(error).c_str());
    return 1;
  }
  return 0;
}
