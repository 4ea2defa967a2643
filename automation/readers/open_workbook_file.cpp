// Chooses the reader for a file by what the file holds, after the checks that let every
// "cannot open" case say plainly why.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "automation/readers/compound_file.h"
#include "automation/readers/ods_reader.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/text_encoding.h"
#include "automation/readers/text_workbook.h"
#include "automation/readers/workbook_reader.h"
#include "automation/readers/xls_reader.h"
#include "automation/readers/xlsx_reader.h"

namespace tavrio::automation::readers {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string SystemReason(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "文件不存在";
    case EACCES:
    case EPERM:
      return "没有读取权限";
    case ENAMETOOLONG:
      return "文件路径太长";
    case ELOOP:
      return "符号链接循环";
    default:
      return "读取失败（系统错误 " + std::to_string(error) + "）";
  }
}

// Opens the file for reading, or says why not in the user's terms.
FileDescriptor OpenForReading(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) throw ReadFault(SystemReason(errno));
  if (S_ISDIR(info.st_mode)) throw ReadFault("这是一个文件夹，不是文件");
  // A pipe or device would block or never end; no workbook lives there.
  if (!S_ISREG(info.st_mode)) throw ReadFault("不是普通文件");
  FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw ReadFault(SystemReason(errno));
  if (info.st_size == 0) throw ReadFault("文件是空的");
  return file;
}

std::string ReadHeader(const FileDescriptor& file) {
  char header[8];
  ssize_t read = pread(file.get(), header, sizeof header, 0);
  if (read < 0) throw ReadFault(SystemReason(errno));
  return std::string(header, static_cast<std::size_t>(read));
}

// The first `size` bytes of the file, fewer when it is shorter.
std::string ReadBytes(const FileDescriptor& file, std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t read =
        pread(file.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (read < 0) throw ReadFault(SystemReason(errno));
    if (read == 0) {
      bytes.resize(done);
      break;
    }
    done += static_cast<std::size_t>(read);
  }
  return bytes;
}

std::uint64_t FileSize(const FileDescriptor& file) {
  struct stat info {};
  if (fstat(file.get(), &info) != 0) throw ReadFault(SystemReason(errno));
  return static_cast<std::uint64_t>(info.st_size);
}

// The whole file, when it is text small enough to hold in memory.
std::string ReadTextFile(const FileDescriptor& file) {
  const std::uint64_t size = FileSize(file);
  if (!LooksLikeText(ReadBytes(file, std::min<std::uint64_t>(size, 64 * 1024)))) {
    throw ReadFault("不是工作簿文件");
  }
  if (size > kMaxTextFileBytes) {
    throw ReadFault("文本文件过大：超过 " + std::to_string(kMaxTextFileBytes >> 20) + " MB");
  }
  return ReadBytes(file, static_cast<std::size_t>(size));
}

// A compound file: a password-protected .xlsx or a legacy .xls, told apart by their streams.
std::unique_ptr<WorkbookReader> OpenCompoundFile(const FileDescriptor& file,
                                                 const std::string& path) {
  CompoundFile container(file.get());
  if (container.Has("EncryptedPackage")) throw ReadFault(std::string(kPasswordProtected));
  for (const char* name : {"Workbook", "Book"}) {
    if (std::optional<std::string> stream = container.ReadStream(name)) {
      // The container kept the stream's name but lost its records.
      if (stream->empty()) throw ReadFault("文件已损坏：复合文档结构无效");
      return std::make_unique<XlsReader>(path, std::move(*stream));
    }
  }
  throw ReadFault("不是工作簿文件");
}

// A file of BIFF records without a compound file around them: a BIFF2-4 sheet, or a workbook
// stream some program saved on its own. Held whole, as a compound file's stream is.
std::unique_ptr<WorkbookReader> OpenBareBiffFile(const FileDescriptor& file,
                                                 const std::string& path) {
  const std::uint64_t size = FileSize(file);
  return std::make_unique<XlsReader>(path, ReadBytes(file, static_cast<std::size_t>(size)));
}

std::unique_ptr<WorkbookReader> Open(const std::string& path) {
  FileDescriptor file = OpenForReading(path);
  std::string header = ReadHeader(file);
  if (header.starts_with("PK\x03\x04") || header.starts_with("PK\x05\x06")) {
    ZipArchive archive(path);
    if (IsOdsPackage(archive)) return std::make_unique<OdsReader>(path, std::move(archive));
    return std::make_unique<XlsxReader>(path, std::move(archive));
  }
  if (IsCompoundFileSignature(header)) return OpenCompoundFile(file, path);
  if (IsBareBiffFile(header)) return OpenBareBiffFile(file, path);
  return OpenTextWorkbook(path, ReadTextFile(file));
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenWorkbookFile(const std::string& path) {
  try {
    return Open(path);
  } catch (const ReadFault& fault) {
    throw OpenFileError(path, fault.what());
  }
}

}  // namespace tavrio::automation::readers
