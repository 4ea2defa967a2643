#include "bench/harness/report.h"

#include <cstdio>
#include <optional>

namespace tavrio::bench {
namespace {

constexpr double kKibPerMib = 1024.0;
constexpr double kGibInMib = 1024.0;
constexpr double kMergeFactor = 1.3;
constexpr double kSaveFactor = 2.5;
constexpr double kPythonFactor = 50.0;
constexpr double kFileFactor = 1.1;
constexpr double kTailShare = 0.5;
constexpr std::size_t kNoteWidth = 70;

const char* StepLabel(Step step) {
  switch (step) {
    case Step::kFloor:
      return "(a) floor: inflate sheet + strings";
    case Step::kEngineMerge:
      return "(b) merge run on the engine, no save";
    case Step::kSave:
      return "(s) save after (b), timed alone";
    case Step::kBatchMerge:
      return "(c) tavrio-merge, with save";
    case Step::kOpenpyxl:
      return "(d) openpyxl read-only/write-only";
    case Step::kTailMerge:
      return "(e) tavrio-merge, last rows only";
  }
  return "";
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

double PeakMib(const StepResult& step) { return step.figures.peak_rss_kib / kKibPerMib; }

// The step's figures when it ran and succeeded; a failed or skipped step supports no target.
std::optional<StepResult> SucceededStep(const SetResult& result, Step step) {
  for (const StepResult& candidate : result.steps) {
    if (candidate.step == step && Succeeded(candidate)) {
      return candidate;
    }
  }
  return std::nullopt;
}

TargetState StateOf(bool met) { return met ? TargetState::kMet : TargetState::kMissed; }

TargetCheck SpeedRatio(const SetResult& result, Step slow, Step fast, const std::string& name,
                       const std::string& target, double limit, bool at_most) {
  const auto slow_step = SucceededStep(result, slow);
  const auto fast_step = SucceededStep(result, fast);
  if (!slow_step || !fast_step || fast_step->figures.seconds <= 0) {
    return {name + ": not measured (target " + target + ")", TargetState::kUnknown};
  }
  const double ratio = slow_step->figures.seconds / fast_step->figures.seconds;
  std::string text = name + " = " + Format("%.2f", ratio) + " (target " + target + ")";
  if (fast_step->figures.cpu_seconds > 0) {
    text += "; CPU time " +
            Format("%.2f", slow_step->figures.cpu_seconds / fast_step->figures.cpu_seconds);
  }
  return {text, StateOf(at_most ? ratio <= limit : ratio >= limit)};
}

TargetCheck MemoryFollowsOutput(const SetResult& result) {
  const std::string name = "peak memory follows the output, not the inputs";
  const auto full = SucceededStep(result, Step::kBatchMerge);
  const auto tail = SucceededStep(result, Step::kTailMerge);
  if (!full || !tail) return {name + ": not measured", TargetState::kUnknown};
  return {name + ": (e) " + Format("%.1f", PeakMib(*tail)) + " MiB vs (c) " +
              Format("%.1f", PeakMib(*full)) + " MiB (target (e) < (c)/2)",
          StateOf(PeakMib(*tail) < kTailShare * PeakMib(*full))};
}

TargetCheck FileSize(const SetResult& result) {
  const std::string name = "(c)'s file vs (d)'s";
  const auto ours = SucceededStep(result, Step::kBatchMerge);
  const auto theirs = SucceededStep(result, Step::kOpenpyxl);
  if (!ours || !theirs || ours->output_bytes == 0 || theirs->output_bytes == 0) {
    return {name + ": not measured (target <= 1.1x)", TargetState::kUnknown};
  }
  const double ratio = static_cast<double>(ours->output_bytes) / theirs->output_bytes;
  return {name + ": " + Format("%.1f", ours->output_bytes / 1048576.0) + " MiB vs " +
              Format("%.1f", theirs->output_bytes / 1048576.0) + " MiB = " + Format("%.2f", ratio) +
              "x (target <= 1.1x)",
          StateOf(ratio <= kFileFactor)};
}

TargetCheck UnderOneGib(const SetResult& result, Step step, const std::string& name) {
  const auto figures = SucceededStep(result, step);
  if (!figures) return {name + " peak under 1 GiB: not measured", TargetState::kUnknown};
  return {name + " peak " + Format("%.1f", PeakMib(*figures)) + " MiB (target < 1024 MiB)",
          StateOf(PeakMib(*figures) < kGibInMib)};
}

const char* StateText(TargetState state) {
  switch (state) {
    case TargetState::kMet:
      return "met   ";
    case TargetState::kMissed:
      return "MISSED";
    case TargetState::kUnknown:
      return "?     ";
  }
  return "";
}

std::string StepNote(const StepResult& step) {
  if (!step.ran) return "skipped: " + step.note;
  std::string note = LastLine(step.figures.output);
  if (step.figures.exit_code != 0) {
    note = "FAILED (exit " + std::to_string(step.figures.exit_code) + "): " + note;
  } else if (!step.wrong_result.empty()) {
    note = "WRONG: " + step.wrong_result;
  }
  if (note.size() > kNoteWidth) {
    // Cut at a character boundary: the tools print Chinese.
    std::size_t cut = kNoteWidth;
    while (cut > 0 && (static_cast<unsigned char>(note[cut]) & 0xC0) == 0x80) --cut;
    note = note.substr(0, cut) + "...";
  }
  return note;
}

std::string StepLine(const StepResult& step) {
  char line[160];
  if (!step.ran) {
    std::snprintf(line, sizeof line, "  %-38s %9s %9s %10s  ", StepLabel(step.step), "-", "-", "-");
  } else {
    std::snprintf(line, sizeof line, "  %-38s %9.3f %9.3f %10.1f  ", StepLabel(step.step),
                  step.figures.seconds, step.figures.cpu_seconds, PeakMib(step));
  }
  return line + StepNote(step) + "\n";
}

}  // namespace

bool Succeeded(const StepResult& step) {
  return step.ran && step.figures.exit_code == 0 && step.wrong_result.empty();
}

std::vector<TargetCheck> CheckTargets(const SetResult& result) {
  std::vector<TargetCheck> checks = {
      SpeedRatio(result, Step::kEngineMerge, Step::kFloor, "(b)/(a)", "<= 1.3", kMergeFactor, true),
      SpeedRatio(result, Step::kBatchMerge, Step::kFloor, "(c)/(a)", "<= 2.5", kSaveFactor, true),
      SpeedRatio(result, Step::kOpenpyxl, Step::kBatchMerge, "(d)/(c)", ">= 50", kPythonFactor,
                 false),
      FileSize(result),
      MemoryFollowsOutput(result),
  };
  if (result.set.name == "million") {
    checks.push_back(UnderOneGib(result, Step::kEngineMerge, "(b)"));
    checks.push_back(UnderOneGib(result, Step::kBatchMerge, "(c)"));
  }
  return checks;
}

std::string FormatSetReport(const SetResult& result) {
  const DataSet& set = result.set;
  std::string report = "set " + set.name + ": " + std::to_string(set.files) + " files x " +
                       std::to_string(set.rows) + " rows x " + std::to_string(set.columns) +
                       " columns, " + Format("%.1f", result.input_bytes / 1048576.0) +
                       " MiB on disk\n";
  char header[160];
  std::snprintf(header, sizeof header, "  %-38s %9s %9s %10s  %s\n", "step", "wall s", "cpu s",
                "peak MiB", "what it printed last");
  report += header;
  for (const StepResult& step : result.steps) report += StepLine(step);
  report += "  targets:\n";
  for (const TargetCheck& check : CheckTargets(result)) {
    report += std::string("    ") + StateText(check.state) + "  " + check.text + "\n";
  }
  return report;
}

std::string LastLine(const std::string& output) {
  std::size_t end = output.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return "";
  const std::size_t newline = output.rfind('\n', end);
  const std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
  return output.substr(begin, end - begin + 1);
}

}  // namespace tavrio::bench
