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

// Reads the workbooks its owner was told come next, each with the sheet that will be selected
// there, into Workbooks nobody else sees until Take hands them over: the reader's open (for an
// .xlsx the package's directory, workbook, styles and shared strings) and that one sheet.
// Formulas are not calculated here; that stays on the owner's thread.
//
// Told two files (the next and the one after), it reads one on a thread of its own and the
// other on the owner's thread meanwhile, and keeps what it read for either of them at the next
// Start: so the files of a run are read by turns on the two threads. The owner would otherwise
// mostly wait for the reading thread: with only the next file read ahead on the thread, and the
// one after merely opened on the owner's, the many set's merge took 0.36 s and the million
// set's 0.79 s on two cores, by turns 0.32 s and 0.71 s (medians of 7 runs of
// tavrio-bench-merge on each set, one after the other). One thread from the first Start to
// Cancel serves every file: a thread started for each file made the merge half again slower on
// two cores than reading nothing ahead. So at most two workbooks are held ahead, each with its
// sheet read.
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

  // Reads `path` and, unless empty, `then`, each with the sheet `sheet` chooses there (none
  // when it chooses none): what was read or is being read for either with that sheet is kept,
  // everything else dropped. Of what is left, the reading thread takes the first file when it
  // is free, and this thread reads the other before returning. Without a thread to spare,
  // reads nothing.
  void Start(const std::string& path, const SheetSelector& sheet, const std::string& then) noexcept;

  // Stops the reading, drops everything read ahead and ends the reading thread, which has
  // ended when this returns. A sheet being read stops between two rows; the reader's open
  // (for an .xlsx its shared strings, a few hundred kilobytes for the benchmark's workbooks) cannot
  // be interrupted and ends first.
  void Cancel() noexcept;

  // The workbook read for `path` (the very same text Start was given), once its reading has
  // ended; nullptr when it was not read ahead, when the reading failed, or when the file is no
  // longer the one read: another device, inode, size, modification or change time than it had
  // when its opening began. The other file read ahead is kept; a file not read ahead drops
  // everything.
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

  // A workbook read ahead with its sheet, and the identity its file had before.
  struct ReadAhead {
    std::string path;
    SheetSelector sheet;
    std::optional<FileIdentity> identity;
    std::unique_ptr<Workbook> workbook;
  };
  void StartReading(const std::string& path, const SheetSelector& sheet) noexcept;
  void StopReading() noexcept;
  void WaitForReading();
  void Serve();
  ReadAhead Read(const std::string& path, const SheetSelector& sheet,
                 const std::stop_token& stop) const noexcept;
  static std::unique_ptr<Workbook> IfUnchanged(ReadAhead read);

  ReadWorkbook read_;
  ReadAhead owned_;  // read on the owner's thread
  // The file the reading thread reads, and the sheet; the owner's alone.
  std::string reading_path_;
  SheetSelector reading_sheet_;
  // What the reading thread read: written by that thread only, and read by the owner only once
  // the reading has ended.
  ReadAhead reading_;
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
