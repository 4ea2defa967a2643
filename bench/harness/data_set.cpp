#include "bench/harness/data_set.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "automation/base/error.h"
#include "bench/harness/measure.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;

// A fixed seed: every machine benchmarks the same content.
constexpr const char* kSeed = "20240601";

// Written last, so that an interrupted generation is never taken for a finished one.
constexpr const char* kStampName = "complete.txt";

std::string Stamp(const DataSet& set) {
  return std::to_string(set.files) + " " + std::to_string(set.rows) + " " +
         std::to_string(set.columns) + " " + kSeed + (set.formatted ? " formatted" : "") +
         (set.formatted && set.stored_results ? " calculated" : "") +
         (set.stored_results ? "" : " unstored") + "\n";
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> ListWorkbooks(const fs::path& folder) {
  std::vector<fs::path> workbooks;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".xlsx") {
      workbooks.push_back(entry.path());
    }
  }
  std::sort(workbooks.begin(), workbooks.end());
  return workbooks;
}

Error SetError(const DataSet& set, const std::string& why) {
  return Error(error_number::kApplicationDefined, "无法生成测试数据“" + set.name + "”：" + why);
}

void Generate(const DataSet& set, const fs::path& folder, const std::string& generator) {
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  if (error)
    throw SetError(set, "无法创建文件夹 " + folder.string() + "（" + error.message() + "）");
  std::vector<std::string> argv = {generator, "--files", std::to_string(set.files), "--rows",
                                   std::to_string(set.rows)};
  argv.insert(argv.end(), {"--columns", std::to_string(set.columns), "--out", folder.string()});
  argv.insert(argv.end(), {"--seed", kSeed, "--prefix", set.name + "-"});
  if (set.formatted) argv.push_back("--formatted");
  if (!set.stored_results) argv.push_back("--unstored-results");
  const Measurement run = RunMeasured(argv, folder.parent_path() / (set.name + "-generate.log"));
  if (run.exit_code != 0) {
    throw SetError(set, "生成程序以代码 " + std::to_string(run.exit_code) + " 退出：" + run.output);
  }
}

}  // namespace

std::vector<DataSet> StandardSets(bool quick) {
  std::vector<DataSet> sets = {{"many", 200, 2000, 12}, {"million", 25, 40000, 12}};
  if (quick) sets = {{"many", 8, 100, 12}, {"million", 2, 2000, 12}};
  for (std::size_t i = 0, plain = sets.size(); i < plain; ++i) {
    DataSet formatted = sets[i];
    formatted.name += "-formatted";
    formatted.formatted = true;
    sets.push_back(formatted);
  }
  for (std::size_t i = 0, plain = sets.size() / 2; i < plain; ++i) {
    DataSet uncalculated = sets[i];
    uncalculated.name += "-uncalculated";
    uncalculated.formatted = true;
    uncalculated.stored_results = false;
    sets.push_back(uncalculated);
  }
  return sets;
}

fs::path DataSetFolder(const DataSet& set, const fs::path& root) {
  return root / (set.name + "-" + std::to_string(set.files) + "x" + std::to_string(set.rows) + "x" +
                 std::to_string(set.columns));
}

std::vector<fs::path> EnsureDataSet(const DataSet& set, const fs::path& root,
                                    const std::string& generator) {
  const fs::path folder = DataSetFolder(set, root);
  const fs::path stamp = folder / kStampName;
  std::vector<fs::path> workbooks = ListWorkbooks(folder);
  const bool complete =
      ReadWholeFile(stamp) == Stamp(set) && workbooks.size() == static_cast<std::size_t>(set.files);
  if (complete) return workbooks;

  Generate(set, folder, generator);
  workbooks = ListWorkbooks(folder);
  if (workbooks.size() != static_cast<std::size_t>(set.files)) {
    throw SetError(set, "应有 " + std::to_string(set.files) + " 个工作簿，生成程序留下了 " +
                            std::to_string(workbooks.size()) + " 个");
  }
  std::ofstream(stamp) << Stamp(set);
  return workbooks;
}

}  // namespace tavrio::bench
