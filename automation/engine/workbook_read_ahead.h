#pragma once

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "automation/engine/workbook.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::automation::engine {

// Reads the workbooks its owner was told come next, each with the sheet that will be selected
// there, into Workbooks nobody else sees until Take hands them over: the reader's open (for an
// .xlsx the package's directory, workbook, styles and shared strings) and that one sheet.
// Formulas are not calculated here; that stays on the owner's thread.
//
// Told the files that come next, it reads them in that order on a thread of its own; and the
// owner, when it would wait at Take for a file not read yet, reads a later one meanwhile if
// nobody has begun it. So the reading goes to whichever thread has time, and the owner reads
// only once the file before is closed. With only the next file read ahead on the thread, and
// the one after merely opened on the owner's, the owner mostly waited for the reading thread:
// the merge took 0.36 s on the many set and 0.79 s on million; shared, 0.32 and 0.71 s (medians
// of 7 runs of tavrio-bench-merge, two cores). Reading the file after the next on the owner's
// thread as soon as it was announced was no faster and held three source workbooks at the
// peak, 13-28 MiB more.
//
// The reading thread holds at most kHeldAhead workbooks read or being read ahead while the
// owner works on the one it took; while the owner is in Take, reading one itself or waiting,
// it may begin any file announced, since in a merge the workbook before is closed by then. Told
// two files only, the thread mostly sat idle while the owner read the file after the next
// itself; told three and free to begin the third then, the merge took 0.82 s instead of
// 0.86 s on million-formatted and 0.33 s instead of 0.37 s on many-formatted (medians of 11
// runs by turns, `bench/harness/tavrio-bench-merge`). The merge's peak grew by up to 7 MiB
// there, most of which a tighter limit on idle memory blocks took back (kKeptLargeBlocks). One
// thread from the first Start to Cancel serves every file: a thread started for each file
// made the merge half again slower on two cores than reading nothing ahead.
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

  // How many workbooks the reading thread holds read or being read while the owner is not in
  // Take.
  static constexpr std::size_t kHeldAhead = 2;

  // Has `path` and then the files of `then` read, in that order, each with the sheet `sheet`
  // chooses there (none when it chooses none): what was read or is being read for any of them
  // with that sheet is kept, everything else dropped. Returns at once. Without a thread to
  // spare, reads nothing.
  void Start(const std::string& path, const SheetSelector& sheet,
             const std::vector<std::string>& then) noexcept;

  // Stops the reading, drops everything read ahead and ends the reading thread, which has
  // ended when this returns. A sheet being read stops between two rows; the reader's open
  // (for an .xlsx its shared strings, a few hundred kilobytes for the benchmark's workbooks)
  // cannot be interrupted and ends first.
  void Cancel() noexcept;

  // The workbook read for `path` (the very same text Start was given), once its reading has
  // ended, reading it here if nobody has begun it, and a later file announced while it would
  // wait; nullptr when it was not announced, when the reading failed, or when the file is no
  // longer the one read: another device, inode, size, modification or change time than it had
  // when its opening began. The other files announced are kept; a file not announced drops
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
    std::optional<FileIdentity> identity;
    std::unique_ptr<Workbook> workbook;
  };
  // A file announced. Whoever reads it (the reading thread or the owner) marks it kReading and
  // then writes `read`, under mutex_; the owner alone adds and removes files.
  struct Announced {
    enum class State { kWaiting, kReading, kRead };
    std::string path;
    SheetSelector sheet;
    State state = State::kWaiting;
    std::stop_source stop;
    ReadAhead read;
  };
  using State = Announced::State;
  using AnnouncedList = std::list<Announced>;

  bool EnsureThread() noexcept;
  void Serve();
  // Reads `file`, marked kReading by the caller, with mutex_ locked through `lock` before and
  // after (not during) the reading.
  void ReadLocked(Announced& file, std::unique_lock<std::mutex>& lock);
  ReadAhead Read(const std::string& path, const SheetSelector& sheet,
                 const std::stop_token& stop) const noexcept;
  // Adds `path` at the end unless it is empty or announced already.
  void Announce(const std::string& path, const SheetSelector& sheet);
  // Removes the files `drop` chooses, waiting for the reading of any being read to stop.
  void Drop(const std::function<bool(const Announced&)>& drop, std::unique_lock<std::mutex>& lock);
  AnnouncedList::iterator Waiting();
  // The file the reading thread may begin: the first waiting, unless it holds enough already.
  AnnouncedList::iterator ForThread();
  static std::unique_ptr<Workbook> IfUnchanged(const std::string& path, ReadAhead read);

  ReadWorkbook read_;
  std::mutex mutex_;
  std::condition_variable changed_;
  AnnouncedList announced_;  // in the order they will be opened
  bool quitting_ = false;
  bool owner_in_take_ = false;
  std::thread thread_;  // one for the engine's life, so a run's files are read on one thread
};

}  // namespace tavrio::automation::engine
