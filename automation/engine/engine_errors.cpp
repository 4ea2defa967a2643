#include "automation/engine/engine_errors.h"

#include "automation/base/sheet_limits.h"

namespace tavrio::automation::engine::errors {
namespace {

using error_number::kObjectNotSet;

Error Refused(std::string description) {
  return Error(error_number::kApplicationDefined, std::move(description));
}

std::string Where(const Workbook& workbook, const Sheet& sheet) {
  return Describe(workbook) + "的工作表“" + sheet.name() + "”";
}

}  // namespace

std::string Describe(const Workbook& workbook) {
  return workbook.path().empty() ? "工作簿“" + workbook.name() + "”"
                                 : "文件“" + workbook.path() + "”";
}

Error NoActiveWorkbook() {
  return Error(kObjectNotSet, "对象变量或 With 块变量未设置：没有打开的工作簿。");
}

Error NoSuchSheet(const Workbook& workbook, const std::string& name) {
  return Error(error_number::kSubscriptOutOfRange,
               "下标越界：" + Describe(workbook) + "中没有名为“" + name + "”的工作表。");
}

Error NoSuchSheetPosition(const Workbook& workbook, int position) {
  return Error(error_number::kSubscriptOutOfRange,
               "下标越界：" + Describe(workbook) + "中没有第 " + std::to_string(position) +
                   " 个工作表（共 " + std::to_string(workbook.SheetCount()) + " 个）。");
}

Error NoSuchWindow(const std::string& name) {
  return Error(error_number::kSubscriptOutOfRange, "下标越界：没有名为“" + name + "”的窗口。");
}

Error NoSuchWorkbook(const std::string& name) {
  return Error(error_number::kSubscriptOutOfRange,
               "下标越界：没有名为“" + name + "”的打开的工作簿。");
}

Error RowNotANumber(const std::string& text) {
  return Error(error_number::kTypeMismatch, "类型不匹配：“" + text + "”不是行号。");
}

Error RowOutOfRange(const std::string& row) {
  return Refused("行号 " + row + " 超出工作表的范围（1 到 1048576）。");
}

Error ColumnOutOfRange(long long column) {
  return Refused("列号 " + std::to_string(column) + " 超出工作表的范围（1 到 16384）。");
}

Error InvalidRows(const std::string& rows) {
  return Refused("无法选择行“" + rows + "”：应为“行号:行号”，行号在 1 到 1048576 之间。");
}

Error NothingCopied() { return Refused("无法粘贴：没有复制任何内容。"); }

Error WholeRowsOutsideColumnA(const Workbook& workbook, const Sheet& sheet) {
  return Refused("无法粘贴到" + Where(workbook, sheet) + "：复制的是整行，只能粘贴到 A 列。");
}

Error PastePastLastRow(const Workbook& workbook, const Sheet& sheet, std::uint32_t rows,
                       std::uint32_t at) {
  return Refused("无法粘贴到" + Where(workbook, sheet) + "：复制的 " + std::to_string(rows) +
                 " 行从第 " + std::to_string(at) + " 行起粘贴会超出工作表的最后一行 (" +
                 std::to_string(kMaxRows) + ")，未粘贴任何内容。");
}

Error PastePastLastColumn(const Workbook& workbook, const Sheet& sheet) {
  return Refused("无法粘贴到" + Where(workbook, sheet) + "：复制的区域会超出工作表的最后一列 (" +
                 std::to_string(kMaxColumns) + ")，未粘贴任何内容。");
}

Error TextTooLong(std::size_t length) {
  return Refused("文本过长：一个单元格最多容纳 " + std::to_string(kMaxTextLength) +
                 " 个字符，要写入的文本有 " + std::to_string(length) + " 个。");
}

Error SameNameOpen(const Workbook& open, const std::string& path) {
  return Refused("无法打开文件“" + path + "”：已经打开了同名的工作簿“" + open.name() + "”（" +
                 Describe(open) + "），不能同时打开两个同名的工作簿。");
}

Error WouldOverwriteSource(const std::string& path) {
  return Refused("无法保存到文件“" + path + "”：这是打开过的源文件，源文件从不改写。");
}

Error SaveNameTaken(const std::string& path, const std::string& name) {
  return Refused("无法保存到文件“" + path + "”：已经打开了同名的工作簿“" + name + "”。");
}

Error NoSheets(const std::string& path) {
  return Refused("无法打开文件“" + path + "”：工作簿中没有工作表。");
}

}  // namespace tavrio::automation::engine::errors
