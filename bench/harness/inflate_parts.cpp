// The floor of the benchmark: the least work any merge of these workbooks must do, which is
// inflating every worksheet and the shared strings of every input and checking their CRC-32s,
// on one thread. Nothing is parsed; the bytes are only counted. The parts are inflated as the
// engine's reader does it: minizip hands over the raw deflate stream, zlib inflates it, ISA-L
// computes the CRC-32.
//
// Usage: tavrio-bench-inflate WORKBOOK...

#include <isa-l/crc.h>
#include <unzip.h>
#include <zlib.h>

#include <cstdint>
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

// zlib's raw inflate state, ended on every exit path.
class RawInflate {
 public:
  RawInflate() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~RawInflate() {
    if (ok_) inflateEnd(&stream_);
  }
  RawInflate(const RawInflate&) = delete;
  RawInflate& operator=(const RawInflate&) = delete;
  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

// Inflates the raw deflate stream of the current entry into `buffer` piece by piece; false when
// it is damaged.
bool InflateRaw(unzFile zip, std::vector<char>& buffer, unsigned long long& bytes,
                std::uint32_t& crc) {
  RawInflate inflater;
  if (!inflater.ok()) return false;
  z_stream& stream = inflater.stream();
  std::vector<unsigned char> input(1 << 16);
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    const int read = unzReadCurrentFile(zip, input.data(), static_cast<unsigned>(input.size()));
    if (read <= 0) return false;
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(read);
    do {
      stream.next_out = reinterpret_cast<unsigned char*>(buffer.data());
      stream.avail_out = static_cast<uInt>(buffer.size());
      status = inflate(&stream, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return false;
      const std::size_t produced = buffer.size() - stream.avail_out;
      crc = crc32_gzip_refl(crc, reinterpret_cast<unsigned char*>(buffer.data()), produced);
      bytes += produced;
    } while (stream.avail_out == 0 && status != Z_STREAM_END);
  }
  return true;
}

// Inflates the current entry; false when it is damaged (the CRC check included).
bool InflateCurrent(unzFile zip, const unz_file_info64& info, std::vector<char>& buffer,
                    unsigned long long& bytes) {
  int method = 0;
  if (unzOpenCurrentFile2(zip, &method, nullptr, 1) != UNZ_OK) return false;
  const unsigned long long before = bytes;
  std::uint32_t crc = 0;
  bool ok = true;
  if (method == Z_DEFLATED) {
    ok = InflateRaw(zip, buffer, bytes, crc);
  } else {
    int read = 0;
    while ((read = unzReadCurrentFile(zip, buffer.data(), buffer.size())) > 0) {
      crc = crc32_gzip_refl(crc, reinterpret_cast<unsigned char*>(buffer.data()),
                            static_cast<std::size_t>(read));
      bytes += static_cast<unsigned long long>(read);
    }
    ok = read == 0;
  }
  unzCloseCurrentFile(zip);
  return ok && crc == info.crc && bytes - before == info.uncompressed_size;
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
    if (!InflateCurrent(zip.get(), info, buffer, bytes)) return false;
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
