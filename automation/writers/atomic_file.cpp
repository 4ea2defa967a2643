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

std::string SystemErrorReason(int error) {
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
    case EFBIG:
      return "文件超过了系统允许的大小";
    case EIO:
      return "磁盘读写出错";
    default:
      return std::string("系统错误 ") + std::to_string(error) + "（" + std::strerror(error) + "）";
  }
}

namespace {

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

// Waits until what was written to `path`, by whichever descriptor, is on the disk: without it a
// power cut soon after the rename can leave the user's name on an empty or partial file.
void SyncFile(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw WriteFailure(SystemErrorReason(errno));
  const int result = fsync(descriptor);
  const int error = errno;
  close(descriptor);
  if (result != 0) throw WriteFailure(SystemErrorReason(error));
}

// The rename is an entry of the folder, which the folder's own flush makes durable. A folder
// this user may write but not read cannot be opened for it, and file systems that cannot flush
// a folder say EINVAL; nothing more can be done there.
void SyncFolder(const std::filesystem::path& folder) {
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  const int result = fsync(descriptor);
  const int error = errno;
  close(descriptor);
  if (result != 0 && error != EINVAL) {
    throw WriteFailure("文件已写入，但无法确认它已存入磁盘（" + SystemErrorReason(error) + "）");
  }
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
  if (std::filesystem::is_directory(target_path, error))
    throw WriteFailure(SystemErrorReason(EISDIR));
  if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
    throw WriteFailure("文件是只读的");
  }
  // Built by appending: GCC 12 at -O3 warns of an overlap in "." + std::string, wrongly.
  std::string name = ".";
  name += target_path.filename().string();
  name += ".XXXXXX";
  std::string pattern = (folder / name).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) throw WriteFailure(SystemErrorReason(errno));
  close(descriptor);
  TemporaryFile temporary(pattern);
  write(temporary.path());
  if (chmod(temporary.path().c_str(), DefaultFileMode()) != 0)
    throw WriteFailure(SystemErrorReason(errno));
  SyncFile(temporary.path());
  if (std::rename(temporary.path().c_str(), target.c_str()) != 0) {
    throw WriteFailure(SystemErrorReason(errno));
  }
  temporary.Keep();
  SyncFolder(folder);
}

}  // namespace tavrio::automation::writers
