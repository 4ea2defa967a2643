// tavrio-bench: generates the benchmark's workbooks (once), times every step on each set and
// prints the table with the ratios against the targets. Exits non-zero when a step fails, never
// because a target is missed: speed is judged by people reading the table.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "automation/base/error.h"
#include "bench/harness/bench_options.h"
#include "bench/harness/data_set.h"
#include "bench/harness/measure.h"
#include "bench/harness/report.h"
#include "bench/harness/step_checks.h"

namespace {

namespace fs = std::filesystem;
using tavrio::bench::BenchOptions;
using tavrio::bench::DataSet;
using tavrio::bench::Measurement;
using tavrio::bench::SetResult;
using tavrio::bench::Step;
using tavrio::bench::StepResult;

// The programs under test, as the build placed them; empty when one was not built.
struct Tools {
  std::string generator = TAVRIO_BENCH_GENERATOR;
  std::string inflate = TAVRIO_BENCH_INFLATE;
  std::string engine_merge = TAVRIO_BENCH_ENGINE_MERGE;
  std::string batch_merge = TAVRIO_BENCH_BATCH_MERGE;
  std::string python = "/usr/bin/python3";
  std::string python_script = TAVRIO_BENCH_OPENPYXL_SCRIPT;
};

// Reads every workbook once, so the first step timed does not pay for a cold page cache.
std::uintmax_t WarmUp(const std::vector<fs::path>& workbooks) {
  std::uintmax_t bytes = 0;
  std::vector<char> buffer(1 << 16);
  for (const fs::path& workbook : workbooks) {
    std::ifstream in(workbook, std::ios::binary);
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) bytes += in.gcount();
  }
  return bytes;
}

std::vector<std::string> WithFiles(std::vector<std::string> argv,
                                   const std::vector<fs::path>& workbooks) {
  for (const fs::path& workbook : workbooks) argv.push_back(workbook.string());
  return argv;
}

class SetRunner {
 public:
  SetRunner(const BenchOptions& options, const Tools& tools, const fs::path& work)
      : options_(options), tools_(tools), work_(work) {}

  SetResult Run(const DataSet& set) {
    std::printf("preparing set %s...\n", set.name.c_str());
    std::fflush(stdout);
    const std::vector<fs::path> workbooks =
        tavrio::bench::EnsureDataSet(set, options_.data_root, tools_.generator);
    SetResult result{set, WarmUp(workbooks), {}};
    const std::string output = (work_ / (set.name + "-merged.xlsx")).string();
    // The generator writes a header row above the data rows, so the last row is rows + 1.
    const std::string last_row = std::to_string(set.rows + 1);

    // The floor and the merge run take turns, run by run: the ratio between them is the target,
    // and a machine whose speed drifts during the benchmark (other guests on the host, a warming
    // processor) then moves both alike.
    std::vector<StepRun> floor_and_merge{
        {Step::kFloor, "a", WithFiles({tools_.inflate}, workbooks), ""}};
    if (!tools_.engine_merge.empty()) {
      floor_and_merge.push_back(
          {Step::kEngineMerge, "b", WithFiles({tools_.engine_merge}, workbooks), ""});
    }
    for (StepResult& step : MeasureInTurns(set, floor_and_merge)) {
      result.steps.push_back(std::move(step));
    }
    if (tools_.engine_merge.empty()) {
      result.steps.push_back(Skipped(Step::kEngineMerge, "tavrio-bench-merge not built"));
      result.steps.push_back(Skipped(Step::kSave, "tavrio-bench-merge not built"));
    } else {
      result.steps.push_back(Measure(set, Step::kSave, "s",
                                     WithFiles({tools_.engine_merge, "--save", output}, workbooks),
                                     output));
    }
    result.steps.push_back(
        BatchStep(set, Step::kBatchMerge, "c", {"--sheet-index", "1", "-o", output}, workbooks));
    result.steps.push_back(PythonStep(set, output, workbooks));
    result.steps.push_back(BatchStep(set, Step::kTailMerge, "e",
                                     {"--start-row", last_row, "--sheet-index", "1", "-o", output},
                                     workbooks));
    std::error_code ignored;
    fs::remove(output, ignored);
    return result;
  }

 private:
  struct StepRun {
    Step step;
    std::string tag;
    std::vector<std::string> argv;
    std::string output;  // removed before each run when not empty
  };

  StepResult Measure(const DataSet& set, Step step, const std::string& tag,
                     const std::vector<std::string>& argv, const std::string& output = "") {
    return MeasureInTurns(set, {{step, tag, argv, output}}).front();
  }

