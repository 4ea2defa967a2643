#include "automation/writers/zip_writer.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <cerrno>

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

ZipWriter::ZipWriter(const std::string& path, unsigned deflate_threads)
    : handle_(zipOpen64(path.c_str(), APPEND_STATUS_CREATE)), deflate_threads_(deflate_threads) {
  if (handle_ == nullptr) throw WriteFailure("无法创建文件");
}

ZipWriter::~ZipWriter() {
  entry_.reset();  // its workers stop before the file they were writing to is closed
  if (handle_ != nullptr) zipClose(Handle(handle_), nullptr);
}

void ZipWriter::BeginEntry(const std::string& name, bool large) {
  errno = 0;
  zip_fileinfo info{};
  info.tmz_date.tm_year = 1980;
  info.tmz_date.tm_mday = 1;
  // Raw: minizip stores the deflated bytes as they come and takes size and CRC at the end.
  Check(zipOpenNewFileInZip2_64(Handle(handle_), name.c_str(), &info, nullptr, 0, nullptr, 0,
                                nullptr, Z_DEFLATED, Z_BEST_SPEED, 1, large ? 1 : 0));
  entry_ = std::make_unique<ChunkedDeflate>(
      [this](std::string_view compressed) {
        errno = 0;
        Check(zipWriteInFileInZip(Handle(handle_), compressed.data(),
                                  static_cast<unsigned>(compressed.size())));
      },
      deflate_threads_);
}

void ZipWriter::Write(std::string_view data) { entry_->Write(data); }

void ZipWriter::Produce(ChunkedDeflate::Producer produce) { entry_->Produce(std::move(produce)); }

void ZipWriter::EndEntry() {
  const ChunkedDeflate::Totals totals = entry_->Finish();
  entry_.reset();
  errno = 0;
  Check(zipCloseFileInZipRaw64(Handle(handle_), totals.size, totals.crc));
}

void ZipWriter::Close() {
  entry_.reset();
  zipFile handle = Handle(handle_);
  handle_ = nullptr;
  errno = 0;
  Check(zipClose(handle, nullptr));
}

}  // namespace tavrio::automation::writers
