#include "bench/xlsx_workbook.h"

#include <system_error>
#include <utility>

#include "automation/base/error.h"

namespace tavrio::bench {
namespace {

constexpr int kWriteFailed = 1004;

Error WriteError(const std::string& path, const std::string& why) {
  return Error(kWriteFailed, "无法写入工作簿“" + path + "”：" + why);
}

}  // namespace

XlsxWorkbook::XlsxWorkbook(const std::filesystem::path& path, bool constant_memory)
    : path_(path.string()) {
  lxw_workbook_options options = {};
  options.constant_memory = constant_memory ? LXW_TRUE : LXW_FALSE;
  workbook_ = workbook_new_opt(path_.c_str(), &options);
  if (workbook_ == nullptr) throw WriteError(path_, "无法创建工作簿");
}

XlsxWorkbook::~XlsxWorkbook() {
  if (workbook_ != nullptr) lxw_workbook_free(workbook_);
}

XlsxWorkbook::XlsxWorkbook(XlsxWorkbook&& other) noexcept
    : path_(std::move(other.path_)), workbook_(std::exchange(other.workbook_, nullptr)) {}

lxw_worksheet* XlsxWorkbook::AddSheet(const std::string& name) {
  lxw_worksheet* sheet = workbook_add_worksheet(workbook_, name.c_str());
  if (sheet == nullptr) throw WriteError(path_, "无法添加工作表“" + name + "”");
  return sheet;
}

lxw_format* XlsxWorkbook::AddNumberFormat(const std::string& number_format) {
  lxw_format* format = workbook_add_format(workbook_);
  format_set_num_format(format, number_format.c_str());
  return format;
}

void XlsxWorkbook::Close() {
  // workbook_close frees the workbook whatever the outcome.
  lxw_error result = workbook_close(std::exchange(workbook_, nullptr));
  if (result != LXW_NO_ERROR) throw WriteError(path_, lxw_strerror(result));
}

void WriteWorkbook(const std::filesystem::path& target, bool constant_memory,
                   const std::function<void(XlsxWorkbook&)>& fill) {
  const std::filesystem::path temporary =
      target.parent_path() / ("." + target.filename().string() + ".part");
  try {
    XlsxWorkbook workbook(temporary, constant_memory);
    fill(workbook);
    workbook.Close();
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) throw WriteError(target.string(), error.message());
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw;
  }
}

}  // namespace tavrio::bench
