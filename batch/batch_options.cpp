#include "batch/batch_options.h"

#include "automation/base/error.h"

namespace tavrio::batch {
namespace {

// A wrong command line is the user's to correct, not the spreadsheet application's fault, but it
// travels as the same error type so that one place prints every failure.
constexpr int kUsageError = error_number::kInvalidArgument;

Error UsageError(const std::string& why) { return Error(kUsageError, why); }

void SetOnce(std::optional<std::string>& slot, const std::string& flag, const std::string& value) {
  if (slot) throw UsageError("参数 " + flag + " 只能给出一次");
  slot = value;
}

}  // namespace

const char* UsageText() {
  return "用法：tavrio-merge [选项] -o 输出文件 输入文件...\n"
         "      tavrio-merge [选项] -o 输出文件 文件夹\n"
         "\n"
         "把多个工作簿的数据行合并到一个新工作簿并保存。第一个文件从起始行（标题行）开始复制，\n"
         "其余文件从起始行的下一行开始复制，依次接在已合并的行下面。源文件不会被修改。\n"
         "\n"
         "选项：\n"
         "  --start-row 文本    起始行，按输入的文本使用（同窗口中的“选择合并起始行”）；\n"
         "                     不给出时从第一行开始（同“默认从第一行开始”）\n"
         "  --sheet-name 名称   按名称选择每个工作簿中的工作表（不区分大小写）\n"
         "  --sheet-index 文本  按序号选择工作表，从 1 开始，隐藏的工作表也计算在内；\n"
         "                     "
         "文本按窗口中的“工作表(sheet)序号”框处理（小数：第一个文件向下取整，\n"
         "                     其余文件四舍六入五成双）；两者都不给出时为第 1 个工作表\n"
         "  -o 路径             输出文件（必需）；以 .csv 结尾时保存为 CSV（UTF-8），否则保存为 "
         ".xlsx。\n"
         "                     先写入临时文件，成功后才改名，失败时不会留下不完整的文件\n"
         "  --help              显示本说明\n"
         "  --                  其后的参数都是输入文件，即使以 - 开头\n"
         "\n"
         "输入：\n"
         "  多个文件时按给出的顺序合并；只给出一个文件夹时，合并其中所有不以 . 开头的文件，\n"
         "  顺序与窗口中的文件列表相同（按中文排序规则排列文件名）。\n"
         "  可读取 .xlsx、.xlsm、.xls、.ods、CSV 与制表符分隔的文本和 HTML 表格，\n"
         "  按文件内容识别格式，不看扩展名。\n"
         "\n"
         "成功时打印“已完成，共合并文件N个文件！”并返回 0；失败时打印错误信息，返回非 0 值，\n"
         "且不生成输出文件。\n";
}

BatchOptions ParseArguments(const std::vector<std::string>& arguments) {
  BatchOptions options;
  std::optional<std::string> output;
  bool only_inputs = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (only_inputs || argument.empty() || argument[0] != '-' || argument == "-") {
      options.inputs.push_back(argument);
      continue;
    }
    if (argument == "--") {
      only_inputs = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      continue;
    }
    std::optional<std::string>* slot = nullptr;
    if (argument == "--start-row") slot = &options.start_row;
    if (argument == "--sheet-name") slot = &options.sheet_name;
    if (argument == "--sheet-index") slot = &options.sheet_index;
    if (argument == "-o" || argument == "--output") slot = &output;
    if (slot == nullptr) throw UsageError("未知参数：" + argument + "（用 --help 查看用法）");
    if (i + 1 >= arguments.size()) throw UsageError("参数 " + argument + " 缺少值");
    SetOnce(*slot, argument, arguments[++i]);
  }
  if (options.help) return options;
  if (options.sheet_name && options.sheet_index) {
    throw UsageError("--sheet-name 和 --sheet-index 只能选一个");
  }
  if (!output || output->empty()) throw UsageError("缺少输出文件：请用 -o 给出");
  if (options.inputs.empty()) throw UsageError("缺少输入：请给出要合并的文件或一个文件夹");
  options.output = *output;
  return options;
}

}  // namespace tavrio::batch
