#include "automation/engine/workbook_read_ahead.h"

#include <sys/stat.h>

#include <utility>

namespace tavrio::automation::engine {

WorkbookReadAhead::WorkbookReadAhead(ReadWorkbook read) : read_(std::move(read)) {}

WorkbookReadAhead::~WorkbookReadAhead() { Cancel(); }

void WorkbookReadAhead::Start(const std::string& path, const SheetSelector& sheet,
                              const std::string& then) noexcept {
  const auto announced = [&](const std::string& file, const SheetSelector& chosen) {
    return !file.empty() && chosen == sheet && (file == path || file == then);
  };
  if (reading_started_ && !announced(reading_path_, reading_sheet_)) StopReading();
  if (!announced(owned_.path, owned_.sheet)) owned_ = {};
  for (const std::string* file : {&path, &then}) {
    if (file->empty() || *file == owned_.path) continue;
    if (reading_started_ && *file == reading_path_) continue;
    if (!reading_started_) {
      StartReading(*file, sheet);
    } else if (!owned_.workbook) {
      owned_ = Read(*file, sheet, {});
    }
  }
}

void WorkbookReadAhead::StartReading(const std::string& path, const SheetSelector& sheet) noexcept {
  try {
    reading_path_ = path;
    reading_sheet_ = sheet;
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
    reading_path_.clear();
  }
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
  owned_ = {};
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
  if (!owned_.path.empty() && path == owned_.path) return IfUnchanged(std::exchange(owned_, {}));
  if (!reading_started_ || path != reading_path_) {
    Cancel();
    return nullptr;
  }
  WaitForReading();
  reading_started_ = false;
  reading_path_.clear();
  return IfUnchanged(std::exchange(reading_, {}));
}

// A file replaced or rewritten since its reading began is read again, as it is now.
std::unique_ptr<Workbook> WorkbookReadAhead::IfUnchanged(ReadAhead read) {
  if (!read.workbook || !read.identity || IdentityOf(read.path) != read.identity) return nullptr;
  return std::move(read.workbook);
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
    reading_ = Read(path, sheet, stop);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

WorkbookReadAhead::ReadAhead WorkbookReadAhead::Read(const std::string& path,
                                                     const SheetSelector& sheet,
                                                     const std::stop_token& stop) const noexcept {
  ReadAhead read;
  try {
    read.path = path;
    read.sheet = sheet;
    // Taken before the first byte is read, so that a change during the reading shows at Take.
    read.identity = IdentityOf(path);
    if (!read.identity) return {};
    read.workbook = read_(path);
    read.workbook->ReadSharedParts();
    if (const std::optional<std::size_t> index = read.workbook->FindSheet(sheet)) {
      read.workbook->LoadedSheet(*index, stop);
    }
  } catch (...) {
    // Dropped, whatever it was: the owner's own reading meets it where it always does.
    return {};
  }
  return read;
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
