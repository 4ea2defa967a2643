#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "automation/engine/workbook.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::automation::engine {

// Reads the workbook its owner was told comes next on a thread of its own (one thread from the
// first Start to Cancel, serving every file between: a thread started for each file made the
// many set's merge half again slower on two cores than reading nothing ahead): the reader's open
// (for an .xlsx the package's directory, workbook, styles and shared strings) and the one sheet
// that will be selected, into a Workbook nobody else sees until Take hands it over. Formulas
// are not calculated here; that stays on the owner's thread.
//
// Told the file after that one as well, it opens that file on the owner's thread meanwhile (the
// owner mostly waits for the reading thread anyway), so that the next reading thread parses
// its sheet at once: opening a small workbook is a fifth of reading it, and this takes it off
// the thread everything else waits for. So at most two workbooks are held ahead: one with its
// sheet read, one opened without any sheet.
//
// A reading that fails anywhere is dropped without a word: the owner reads the file itself at
// its open, and meets the same fault at the same call as it would have without reading ahead.
// Only the owner's thread calls this class.
class WorkbookReadAhead {
 public:
  // Reads the workbook at `path` as the owner's open does (no sheet yet); throws on failure.
  // Called on the reading thread and on the owner's thread.
  using ReadWorkbook = std::function<std::unique_ptr<Workbook>(const std::string& path)>;

  explicit WorkbookReadAhead(ReadWorkbook read);
  WorkbookReadAhead(const WorkbookReadAhead&) = delete;
  WorkbookReadAhead& operator=(const WorkbookReadAhead&) = delete;
  // Cancel.
  ~WorkbookReadAhead();

  // Starts reading `path` and the sheet `sheet` chooses there (none when it chooses none),
  // dropping what was read or being read before, except the file opened ahead when it is
  // `path`. Then, with `then` not empty, opens `then` on this thread and keeps it for the next
  // Start. Without a thread to spare, reads nothing.
  void Start(const std::string& path, const SheetSelector& sheet, const std::string& then) noexcept;

  // Stops the reading, drops everything read ahead and ends the reading thread, which has
  // ended when this returns. A sheet being read stops between two rows; the reader's open
  // (for an .xlsx its shared strings, a few hundred kilobytes for the benchmark's workbooks) cannot
  // be interrupted and ends first.
  void Cancel() noexcept;

  // The workbook read for `path` (the very same text Start was given), once the reading has
  // ended; nullptr when another file or none was started, when the reading failed, or when the
  // file is no longer the one read: another device, inode, size, modification or change time
  // than it had when its opening began. Another file than the one started drops everything.
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

  // A workbook read without its sheet, with the identity its file had before.
  struct Opened {
    std::string path;
    std::optional<FileIdentity> identity;
    std::unique_ptr<Workbook> workbook;
  };
  void StopReading() noexcept;
  void WaitForReading();
  void Serve();
  Opened Open(const std::string& path) const noexcept;
  // What was opened ahead for `path`, if it was and the file is still the one opened.
  Opened TakeOpened(const std::string& path) noexcept;
  void Read(const std::stop_token& stop, const std::string& path, const SheetSelector& sheet);

  ReadWorkbook read_;
  Opened opened_;             // the file after the one being read, opened on the owner's thread
  std::string reading_path_;  // the file being read; the owner's alone
  // What the reading thread read: set before the thread starts, then written by that thread
  // only and read by the owner only once it has joined it.
  Opened reading_;
  bool reading_started_ = false;  // the owner's: a reading was handed over and not yet waited for
  // Handed between the owner and the reading thread under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<std::pair<std::string, SheetSelector>> task_;
  bool busy_ = false;
  bool quitting_ = false;
  std::stop_source stop_;
  std::thread thread_;  // one for the engine's life, so a run's files are read on one thread
};

}  // namespace tavrio::automation::engine
