// The floor of the benchmark: the least work any merge of these workbooks must do, which is
// inflating every worksheet and the shared strings of every input, in one process. Nothing is
// parsed; the bytes are only counted.
//
// Usage: tavrio-bench-inflate WORKBOOK...

#include <unzip.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "automation/readers/zip_file_io.h"

namespace {

// minizip's handle, closed on every exit path. The file is read as the engine reads it, so that
// the floor leaves out only what a merge adds to the reading: parsing and storing cells.
class ZipFile {
 public:
  explicit ZipFile(const std::string& path) : handle_(Open(path)) {}
  ~ZipFile() {
    if (handle_ != nullptr) unzClose(handle_);
  }
  ZipFile(ZipFile&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  ZipFile& operator=(ZipFile&&) = delete;
  ZipFile(const ZipFile&) = delete;
  ZipFile& operator=(const ZipFile&) = delete;

  unzFile get() const { return handle_; }

 private:
  static unzFile Open(const std::string& path) {
    static zlib_filefunc64_def functions = tavrio::automation::readers::WindowedFileFunctions();
    return unzOpen2_64(path.c_str(), &functions);
  }

  unzFile handle_;
};

bool IsMergedPart(std::string_view name) {
  return name == "xl/sharedStrings.xml" ||
         (name.starts_with("xl/worksheets/") && name.ends_with(".xml"));
}

// Inflates the current entry; false when it is damaged (the CRC check included).
bool InflateCurrent(unzFile zip, std::vector<char>& buffer, unsigned long long& bytes) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  int read = 0;
  while ((read = unzReadCurrentFile(zip, buffer.data(), buffer.size())) > 0) bytes += read;
  return unzCloseCurrentFile(zip) == UNZ_OK && read == 0;
}

bool InflateWorkbook(const std::string& path, std::vector<char>& buffer, unsigned long long& bytes,
                     int& parts) {
  ZipFile zip(path);
  if (zip.get() == nullptr) return false;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK;
       status = unzGoToNextFile(zip.get())) {
    char name[512];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      return false;
    }
    if (!IsMergedPart(name)) continue;
    if (!InflateCurrent(zip.get(), buffer, bytes)) return false;
    ++parts;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char> buffer(1 << 16);
  unsigned long long bytes = 0;
  int parts = 0;
  for (int i = 1; i < argc; ++i) {
    if (!InflateWorkbook(argv[i], buffer, bytes, parts)) {
      std::fprintf(stderr, "cannot inflate %s\n", argv[i]);
      return 1;
    }
  }
  std::printf("inflated %d parts of %d workbooks: %.1f MiB of XML\n", parts, argc - 1,
              bytes / 1048576.0);
  return 0;
}
