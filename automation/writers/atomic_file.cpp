#include "automation/writers/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

std::string Reason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "没有写入权限";
    case ENOENT:
    case ENOTDIR:
      return "文件夹不存在";
    case ENOSPC:
    case EDQUOT:
      return "磁盘空间不足";
    case EROFS:
      return "文件系统是只读的";
    case EISDIR:
      return "已有同名的文件夹";
    case ENAMETOOLONG:
      return "文件名太长";
    default:
      return std::string("系统错误 ") + std::to_string(error) + "（" + std::strerror(error) + "）";
  }
}

// Removes the temporary file unless the rename took it.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  const std::string& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

// Forces what was written to `path` (a file or a folder) onto the disk, so that a save reported
// as done survives a power cut: a rename alone may reach the disk before the data it names.
void FlushToDisk(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw WriteFailure(Reason(errno));
  const int result = fsync(descriptor);
  const int fsync_error = errno;
  close(descriptor);
  if (result != 0) throw WriteFailure(Reason(fsync_error));
}

mode_t DefaultFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void WriteAtomically(const std::string& target,
                     const std::function<void(const std::string& temporary)>& write) {
  const std::filesystem::path target_path(target);
  if (!target_path.has_filename()) throw WriteFailure("路径中没有文件名");
  std::filesystem::path folder = target_path.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (std::filesystem::is_directory(target_path, error)) throw WriteFailure(Reason(EISDIR));
  if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
    throw WriteFailure("文件是只读的");
  }
  std::string pattern = (folder / ("." + target_path.filename().string() + ".XXXXXX")).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) throw WriteFailure(Reason(errno));
  close(descriptor);
  TemporaryFile temporary(pattern);
  write(temporary.path());
  if (chmod(temporary.path().c_str(), DefaultFileMode()) != 0) throw WriteFailure(Reason(errno));
  FlushToDisk(temporary.path());
  if (std::rename(temporary.path().c_str(), target.c_str()) != 0) {
    throw WriteFailure(Reason(errno));
  }
  temporary.Keep();
  FlushToDisk(folder.string());
}

}  // namespace tavrio::automation::writers
