#include "automation/engine/save_report.h"

namespace tavrio::automation::engine {

std::string SaveWarning(const SaveReport& report) {
  std::string what;
  if (report.replaced_texts != 0) {
    what = std::to_string(report.replaced_texts) +
           " 处文本含有无法保存的字符（孤立的代理项或无效的 UTF-8 字节），已替换为“\uFFFD”";
  }
  if (report.renamed_sheets != 0) {
    if (!what.empty()) what += "；";
    what += std::to_string(report.renamed_sheets) +
            " 个工作表的名称不合规则（为空、超过 31 个字符、含有 []:*?/\\ 、以单引号开头或结尾、"
            "为 History 或与其他工作表重名），已改名保存";
  }
  if (what.empty()) return {};
  return "文件“" + report.path + "”已保存，但其中 " + what + "。";
}

}  // namespace tavrio::automation::engine
