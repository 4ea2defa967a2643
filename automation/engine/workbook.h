#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "automation/engine/sheet.h"
#include "automation/engine/string_pool.h"
#include "automation/engine/style_table.h"
#include "automation/readers/workbook_reader.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::automation::engine {

// One open workbook: its sheets, the texts and styles its cells refer to, and its window (which
// shares the workbook's name). A workbook read from a file keeps its reader and fills each sheet
// from it only when that sheet is first used, so opening a large file to use one sheet parses
// only that sheet. Numbers are held in the 1900 date system whatever the file used.
class Workbook {
 public:
  // A new, empty workbook with one sheet named Sheet1.
  explicit Workbook(std::string name);
  // A workbook read from `path`; `reader` is what OpenWorkbookFile returned for it.
  Workbook(std::string name, std::string path, std::unique_ptr<readers::WorkbookReader> reader);
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;
  ~Workbook();

  const std::string& name() const { return name_; }
  // The file the workbook was read from or last saved to; empty for a new one.
  const std::string& path() const { return path_; }
  void Rename(std::string name, std::string path);

  std::size_t SheetCount() const { return sheets_.size(); }
  // The sheet's name, hidden state and view, loaded or not.
  Sheet& SheetAt(std::size_t index) { return sheets_[index]; }
  const Sheet& SheetAt(std::size_t index) const { return sheets_[index]; }
  // The sheet with its cells, read from the file first if need be. Throws tavrio::Error naming
  // the file and the sheet when that fails; the sheet then stays unread.
  Sheet& LoadedSheet(std::size_t index);
  // The same, giving up (the sheet left unread) once `stop` is requested: for a reading that
  // runs ahead on a thread of its own and may no longer be wanted. A reading given up throws
  // ReadingStopped, which is no tavrio::Error: nobody is ever shown it.
  struct ReadingStopped {};
  Sheet& LoadedSheet(std::size_t index, std::stop_token stop);
  // The index of the sheet `sheet` chooses (a name compared without regard to case, or a
  // 1-based position among all sheets, hidden ones included); nothing when none matches.
  std::optional<std::size_t> FindSheet(const SheetSelector& sheet) const;
  // Adds an empty, visible sheet after the last one and returns its index. References to
  // sheets taken before may no longer be valid. The caller keeps names unique.
  std::size_t AddSheet(std::string name);
  void LoadAllSheets();
  // What reading any sheet needs first (see WorkbookReader::ReadSharedParts), read now; throws
  // tavrio::Error when that fails. Nothing for a workbook whose sheets are all read.
  void ReadSharedParts();

  std::size_t active_sheet() const { return active_sheet_; }
  void set_active_sheet(std::size_t index) { active_sheet_ = index; }

  StringPool& strings() { return strings_; }
  const StringPool& strings() const { return strings_; }
  StyleTable& styles() { return styles_; }
  const StyleTable& styles() const { return styles_; }

  bool unsaved_changes() const { return unsaved_changes_; }
  void set_unsaved_changes(bool changed) { unsaved_changes_ = changed; }

 private:
  void ReadSheet(std::size_t index, std::stop_token stop);

  std::string name_;
  std::string path_;
  std::vector<Sheet> sheets_;
  std::size_t active_sheet_ = 0;
  StringPool strings_;
  StyleTable styles_;
  bool unsaved_changes_ = false;
  std::unique_ptr<readers::WorkbookReader> reader_;
  std::vector<std::uint32_t> reader_styles_;  // the reader's style index -> our style id
  std::size_t unread_sheets_ = 0;
};

}  // namespace tavrio::automation::engine
