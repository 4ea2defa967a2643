#include "bench/harness/step_checks.h"

#include <cstdlib>
#include <system_error>

namespace tavrio::bench {
namespace {

// The number that follows `marker` in `output`, or -1 when the marker is missing.
long NumberAfter(const std::string& output, const std::string& marker) {
  const std::size_t at = output.rfind(marker);
  if (at == std::string::npos) return -1;
  return std::strtol(output.c_str() + at + marker.size(), nullptr, 10);
}

constexpr char kSaveWall[] = "save wall ";
constexpr char kSaveCpu[] = " cpu ";

// The number that follows `marker` after `from` in `output`, or -1 when it is missing.
double SecondsAfter(const std::string& output, std::size_t from, const std::string& marker) {
  const std::size_t at = output.find(marker, from);
  if (from == std::string::npos || at == std::string::npos) return -1;
  return std::strtod(output.c_str() + at + marker.size(), nullptr);
}

std::string CheckRows(const DataSet& set, long rows) {
  const long expected = ExpectedMergedRows(set);
  if (rows == expected) return "";
  if (rows < 0) return "printed no row count";
  return "merged " + std::to_string(rows) + " rows, expected " + std::to_string(expected);
}

std::string CheckFile(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size == 0) return "saved no workbook";
  return "";
}

}  // namespace

long ExpectedMergedRows(const DataSet& set) { return static_cast<long>(set.files) * set.rows + 1; }

std::string CheckStepResult(Step step, const DataSet& set, const std::string& output,
                            const std::filesystem::path& merged_file) {
  switch (step) {
    case Step::kFloor: {
      const long parts = NumberAfter(output, "inflated ");
      if (parts >= set.files) return "";
      return "inflated " + std::to_string(parts < 0 ? 0 : parts) + " parts of " +
             std::to_string(set.files) + " workbooks";
    }
    case Step::kEngineMerge:
      return CheckRows(set, NumberAfter(output, "merged rows: "));
    case Step::kOpenpyxl: {
      const std::string rows = CheckRows(set, NumberAfter(output, "merged "));
      return rows.empty() ? CheckFile(merged_file) : rows;
    }
    case Step::kSave: {
      if (SecondsAfter(output, output.rfind(kSaveWall), kSaveWall) < 0) {
        return "printed no save time";
      }
      const std::string rows = CheckRows(set, NumberAfter(output, "merged rows: "));
      return rows.empty() ? CheckFile(merged_file) : rows;
    }
    case Step::kBatchMerge:
    case Step::kTailMerge:
      return CheckFile(merged_file);
  }
  return "";
}

void KeepSaveTiming(Measurement& run) {
  const std::size_t at = run.output.rfind(kSaveWall);
  const double wall = SecondsAfter(run.output, at, kSaveWall);
  const double cpu = SecondsAfter(run.output, at, kSaveCpu);
  if (wall < 0 || cpu < 0) return;
  run.seconds = wall;
  run.cpu_seconds = cpu;
}

}  // namespace tavrio::bench
