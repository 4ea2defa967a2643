#pragma once

#include <xlsxwriter.h>

#include <string>

namespace tavrio::automation::writers {

// Owns a libxlsxwriter workbook in constant-memory mode: rows go to a temporary file as they are
// written, so memory stays flat however large the sheet. Close() writes the file and returns
// libxlsxwriter's verdict; a workbook never closed is freed without writing anything.
class LxwWorkbook {
 public:
  explicit LxwWorkbook(const std::string& path);
  LxwWorkbook(LxwWorkbook&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  LxwWorkbook& operator=(LxwWorkbook&& other) noexcept;
  LxwWorkbook(const LxwWorkbook&) = delete;
  LxwWorkbook& operator=(const LxwWorkbook&) = delete;
  ~LxwWorkbook();

  lxw_workbook* get() const { return handle_; }
  lxw_error Close();

 private:
  lxw_workbook* handle_;
};

}  // namespace tavrio::automation::writers
