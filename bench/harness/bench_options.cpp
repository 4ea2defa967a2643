#include "bench/harness/bench_options.h"

#include <charconv>

#include "automation/base/error.h"

namespace tavrio::bench {
namespace {

constexpr int kMaxRepeat = 100;

Error OptionError(const std::string& why) { return Error(error_number::kApplicationDefined, why); }

const std::string& ValueOf(const std::vector<std::string>& args, std::size_t& i) {
  if (i + 1 >= args.size()) throw OptionError("参数 " + args[i] + " 缺少取值");
  return args[++i];
}

int ParseRepeat(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxRepeat) {
    throw OptionError("--repeat 的取值应为 1 到 " + std::to_string(kMaxRepeat) +
                      " 之间的整数，而不是“" + text + "”");
  }
  return value;
}

void AddSet(const std::string& name, BenchOptions& options) {
  if (name == "all") return options.set_names.clear();
  if (name != "many" && name != "million" && name != "many-formatted" &&
      name != "million-formatted" && name != "many-uncalculated" &&
      name != "million-uncalculated") {
    throw OptionError(
        "--set 只接受 many、million、many-formatted、million-formatted、many-uncalculated、"
        "million-uncalculated 或 all，而不是“" +
        name + "”");
  }
  options.set_names.push_back(name);
}

}  // namespace

BenchOptions ParseOptions(const std::vector<std::string>& args) {
  BenchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--quick") {
      options.quick = true;
    } else if (arg == "--no-python") {
      options.python = false;
    } else if (arg == "--formatted") {
      options.formatted = true;
    } else if (arg == "--uncalculated") {
      options.uncalculated = true;
    } else if (arg == "--set") {
      AddSet(ValueOf(args, i), options);
    } else if (arg == "--repeat") {
      options.repeat = ParseRepeat(ValueOf(args, i));
    } else if (arg == "--data") {
      options.data_root = ValueOf(args, i);
      if (options.data_root.empty()) throw OptionError("--data 的取值不能为空");
    } else {
      throw OptionError("未知的参数：" + arg);
    }
  }
  return options;
}

std::string Usage() {
  return R"(Usage: tavrio-bench [--quick] [--set NAME]... [--formatted] [--uncalculated]
                   [--repeat N]
                   [--data DIR] [--no-python]

Times, for each set of generated workbooks:
  (a) the floor: inflating every input's sheet and shared-strings parts, one process;
  (b) the merge run on the engine, as the window does it, without saving;
  (s) the same merge run, then its merged workbook saved, the save timed alone;
  (c) tavrio-merge end to end, saving the merged workbook;
  (d) an openpyxl merge in read-only/write-only mode (Debian's python3-openpyxl);
  (e) tavrio-merge taking only each file's last row: every input is still read, but the
      output stays tiny, so its peak memory shows what the inputs alone cost.
and prints wall times, peak memory and the ratios against the targets.

  --quick       scaled-down sets that run in seconds (a smoke test)
  --set NAME    many (200 files x 2,000 rows) or million (25 files x 40,000 rows);
                many-formatted or million-formatted, the same shapes with formatted
                workbooks (fonts, fills, borders, number formats, formulas, merged
                header cells, row heights); repeatable; all (the default) runs many
                and million
                many-uncalculated or million-uncalculated, the formatted shapes whose
                formulas carry no results (0, as libxlsxwriter writes them), which the
                engine calculates before saving
  --formatted   the formatted twin of every chosen set instead of the set itself
  --uncalculated  the twin whose formulas carry no results, instead of the set itself
  --repeat N    runs of every step (1 to 100); the median time is reported
  --data DIR    where generated workbooks are kept between runs (default: bench-data)
  --no-python   skip (d)
)";
}

}  // namespace tavrio::bench
