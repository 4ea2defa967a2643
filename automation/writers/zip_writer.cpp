#include "automation/writers/zip_writer.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "automation/writers/atomic_file.h"
#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

zipFile Handle(void* handle) { return static_cast<zipFile>(handle); }

// minizip says only that a call failed; the errno its stdio call left says why, so callers
// clear errno first.
void Check(int result) {
  if (result == ZIP_OK) return;
  const int error = errno;
  if (error != 0) throw WriteFailure("写入文件时出错：" + SystemErrorReason(error));
  throw WriteFailure("写入文件时出错（磁盘已满或文件无法写入）");
}

}  // namespace

ZipWriter::ZipWriter(const std::string& path)
    : handle_(zipOpen64(path.c_str(), APPEND_STATUS_CREATE)) {
  if (handle_ == nullptr) throw WriteFailure("无法创建文件");
}

ZipWriter::~ZipWriter() {
  if (handle_ != nullptr) zipClose(Handle(handle_), nullptr);
}

void ZipWriter::BeginEntry(const std::string& name, bool large) {
  errno = 0;
  zip_fileinfo info{};
  info.tmz_date.tm_year = 1980;
  info.tmz_date.tm_mday = 1;
  Check(zipOpenNewFileInZip64(Handle(handle_), name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, Z_BEST_SPEED, large ? 1 : 0));
}

void ZipWriter::Write(std::string_view data) {
  while (!data.empty()) {
    const auto chunk = static_cast<unsigned>(std::min<std::size_t>(data.size(), 1u << 30));
    errno = 0;
    Check(zipWriteInFileInZip(Handle(handle_), data.data(), chunk));
    data.remove_prefix(chunk);
  }
}

void ZipWriter::EndEntry() {
  errno = 0;
  Check(zipCloseFileInZip(Handle(handle_)));
}

void ZipWriter::Close() {
  zipFile handle = Handle(handle_);
  handle_ = nullptr;
  errno = 0;
  Check(zipClose(handle, nullptr));
}

}  // namespace tavrio::automation::writers
