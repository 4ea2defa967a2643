#pragma once

// Turns the figures of one data set into the table the benchmark prints, and checks them
// against the performance targets.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/harness/data_set.h"
#include "bench/harness/measure.h"

namespace tavrio::bench {

// kSave: the merged workbook saved by the merge run of (b), the save alone timed.
enum class Step { kFloor, kEngineMerge, kSave, kBatchMerge, kOpenpyxl, kTailMerge };

struct StepResult {
  Step step = Step::kFloor;
  bool ran = false;     // false: skipped, and `note` says why
  Measurement figures;  // combined over the repetitions
  std::string note;
  // Set when the program exited 0 but its result is wrong (too few rows, no output file): the
  // step then counts as failed, since a merge that skips work would otherwise look fast.
  std::string wrong_result;
  std::uintmax_t output_bytes = 0;  // the size of the file it saved, when it saves one
};

// Ran, exited 0 and produced what it should.
bool Succeeded(const StepResult& step);

struct SetResult {
  DataSet set;
  std::uintmax_t input_bytes = 0;  // the workbooks' size on disk
  std::vector<StepResult> steps;
};

enum class TargetState { kMet, kMissed, kUnknown };

struct TargetCheck {
  std::string text;
  TargetState state = TargetState::kUnknown;
};

// The targets, judged on wall time (CPU time is shown beside it): (b) within 1.3x of (a), so the
// window's merge costs little more than reading the inputs; (c) within 2.5x of (a), so the save
// takes about as long as the merge; (c) at least 50x faster than (d); (c)'s file at most 1.1x
// the size of (d)'s; peak memory that follows the merged output (the last-row run (e) needs less
// than half the peak of the full run (c)); and for the million-row set, (b) and (c) under 1 GiB.
// A target whose steps did not both succeed is unknown, never met.
std::vector<TargetCheck> CheckTargets(const SetResult& result);

// The table of steps and the target lines, ready to print.
std::string FormatSetReport(const SetResult& result);

// The line a step's program printed last, which is where each of them sums up its work.
std::string LastLine(const std::string& output);

}  // namespace tavrio::bench
