#include "automation/engine/workbook_read_ahead.h"

#include <sys/stat.h>

#include <system_error>
#include <utility>

namespace tavrio::automation::engine {

WorkbookReadAhead::WorkbookReadAhead(ReadWorkbook read) : read_(std::move(read)) {}

WorkbookReadAhead::~WorkbookReadAhead() { Cancel(); }

void WorkbookReadAhead::Start(const std::string& path, const SheetSelector& sheet) noexcept {
  Cancel();
  try {
    path_ = path;
    thread_ = std::jthread([this, sheet](const std::stop_token& stop) { Read(stop, sheet); });
  } catch (...) {
    // No thread or no memory to spare: the open then reads the file itself, only later.
    path_.clear();
  }
}

void WorkbookReadAhead::Cancel() noexcept {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  path_.clear();
  identity_.reset();
  workbook_.reset();
}

std::unique_ptr<Workbook> WorkbookReadAhead::Take(const std::string& path) noexcept {
  if (!thread_.joinable() || path != path_) {
    Cancel();
    return nullptr;
  }
  thread_.join();
  std::unique_ptr<Workbook> workbook;
  // A file replaced or rewritten since the reading began is read again, as it is now.
  if (workbook_ && identity_ && IdentityOf(path) == identity_) workbook = std::move(workbook_);
  Cancel();
  return workbook;
}

void WorkbookReadAhead::Read(const std::stop_token& stop, const SheetSelector& sheet) {
  // Taken before the first byte is read, so that a change during the reading shows at Take.
  identity_ = IdentityOf(path_);
  if (!identity_) return;
  try {
    std::unique_ptr<Workbook> workbook = read_(path_);
    if (const std::optional<std::size_t> index = workbook->FindSheet(sheet)) {
      workbook->LoadedSheet(*index, stop);
    }
    workbook_ = std::move(workbook);
  } catch (...) {
    // Dropped, whatever it was: the owner's own reading meets it where it always does.
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