  // Runs each step options_.repeat times, one run of each in turn.
  std::vector<StepResult> MeasureInTurns(const DataSet& set, const std::vector<StepRun>& steps) {
    for (const StepRun& step : steps) std::printf("  (%s)...\n", step.tag.c_str());
    std::fflush(stdout);
    std::vector<std::vector<Measurement>> runs(steps.size());
    std::vector<bool> failed(steps.size(), false);
    for (int i = 0; i < options_.repeat; ++i) {
      for (std::size_t k = 0; k < steps.size(); ++k) {
        if (failed[k]) continue;
        if (!steps[k].output.empty()) {
          std::error_code ignored;
          fs::remove(steps[k].output, ignored);
        }
        runs[k].push_back(tavrio::bench::RunMeasured(
            steps[k].argv, work_ / (set.name + "-" + steps[k].tag + ".log")));
        if (steps[k].step == Step::kSave) tavrio::bench::KeepSaveTiming(runs[k].back());
        failed[k] = runs[k].back().exit_code != 0;
      }
    }
    std::vector<StepResult> results;
    for (std::size_t k = 0; k < steps.size(); ++k) {
      StepResult result{steps[k].step, true, tavrio::bench::Combine(runs[k]), "", ""};
      if (result.figures.exit_code == 0) {
        result.wrong_result = tavrio::bench::CheckStepResult(
            steps[k].step, set, result.figures.output, steps[k].output);
      }
      if (!steps[k].output.empty()) {
        std::error_code no_file;
        result.output_bytes = fs::file_size(steps[k].output, no_file);
        if (no_file) result.output_bytes = 0;
      }
      results.push_back(std::move(result));
    }
    return results;
  }

  static StepResult Skipped(Step step, const std::string& why) {
    return {step, false, {}, why, ""};
  }

  StepResult BatchStep(const DataSet& set, Step step, const std::string& tag,
                       std::vector<std::string> flags, const std::vector<fs::path>& workbooks) {
    if (tools_.batch_merge.empty()) return Skipped(step, "tavrio-merge not built");
    flags.insert(flags.begin(), tools_.batch_merge);
    return Measure(set, step, tag, WithFiles(flags, workbooks), flags.back());
  }

  StepResult PythonStep(const DataSet& set, const std::string& output,
                        const std::vector<fs::path>& workbooks) {
    if (!options_.python) return Skipped(Step::kOpenpyxl, "--no-python");
    if (!fs::exists(tools_.python)) return Skipped(Step::kOpenpyxl, tools_.python + " missing");
    const Measurement probe = tavrio::bench::RunMeasured({tools_.python, "-c", "import openpyxl"},
                                                         work_ / "openpyxl-probe.log");
    if (probe.exit_code != 0) {
      return Skipped(Step::kOpenpyxl, "openpyxl is not installed (Debian: python3-openpyxl)");
    }
    return Measure(set, Step::kOpenpyxl, "d",
                   WithFiles({tools_.python, tools_.python_script, output}, workbooks), output);
  }

  const BenchOptions& options_;
  const Tools& tools_;
  fs::path work_;
};

std::vector<DataSet> ChosenSets(const BenchOptions& options) {
  std::vector<std::string> names = options.set_names;
  if (names.empty()) names = {"many", "million"};
  std::vector<DataSet> chosen;
  for (std::string name : names) {
    if (options.uncalculated) {
      if (name.ends_with("-formatted")) name.resize(name.size() - std::string("-formatted").size());
      if (!name.ends_with("-uncalculated")) name += "-uncalculated";
    } else if (options.formatted && !name.ends_with("-formatted")) {
      name += "-formatted";
    }
    for (const DataSet& set : tavrio::bench::StandardSets(options.quick)) {
      if (set.name == name) chosen.push_back(set);
    }
  }
  return chosen;
}

bool AnyStepFailed(const SetResult& result) {
  for (const StepResult& step : result.steps) {
    if (step.ran && !tavrio::bench::Succeeded(step)) return true;
  }
  return false;
}

int RunBenchmark(const BenchOptions& options) {
  const Tools tools;
  if (tools.generator.empty()) {
    throw tavrio::Error(tavrio::error_number::kApplicationDefined,
                        "tavrio-make-workbooks 尚未构建，无法生成测试数据");
  }
  const fs::path work = options.data_root / "runs";
  fs::create_directories(work);
  SetRunner runner(options, tools, work);
  bool failed = false;
  for (const DataSet& set : ChosenSets(options)) {
    const SetResult result = runner.Run(set);
    failed = failed || AnyStepFailed(result);
    std::printf("\n%s\n", tavrio::bench::FormatSetReport(result).c_str());
    std::fflush(stdout);
  }
  if (options.quick) std::printf("(quick sets: too small to judge the targets)\n");
  if (failed) std::printf("\nA step failed; its log is in %s\n", work.string().c_str());
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const BenchOptions options =
        tavrio::bench::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::printf("%s", tavrio::bench::Usage().c_str());
      return 0;
    }
    return RunBenchmark(options);
  } catch (const tavrio::Error& error) {
    std::fprintf(stderr, "%s\n", tavrio::FormatError(error).c_str());
    return 2;
  } catch (const fs::filesystem_error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
}
