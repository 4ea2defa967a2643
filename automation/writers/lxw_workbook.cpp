#include "automation/writers/lxw_workbook.h"

#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {

LxwWorkbook::LxwWorkbook(const std::string& path) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  handle_ = workbook_new_opt(path.c_str(), &options);
  if (handle_ == nullptr) throw WriteFailure("内存不足，无法创建工作簿");
}

LxwWorkbook& LxwWorkbook::operator=(LxwWorkbook&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) lxw_workbook_free(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

LxwWorkbook::~LxwWorkbook() {
  if (handle_ != nullptr) lxw_workbook_free(handle_);
}

lxw_error LxwWorkbook::Close() {
  lxw_workbook* handle = handle_;
  handle_ = nullptr;  // workbook_close frees it whatever it returns
  return workbook_close(handle);
}

}  // namespace tavrio::automation::writers
