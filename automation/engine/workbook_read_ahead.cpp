#include "automation/engine/workbook_read_ahead.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

namespace tavrio::automation::engine {

WorkbookReadAhead::WorkbookReadAhead(ReadWorkbook read) : read_(std::move(read)) {}

WorkbookReadAhead::~WorkbookReadAhead() { Cancel(); }

void WorkbookReadAhead::Start(const std::string& path, const SheetSelector& sheet,
                              const std::vector<std::string>& then) noexcept {
  if (!EnsureThread()) return;
  const auto is_announced = [&](const std::string& file) {
    return file == path || std::find(then.begin(), then.end(), file) != then.end();
  };
  std::unique_lock lock(mutex_);
  Drop([&](const Announced& file) { return file.sheet != sheet || !is_announced(file.path); },
       lock);
  try {
    Announce(path, sheet);
    for (const std::string& next : then) Announce(next, sheet);
  } catch (...) {
    // No memory to spare: what is not announced is read at its open.
  }
  changed_.notify_all();
}

void WorkbookReadAhead::Announce(const std::string& path, const SheetSelector& sheet) {
  if (path.empty()) return;
  const auto known = std::find_if(announced_.begin(), announced_.end(),
                                  [&](const Announced& file) { return file.path == path; });
  if (known != announced_.end()) return;
  Announced& file = announced_.emplace_back();
  file.path = path;
  file.sheet = sheet;
}

bool WorkbookReadAhead::EnsureThread() noexcept {
  if (thread_.joinable()) return true;
  try {
    thread_ = std::thread([this] { Serve(); });
  } catch (...) {
    // No thread to spare: the opens then read the files themselves, only later.
    return false;
  }
  return true;
}

void WorkbookReadAhead::Cancel() noexcept {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    Drop([](const Announced&) { return true; }, lock);
    quitting_ = true;
  }
  changed_.notify_all();
  thread_.join();
  quitting_ = false;
}

void WorkbookReadAhead::Drop(const std::function<bool(const Announced&)>& drop,
                             std::unique_lock<std::mutex>& lock) {
  for (Announced& file : announced_) {
    if (drop(file)) file.stop.request_stop();
  }
  changed_.wait(lock, [&] {
    return std::none_of(announced_.begin(), announced_.end(), [&](const Announced& file) {
      return file.state == State::kReading && drop(file);
    });
  });
  announced_.remove_if(drop);
}

WorkbookReadAhead::AnnouncedList::iterator WorkbookReadAhead::Waiting() {
  return std::find_if(announced_.begin(), announced_.end(),
                      [](const Announced& file) { return file.state == State::kWaiting; });
}

WorkbookReadAhead::AnnouncedList::iterator WorkbookReadAhead::ForThread() {
  const auto held = std::count_if(announced_.begin(), announced_.end(), [](const Announced& file) {
    return file.state != State::kWaiting;
  });
  if (static_cast<std::size_t>(held) >= kHeldAhead && !owner_in_take_) return announced_.end();
  return Waiting();
}

std::unique_ptr<Workbook> WorkbookReadAhead::Take(const std::string& path) noexcept {
  std::unique_lock lock(mutex_);
  const auto taken = std::find_if(announced_.begin(), announced_.end(),
                                  [&](const Announced& file) { return file.path == path; });
  if (taken == announced_.end()) {
    lock.unlock();
    Cancel();
    return nullptr;
  }
  owner_in_take_ = true;
  changed_.notify_all();
  // Rather than wait, read what nobody has begun: this file first, else a later one.
  while (taken->state != State::kRead) {
    const auto next = taken->state == State::kWaiting ? taken : Waiting();
    if (next == announced_.end()) {
      changed_.wait(lock);
      continue;
    }
    next->state = State::kReading;
    ReadLocked(*next, lock);
  }
  owner_in_take_ = false;
  ReadAhead read = std::move(taken->read);
  announced_.erase(taken);
  changed_.notify_all();  // the reading thread holds one less
  lock.unlock();
  return IfUnchanged(path, std::move(read));
}

// A file replaced or rewritten since its reading began is read again, as it is now.
std::unique_ptr<Workbook> WorkbookReadAhead::IfUnchanged(const std::string& path,
                                                         ReadAhead read) {
  if (!read.workbook || !read.identity || IdentityOf(path) != read.identity) return nullptr;
  return std::move(read.workbook);
}

// The reading thread: the files announced, in order, as long as nobody else has begun them.
void WorkbookReadAhead::Serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    AnnouncedList::iterator next;
    changed_.wait(lock, [&] { return quitting_ || (next = ForThread()) != announced_.end(); });
    if (quitting_) return;
    next->state = State::kReading;
    ReadLocked(*next, lock);
  }
}

void WorkbookReadAhead::ReadLocked(Announced& file, std::unique_lock<std::mutex>& lock) {
  // Copies: the owner changes the list while this reads, though never this file.
  const std::string path = file.path;
  const SheetSelector sheet = file.sheet;
  const std::stop_token stop = file.stop.get_token();
  lock.unlock();
  ReadAhead read = Read(path, sheet, stop);
  lock.lock();
  file.read = std::move(read);
  file.state = State::kRead;
  changed_.notify_all();
}

WorkbookReadAhead::ReadAhead WorkbookReadAhead::Read(const std::string& path,
                                                     const SheetSelector& sheet,
                                                     const std::stop_token& stop) const noexcept {
  ReadAhead read;
  try {
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
