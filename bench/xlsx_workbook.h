#pragma once

#include <xlsxwriter.h>

#include <filesystem>
#include <functional>
#include <string>

namespace tavrio::bench {

// A libxlsxwriter workbook being written. Close() writes the file and reports failure as
// tavrio::Error; a workbook never closed is freed without writing anything.
class XlsxWorkbook {
 public:
  XlsxWorkbook(const std::filesystem::path& path, bool constant_memory);
  ~XlsxWorkbook();
  XlsxWorkbook(XlsxWorkbook&& other) noexcept;
  XlsxWorkbook& operator=(XlsxWorkbook&&) = delete;
  XlsxWorkbook(const XlsxWorkbook&) = delete;
  XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

  lxw_workbook* get() const { return workbook_; }
  lxw_worksheet* AddSheet(const std::string& name);
  lxw_format* AddNumberFormat(const std::string& number_format);
  void Close();

 private:
  std::string path_;
  lxw_workbook* workbook_;
};

// Writes a workbook filled by `fill` under a hidden temporary name beside `target` and renames
// it to `target` once complete: no reader ever sees a half-written workbook under its real name.
void WriteWorkbook(const std::filesystem::path& target, bool constant_memory,
                   const std::function<void(XlsxWorkbook&)>& fill);

}  // namespace tavrio::bench
