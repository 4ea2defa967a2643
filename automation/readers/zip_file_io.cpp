#include "automation/readers/zip_file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace tavrio::automation::readers {
namespace {

constexpr std::size_t kWindowBytes = 256 * 1024;

struct WindowedFile {
  int fd = -1;
  std::uint64_t position = 0;
  std::uint64_t window_start = 0;
  std::size_t window_size = 0;
  int error = 0;
  std::unique_ptr<char[]> window;
};

WindowedFile* FileOf(voidpf stream) { return static_cast<WindowedFile*>(stream); }

// Reads up to `size` bytes at `offset`, fewer only at the end of the file; -1 on failure.
ssize_t ReadAt(WindowedFile& file, char* into, std::size_t size, std::uint64_t offset) {
  while (true) {
    const ssize_t read = pread(file.fd, into, size, static_cast<off_t>(offset));
    if (read >= 0) return read;
    if (errno != EINTR) {
      file.error = errno;
      return -1;
    }
  }
}

// Where a window holding the `size` bytes at `position` starts. minizip looks for the end of
// the directory by stepping back from the end of the file a KiB at a time, and reads forwards
// otherwise, so a window past the last one ends at the read.
std::uint64_t WindowStartFor(const WindowedFile& file, std::uint64_t position, std::size_t size) {
  if (position >= file.window_start || file.window_size == 0) return position;
  const std::uint64_t end = position + size;
  return end > kWindowBytes ? end - kWindowBytes : 0;
}

voidpf ZCALLBACK Open(voidpf, const void* filename, int mode) {
  if (filename == nullptr || (mode & ZLIB_FILEFUNC_MODE_WRITE) != 0) return nullptr;
  const int fd = open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto* file = new (std::nothrow) WindowedFile;
  if (file != nullptr) file->window.reset(new (std::nothrow) char[kWindowBytes]);
  if (file == nullptr || file->window == nullptr) {
    delete file;
    close(fd);
    return nullptr;
  }
  file->fd = fd;
  return file;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size) {
  WindowedFile& file = *FileOf(stream);
  char* into = static_cast<char*>(buffer);
  const bool in_window = file.position >= file.window_start &&
                         file.position - file.window_start <= file.window_size &&
                         size <= file.window_size - (file.position - file.window_start);
  if (!in_window) {
    // A read as large as the window gains nothing from it.
    if (size >= kWindowBytes) {
      const ssize_t read = ReadAt(file, into, size, file.position);
      if (read < 0) return 0;
      file.position += static_cast<std::uint64_t>(read);
      return static_cast<uLong>(read);
    }
    const std::uint64_t start = WindowStartFor(file, file.position, size);
    const ssize_t read = ReadAt(file, file.window.get(), kWindowBytes, start);
    if (read < 0) return 0;
    file.window_start = start;
    file.window_size = static_cast<std::size_t>(read);
    if (file.position - start > file.window_size) return 0;  // past the end of the file
  }
  const std::size_t offset = static_cast<std::size_t>(file.position - file.window_start);
  const std::size_t count = std::min<std::size_t>(size, file.window_size - offset);
  std::memcpy(into, file.window.get() + offset, count);
  file.position += count;
  return static_cast<uLong>(count);
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return FileOf(stream)->position; }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  WindowedFile& file = *FileOf(stream);
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = file.position;
      break;
    case ZLIB_FILEFUNC_SEEK_END: {
      const off_t end = lseek(file.fd, 0, SEEK_END);
      if (end < 0) {
        file.error = errno;
        return -1;
      }
      base = static_cast<std::uint64_t>(end);
      break;
    }
    default:
      return -1;
  }
  file.position = base + offset;
  return 0;
}

int ZCALLBACK Close(voidpf, voidpf stream) {
  WindowedFile* file = FileOf(stream);
  const int result = close(file->fd);
  delete file;
  return result;
}

int ZCALLBACK TestError(voidpf, voidpf stream) { return FileOf(stream)->error; }

}  // namespace

zlib_filefunc64_def WindowedFileFunctions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = Open;
  functions.zread_file = Read;
  functions.zwrite_file = Write;
  functions.ztell64_file = Tell;
  functions.zseek64_file = Seek;
  functions.zclose_file = Close;
  functions.zerror_file = TestError;
  functions.opaque = nullptr;
  return functions;
}

}  // namespace tavrio::automation::readers
