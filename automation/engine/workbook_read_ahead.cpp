#include "automation/engine/workbook_read_ahead.h"

#include <sys/stat.h>

#include <utility>

namespace tavrio::automation::engine {

WorkbookReadAhead::WorkbookReadAhead(ReadWorkbook read) : read_(std::move(read)) {}

WorkbookReadAhead::~WorkbookReadAhead() { Cancel(); }

void WorkbookReadAhead::Start(const std::string& path, const SheetSelector& sheet,
                              const std::string& then) noexcept {
  StopReading();
  try {
    reading_ = TakeOpened(path);
    reading_path_ = path;
    if (!thread_.joinable()) thread_ = std::thread([this] { Serve(); });
    {
      std::lock_guard lock(mutex_);
      stop_ = std::stop_source();
      task_.emplace(path, sheet);
      busy_ = true;
    }
    changed_.notify_all();
    reading_started_ = true;
  } catch (...) {
    // No thread or no memory to spare: the open then reads the file itself, only later.
    reading_ = {};
    reading_path_.clear();
    return;
  }
  if (!then.empty()) opened_ = Open(then);
}

void WorkbookReadAhead::WaitForReading() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
}

void WorkbookReadAhead::StopReading() noexcept {
  if (reading_started_) {
    {
      std::lock_guard lock(mutex_);
      stop_.request_stop();
    }
    WaitForReading();
    reading_started_ = false;
  }
  reading_ = {};
  reading_path_.clear();
}

void WorkbookReadAhead::Cancel() noexcept {
  StopReading();
  opened_ = {};
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      quitting_ = true;
    }
    changed_.notify_all();
    thread_.join();
    quitting_ = false;
  }
}

std::unique_ptr<Workbook> WorkbookReadAhead::Take(const std::string& path) noexcept {
  if (!reading_started_ || path != reading_path_) {
    Cancel();
    return nullptr;
  }
  WaitForReading();
  reading_started_ = false;
  std::unique_ptr<Workbook> workbook;
  // A file replaced or rewritten since its reading began is read again, as it is now.
  if (reading_.workbook && reading_.identity && IdentityOf(path) == reading_.identity) {
    workbook = std::move(reading_.workbook);
  }
  reading_ = {};
  reading_path_.clear();
  return workbook;
}

// The reading thread: one file at a time, as Start hands them over.
void WorkbookReadAhead::Serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return quitting_ || task_.has_value(); });
    if (quitting_) return;
    const auto [path, sheet] = std::move(*task_);
    task_.reset();
    const std::stop_token stop = stop_.get_token();
    lock.unlock();
    Read(stop, path, sheet);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

WorkbookReadAhead::Opened WorkbookReadAhead::Open(const std::string& path) const noexcept {
  Opened opened;
  try {
    opened.path = path;
    // Taken before the first byte is read, so that a change during the reading shows at Take.
    opened.identity = IdentityOf(path);
    if (!opened.identity) return {};
    opened.workbook = read_(path);
    opened.workbook->ReadSharedParts();
  } catch (...) {
    // Dropped, whatever it was: the owner's own reading meets it where it always does.
    return {};
  }
  return opened;
}

WorkbookReadAhead::Opened WorkbookReadAhead::TakeOpened(const std::string& path) noexcept {
  Opened opened = std::move(opened_);
  opened_ = {};
  if (opened.path != path || !opened.workbook || IdentityOf(path) != opened.identity) return {};
  return opened;
}

void WorkbookReadAhead::Read(const std::stop_token& stop, const std::string& path,
                             const SheetSelector& sheet) {
  if (!reading_.workbook) reading_ = Open(path);
  if (!reading_.workbook) return;
  try {
    if (const std::optional<std::size_t> index = reading_.workbook->FindSheet(sheet)) {
      reading_.workbook->LoadedSheet(*index, stop);
    }
  } catch (...) {
    // Dropped, whatever it was: the owner's own reading meets it where it always does.
    reading_.workbook.reset();
  }
}

std::optional<WorkbookReadAhead::FileIdentity> WorkbookReadAhead::IdentityOf(
    const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  const auto nanoseconds = [](const timespec& time) {
    return static_cast<long long>(time.tv_sec) * 1'000'000'000LL + time.tv_nsec;
  };
  return FileIdentity{info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim),
                      nanoseconds(info.st_ctim)};
}

}  // namespace tavrio::automation::engine
