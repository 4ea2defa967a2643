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

// The flags that take no value; nullptr for any other argument.
bool* SwitchOf(BatchOptions& options, const std::string& argument) {
  if (argument == "--help" || argument == "-h") return &options.help;
  if (argument == "--match-headers") return &options.match_headers;
  if (argument == "--all-sheets") return &options.all_sheets;
  if (argument == "--recursive") return &options.recursive;
  if (argument == "--overflow-sheets") return &options.overflow_sheets;
  if (argument == "--dry-run") return &options.dry_run;
  return nullptr;
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
         "                     先写入临时文件，成功后才改名，失败时不会留下不完整的文件。\n"
         "                     CSV 没有行数限制，超过 1048576 行也全部写入\n"
         "  --source-column 名称\n"
         "                     在数据最后一列的右边加一列，写明每行来自哪个文件；\n"
         "                     标题行的这一格写“名称”\n"
         "  --match-headers     按标题行（起始行）的文字对应各文件的列，而不按列的位置：\n"
         "                     列的顺序以第一个文件为准，其他文件多出的列接在右边，\n"
         "                     文件缺少的列留空；比较前去掉文字两端的空格。同一文件中\n"
         "                     标题重复，或有数据的列没有标题，都会报错\n"
         "  --all-sheets        合并每个工作簿中所有未隐藏的工作表（按工作簿中的顺序），\n"
         "                     不再只选一个；标题行只取第一个合并的工作表的。\n"
         "                     与 --source-column 同用时该列写“文件名 / 工作表名”\n"
         "  --recursive         给出文件夹时，也合并其子文件夹中的文件，逐个文件夹排列\n"
         "  --overflow-sheets   输出为 .xlsx 时，一个工作表放满 1048576 行后接着放到新工作表\n"
         "                     （名称为第一个工作表名加序号），每个新工作表的第一行重复标题行；\n"
         "                     不给出时超出即报错\n"
         "  --dry-run           只列出每个文件选用的工作表、首行、末行和将合并的行数及总行数，\n"
         "                     不写任何文件（此时可不给 -o）\n"
         "  --help              显示本说明\n"
         "  --                  其后的参数都是输入文件，即使以 - 开头\n"
         "\n"
         "输入：\n"
         "  多个文件时按给出的顺序合并；只给出一个文件夹时，合并其中所有不以 . 开头的文件，\n"
         "  顺序与窗口中的文件列表相同（按中文排序规则排列文件名）。\n"
         "  可读取 .xlsx、.xlsm、.xls、.ods、CSV 与制表符分隔的文本和 HTML 表格，\n"
         "  按文件内容识别格式，不看扩展名。\n"
         "\n"
         "退出码：\n"
         "  0  合并完成（打印“已完成，共合并文件N个文件！”）\n"
         "  1  某个文件或工作表无法使用，或无法保存；打印错误信息，且不生成输出文件\n"
         "  2  参数有误\n"
         "在终端上运行时，标准错误输出上显示一行进度；标准错误输出不是终端时不显示。\n";
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
    if (bool* flag = SwitchOf(options, argument)) {
      *flag = true;
      continue;
    }
    std::optional<std::string>* slot = nullptr;
    if (argument == "--start-row") slot = &options.start_row;
    if (argument == "--sheet-name") slot = &options.sheet_name;
    if (argument == "--sheet-index") slot = &options.sheet_index;
    if (argument == "-o" || argument == "--output") slot = &output;
    if (argument == "--source-column") slot = &options.source_column;
    if (slot == nullptr) throw UsageError("未知参数：" + argument + "（用 --help 查看用法）");
    if (i + 1 >= arguments.size()) throw UsageError("参数 " + argument + " 缺少值");
    SetOnce(*slot, argument, arguments[++i]);
  }
  if (options.help) return options;
  if (options.sheet_name && options.sheet_index) {
    throw UsageError("--sheet-name 和 --sheet-index 只能选一个");
  }
  if (options.source_column && options.source_column->empty()) {
    throw UsageError("--source-column 需要一个列标题");
  }
  if (options.all_sheets && (options.sheet_name || options.sheet_index)) {
    throw UsageError("--all-sheets 合并所有工作表，不能再用 --sheet-name 或 --sheet-index 选择");
  }
  if ((!output || output->empty()) && !options.dry_run) {
    throw UsageError("缺少输出文件：请用 -o 给出");
  }
  if (options.inputs.empty()) throw UsageError("缺少输入：请给出要合并的文件或一个文件夹");
  options.output = output.value_or("");
  return options;
}

}  // namespace tavrio::batch
