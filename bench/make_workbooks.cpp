// tavrio-make-workbooks: writes workbooks to merge, for benchmarks, tests and first tries.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/base/error.h"
#include "bench/workbook_generator.h"

namespace {

constexpr char kUsage[] =
    "用法：tavrio-make-workbooks --files N --rows R --columns C --out 文件夹 [--seed S] "
    "[--prefix 名称] [--inline-strings] [--formatted [--unstored-results]]\n"
    "      tavrio-make-workbooks --samples 文件夹\n"
    "\n"
    "生成用于合并的 .xlsx 工作簿（中英文文本、数字、日期），内容由种子决定，可重复生成。\n"
    "\n"
    "  --files N       生成 N 个工作簿（1 到 32767）\n"
    "  --rows R        每个工作簿在标题行下写 R 行数据（0 到 1048575）\n"
    "  --columns C     每行 C 列（1 到 16384）\n"
    "  --out 文件夹     写入的文件夹，不存在时会创建\n"
    "  --seed S        随机种子（默认 1）；同样的参数和种子生成同样的内容\n"
    "  --prefix 名称    文件名前缀（默认 book）：book_0001.xlsx、book_0002.xlsx……\n"
    "  --inline-strings 文本直接写在单元格中（内联字符串），而不是写入共享字符串表；\n"
    "                  默认与 Excel、LibreOffice 一样使用共享字符串表\n"
    "  --formatted     带格式：加粗的标题行（合并单元格、行高）、字体、填充、边框、\n"
    "                  多种数字格式（含日期和时间）、带计算结果的公式列和少数自定义行高；\n"
    "                  文件如同电子表格程序保存的一样，打开时不必重新计算\n"
    "  --unstored-results 与 --formatted 同用：公式列不带计算结果（结果写为 0），\n"
    "                  并要求打开的程序重新计算，如同不会计算的程序写出的文件\n"
    "  --samples 文件夹 写入四个小示例工作簿（销售_2024年01月.xlsx 等，每个约 20 行），\n"
    "                  可直接用来试一次合并\n"
    "  --help          显示本说明\n";

struct Options {
  bool help = false;
  std::optional<std::string> samples;
  std::optional<std::string> out;
  tavrio::bench::GeneratedSet set;
  bool files = false, rows = false, columns = false;
};

std::int64_t ParseWhole(std::string_view flag, std::string_view text, std::int64_t low,
                        std::int64_t high) {
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw tavrio::Error(tavrio::error_number::kTypeMismatch,
                        std::string(flag) + " 需要 " + std::to_string(low) + " 到 " +
                            std::to_string(high) + " 之间的整数，而不是“" + std::string(text) +
                            "”");
  }
  return value;
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      continue;
    }
    if (flag == "--inline-strings") {
      options.set.inline_strings = true;
      continue;
    }
    if (flag == "--formatted") {
      options.set.formatted = true;
      continue;
    }
    if (flag == "--unstored-results") {
      options.set.stored_results = false;
      continue;
    }
    if (i + 1 >= args.size()) {
      throw tavrio::Error(tavrio::error_number::kApplicationDefined,
                          "未知参数或缺少参数值：" + flag);
    }
    const std::string& value = args[++i];
    auto& set = options.set;
    if (flag == "--files") {
      set.files = static_cast<int>(ParseWhole(flag, value, 1, 32767));
      options.files = true;
    } else if (flag == "--rows") {
      set.rows = static_cast<int>(ParseWhole(flag, value, 0, 1048575));
      options.rows = true;
    } else if (flag == "--columns") {
      set.columns = static_cast<int>(ParseWhole(flag, value, 1, 16384));
      options.columns = true;
    } else if (flag == "--seed") {
      set.seed = static_cast<std::uint64_t>(ParseWhole(flag, value, 0, INT64_MAX));
    } else if (flag == "--prefix") {
      set.prefix = value;
    } else if (flag == "--out") {
      options.out = value;
    } else if (flag == "--samples") {
      options.samples = value;
    } else {
      throw tavrio::Error(tavrio::error_number::kApplicationDefined, "未知参数：" + flag);
    }
  }
  return options;
}

int Run(const Options& options) {
  if (options.help) {
    std::cout << kUsage;
    return 0;
  }
  if (options.samples) {
    for (const auto& path : tavrio::bench::GenerateSamples(*options.samples)) {
      std::cout << path.string() << "\n";
    }
    return 0;
  }
  if (!options.out || !options.files || !options.rows || !options.columns) {
    std::cerr << "缺少参数：--files、--rows、--columns 和 --out 都必须给出。\n\n" << kUsage;
    return 2;
  }
  tavrio::bench::GenerateWorkbooks(options.set, *options.out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(ParseOptions(std::vector<std::string>(argv + 1, argv + argc)));
  } catch (const tavrio::Error& error) {
    std::cerr << tavrio::FormatError(error) << "\n";
    return 1;
  }
}
