#pragma once

// Answers a spreadsheet window's questions from the test's script and records what was asked.

#include <deque>
#include <string>
#include <vector>

#include "app/sheets/sheet_dialogs.h"
#include "automation/base/error.h"

namespace tavrio::app::sheets::testing {

class FakeDialogs : public SheetDialogs {
 public:
  std::string AskSavePath(QWidget*, const std::string& suggested) override {
    suggested_paths.push_back(suggested);
    if (save_paths.empty()) return {};
    std::string path = save_paths.front();
    save_paths.pop_front();
    return path;
  }
  bool AskReplace(QWidget*, const std::string& path) override {
    asked_to_replace.push_back(path);
    return replace;
  }
  bool AskSaveIncomplete(QWidget*, const std::string& workbook_name,
                         const std::string& reason) override {
    asked_incomplete.push_back(workbook_name + "：" + reason);
    return save_incomplete;
  }
  SaveChangesAnswer AskSaveChanges(QWidget*, const std::string& workbook_name) override {
    asked_to_save.push_back(workbook_name);
    return save_changes;
  }
  void ReportError(QWidget*, const Error& error) override { errors.push_back(error); }
  void ReportWarning(QWidget*, const std::string& warning) override { warnings.push_back(warning); }

  // Answers, in order; an empty path or none left is a cancelled dialog.
  std::deque<std::string> save_paths;
  SaveChangesAnswer save_changes = SaveChangesAnswer::kCancel;
  bool replace = true;
  bool save_incomplete = true;

  std::vector<std::string> suggested_paths;
  std::vector<std::string> asked_to_save;
  std::vector<std::string> asked_to_replace;
  std::vector<std::string> asked_incomplete;
  std::vector<Error> errors;
  std::vector<std::string> warnings;
};

}  // namespace tavrio::app::sheets::testing
