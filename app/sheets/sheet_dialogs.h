#pragma once

// The questions a spreadsheet window asks, behind an interface so that tests give the answers
// without a modal dialog ever blocking.

#include <string>

class QWidget;

namespace tavrio {
class Error;
}

namespace tavrio::app::sheets {

enum class SaveChangesAnswer { kSave, kDontSave, kCancel };

class SheetDialogs {
 public:
  virtual ~SheetDialogs() = default;
  // The path to save the workbook to, ending in .xlsx or .csv; empty when the user cancelled.
  // `suggested` is the full path offered first. It does not ask about replacing a file: the
  // window refuses what it must refuse before it asks that (AskReplace).
  virtual std::string AskSavePath(QWidget* parent, const std::string& suggested) = 0;
  // Whether to replace the existing file at `path`.
  virtual bool AskReplace(QWidget* parent, const std::string& path) = 0;
  // Whether to save the workbook although the merge that made it stopped early (`reason`).
  virtual bool AskSaveIncomplete(QWidget* parent, const std::string& workbook_name,
                                 const std::string& reason) = 0;
  // Whether to save the changes of the workbook named `workbook_name` before it is closed.
  virtual SaveChangesAnswer AskSaveChanges(QWidget* parent, const std::string& workbook_name) = 0;
  // Shows the error's number and description; returns once the user has dismissed it.
  virtual void ReportError(QWidget* parent, const Error& error) = 0;
  // Shows what a save that succeeded could not keep exactly; returns once dismissed.
  virtual void ReportWarning(QWidget* parent, const std::string& warning) = 0;
};

// The desktop's save dialog and modal message boxes titled "Tavrio".
class DesktopSheetDialogs : public SheetDialogs {
 public:
  std::string AskSavePath(QWidget* parent, const std::string& suggested) override;
  bool AskReplace(QWidget* parent, const std::string& path) override;
  bool AskSaveIncomplete(QWidget* parent, const std::string& workbook_name,
                         const std::string& reason) override;
  SaveChangesAnswer AskSaveChanges(QWidget* parent, const std::string& workbook_name) override;
  void ReportError(QWidget* parent, const Error& error) override;
  void ReportWarning(QWidget* parent, const std::string& warning) override;
};

// `name` with the extension the chosen filter stands for, unless it already ends in .xlsx or
// .csv (any case): a name typed without one gets .csv only when the CSV filter was chosen.
std::string WithSaveExtension(const std::string& name, bool csv_chosen);

}  // namespace tavrio::app::sheets
