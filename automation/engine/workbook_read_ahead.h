#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "automation/engine/workbook.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::automation::engine {

// Reads the workbook its owner was told comes next on a thread of its own: the reader's open
// (for an .xlsx the package's directory, workbook, styles and shared strings) and the one sheet
// that will be selected, into a Workbook nobody else sees until Take hands it over. Formulas
// are not calculated here; that stays on the owner's thread. At most one workbook is read
// ahead (its memory is one source workbook with one sheet): a new Start drops the last.
//
// A reading that fails anywhere is dropped without a word: the owner reads the file itself at
// its open, and meets the same fault at the same call as it would have without reading ahead.
// Only the owner's thread calls this class.
class WorkbookReadAhead {
 public:
  // Reads the workbook at `path` as the owner's open does (no sheet yet); throws on failure.
  // Called on the reading thread, while the owner's thread goes on with other workbooks.
  using ReadWorkbook = std::function<std::unique_ptr<Workbook>(const std::string& path)>;

  explicit WorkbookReadAhead(ReadWorkbook read);
  WorkbookReadAhead(const WorkbookReadAhead&) = delete;
  WorkbookReadAhead& operator=(const WorkbookReadAhead&) = delete;
  // Stops the reading and waits for its thread.
  ~WorkbookReadAhead();

  // Starts reading `path` and the sheet `sheet` chooses there (none when it chooses none),
  // dropping what was read or being read before. Without a thread to spare, reads nothing.
  void Start(const std::string& path, const SheetSelector& sheet) noexcept;

  // Stops the reading and drops what it read; the thread has ended when this returns. A sheet
  // being read stops between two rows; the reader's open (for an .xlsx its shared strings, a
  // few hundred kilobytes for the benchmark's workbooks) cannot be interrupted and ends first.
  void Cancel() noexcept;

  // The workbook read for `path` (the very same text Start was given), once the reading has
  // ended; nullptr when another file or none was started, when the reading failed, or when the
  // file is no longer the one read: another device, inode, size, modification or change time
  // than it had when the reading began. Nothing stays read ahead afterwards.
  std::unique_ptr<Workbook> Take(const std::string& path) noexcept;

 private:
  // What tells one version of a file from another without reading it.
  struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modified_ns = 0;
    long long changed_ns = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
  };
  static std::optional<FileIdentity> IdentityOf(const std::string& path);

  void Read(const std::stop_token& stop, const SheetSelector& sheet);

  ReadWorkbook read_;
  std::string path_;  // set before the thread starts
  // Written by the reading thread, read by the owner only once it has joined that thread.
  std::optional<FileIdentity> identity_;
  std::unique_ptr<Workbook> workbook_;
  std::jthread thread_;
};

}  // namespace tavrio::automation::engine
