#pragma once

// Answers a spreadsheet window's questions from the test's script and records what was asked.

#include <deque>
#include <string>
#include <vector>

#include "app/sheets/sheet_dialogs.h"
#include "automation/error.h"

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
  SaveChangesAnswer AskSaveChanges(QWidget*, const std::string& workbook_name) override {
    asked_to_save.push_back(workbook_name);
    return save_changes;
  }
  void ReportError(QWidget*, const Error& error) override { errors.push_back(error); }
  void ReportWarning(QWidget*, const std::string& warning) override { warnings.push_back(warning); }

  // Answers, in order; an empty path or none left is a cancelled dialog.
  std::deque<std::string> save_paths;
  SaveChangesAnswer save_changes = SaveChangesAnswer::kCancel;

  std::vector<std::string> suggested_paths;
  std::vector<std::string> asked_to_save;
  std::vector<Error> errors;
  std::vector<std::string> warnings;
};

}  // namespace tavrio::app::sheets::testing
