#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {

Error OpenFileError(std::string_view path, std::string_view reason) {
  std::string text = "无法打开文件“";
  text.append(path).append("”：").append(reason).append("。");
  return Error(error_number::kApplicationDefined, std::move(text));
}

Error ReadSheetError(std::string_view path, std::string_view sheet, std::string_view reason) {
  std::string text = "无法读取文件“";
  text.append(path).append("”中的工作表“").append(sheet).append("”：").append(reason).append("。");
  return Error(error_number::kApplicationDefined, std::move(text));
}

std::string PartName(std::string_view part) {
  std::string text = "部件“";
  text.append(part).append("”");
  return text;
}

std::string AtOffset(std::uint64_t offset) {
  return "（位于第 " + std::to_string(offset + 1) + " 字节）";
}

}  // namespace tavrio::automation::readers
