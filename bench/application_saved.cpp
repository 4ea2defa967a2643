#include "bench/application_saved.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "automation/base/error.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWorkbookPart = "xl/workbook.xml";
// What Excel 2019 and later write; a calcId says which calculation engine computed the results.
constexpr const char* kApplicationCalcPr = "<calcPr calcId=\"191029\"/>";

struct UnzipCloser {
  void operator()(void* file) const { unzClose(file); }
};
struct ZipCloser {
  void operator()(void* file) const { zipClose(file, nullptr); }
};

Error RewriteError(const fs::path& path, const std::string& why) {
  return Error(error_number::kApplicationDefined, "无法改写工作簿“" + path.string() + "”：" + why);
}

std::string WithApplicationCalcPr(std::string xml) {
  const std::size_t begin = xml.find("<calcPr");
  if (begin == std::string::npos) return xml;
  const std::size_t end = xml.find("/>", begin);
  if (end == std::string::npos) return xml;
  return xml.replace(begin, end + 2 - begin, kApplicationCalcPr);
}

// Copies the current entry of `in` to `out` as it is stored, or inflated and changed for the
// workbook part.
bool CopyEntry(unzFile in, zipFile out) {
  unz_file_info64 info{};
  char name[1024];
  if (unzGetCurrentFileInfo64(in, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return false;
  }
  zip_fileinfo stamp{};
  stamp.dosDate = info.dosDate;
  const bool rewrite = std::string(name) == kWorkbookPart;
  int method = 0;
  int level = 0;
  if (unzOpenCurrentFile2(in, &method, &level, rewrite ? 0 : 1) != UNZ_OK) return false;
  std::vector<char> bytes(rewrite ? info.uncompressed_size : info.compressed_size);
  const bool read =
      bytes.empty() || unzReadCurrentFile(in, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                           static_cast<int>(bytes.size());
  unzCloseCurrentFile(in);
  if (!read) return false;
  if (rewrite) {
    const std::string xml = WithApplicationCalcPr(std::string(bytes.begin(), bytes.end()));
    return zipOpenNewFileInZip64(out, name, &stamp, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                 Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
           zipWriteInFileInZip(out, xml.data(), static_cast<unsigned>(xml.size())) == ZIP_OK &&
           zipCloseFileInZip(out) == ZIP_OK;
  }
  return zipOpenNewFileInZip2_64(out, name, &stamp, nullptr, 0, nullptr, 0, nullptr, method, level,
                                 1, 1) == ZIP_OK &&
         (bytes.empty() ||
          zipWriteInFileInZip(out, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK) &&
         zipCloseFileInZipRaw64(out, info.uncompressed_size, info.crc) == ZIP_OK;
}

}  // namespace

void MarkResultsAsCalculated(const fs::path& path) {
  const fs::path rewritten = path.parent_path() / (path.filename().string() + ".calc");
  {
    std::unique_ptr<void, UnzipCloser> in(unzOpen64(path.c_str()));
    if (!in) throw RewriteError(path, "无法打开");
    std::unique_ptr<void, ZipCloser> out(zipOpen64(rewritten.c_str(), APPEND_STATUS_CREATE));
    if (!out) throw RewriteError(path, "无法创建 " + rewritten.string());
    for (int at = unzGoToFirstFile(in.get()); at == UNZ_OK; at = unzGoToNextFile(in.get())) {
      if (!CopyEntry(in.get(), out.get())) {
        out.reset();
        std::error_code ignored;
        fs::remove(rewritten, ignored);
        throw RewriteError(path, "复制部件失败");
      }
    }
  }
  std::error_code error;
  fs::rename(rewritten, path, error);
  if (error) throw RewriteError(path, error.message());
}

}  // namespace tavrio::bench
