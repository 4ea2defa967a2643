#include "batch/batch_run.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <system_error>

#include "automation/base/error.h"
#include "automation/base/sheet_limits.h"
#include "automation/engine/engine_text.h"
#include "automation/engine_host.h"
#include "automation/writers/save_workbook.h"
#include "batch/batch_controls.h"
#include "batch/batch_options.h"
#include "batch/input_files.h"
#include "batch/sheet_entries.h"
#include "batch/stacking_application.h"
#include "merge/combine_workbooks.h"
#include "merge/summary.h"

namespace tavrio::batch {
namespace {

namespace fs = std::filesystem;

// One line on a terminal, rewritten in place; at most ten times a second, so that thousands of
// small files do not spend their time on the terminal.
class ProgressLine {
 public:
  explicit ProgressLine(std::ostream& err) : err_(err) {}
  ~ProgressLine() {
    if (shown_) err_ << "\r\x1b[K" << std::flush;
  }

  void Show(int index, int count, const std::string& name) {
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && index + 1 < count && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    shown_ = true;
    err_ << "\r\x1b[K正在合并 " << index + 1 << "/" << count << "：" << name << std::flush;
  }

 private:
  std::ostream& err_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_;
};

// A source workbook is never written: an output path that names one of the inputs is refused
// before anything is opened.
void RefuseOutputOverInput(const std::string& output, const std::vector<InputFile>& files) {
  std::error_code error;
  if (fs::is_directory(output, error)) {
    throw Error(error_number::kApplicationDefined, "输出路径“" + output + "”是文件夹");
  }
  if (!fs::exists(output, error)) return;
  for (const InputFile& file : files) {
    if (fs::equivalent(output, file.folder + "/" + file.name, error)) {
      throw Error(error_number::kApplicationDefined,
                  "输出文件“" + output + "”是要合并的源文件之一，源文件不会被覆盖");
    }
  }
}

struct MergeResult {
  std::string summary;
  std::string warning;  // what the save could not keep exactly, or empty
};

bool IsCsvPath(const std::string& path) {
  return automation::engine::EqualsIgnoringCase(fs::path(path).extension().string(), ".csv");
}

StackingOptions StackingOptionsOf(const BatchOptions& options) {
  StackingOptions stacking;
  stacking.source_column = options.source_column;
  stacking.sheet_in_label = options.all_sheets;
  stacking.match_headers = options.match_headers;
  // A CSV has no row limit, so a merge saved as one never stops at a sheet's last row.
  const bool csv = IsCsvPath(options.output);
  stacking.unlimited_rows = csv || options.overflow_sheets || options.dry_run;
  stacking.repeat_header = !csv && options.overflow_sheets;
  stacking.dry_run = options.dry_run;
  return stacking;
}

// What --dry-run prints: a line per block, then the total.
std::string DryRunReport(const StackingApplication& application, const BatchOptions& options) {
  std::ostringstream report;
  report << "文件\t工作表\t首行\t末行\t合并行数\n";
  for (const StackedBlock& block : application.blocks()) {
    report << block.workbook << "\t" << block.sheet << "\t";
    if (block.rows == 0) {
      report << block.first_row << "\t-\t0\n";
    } else {
      report << block.first_row << "\t" << block.last_row << "\t" << block.rows << "\n";
    }
  }
  report << "合计：" << application.blocks().size() << " 个"
         << (options.all_sheets ? "工作表" : "文件") << "，" << application.merged_rows() << " 行";
  if (application.merged_rows() > automation::kMaxRows && !options.output.empty() &&
      !IsCsvPath(options.output) && !options.overflow_sheets) {
    report << "\n注意：超过一个工作表的 1048576 行，保存为 .xlsx 需要 --overflow-sheets，"
              "或保存为 .csv";
  }
  return report.str();
}

// The merge run over a StackingApplication; the summary, or the --dry-run report.
MergeResult MergeStacked(const BatchOptions& options, BatchControls& controls,
                         automation::EngineHost& host, std::size_t file_count) {
  StackingHost stacking(host, StackingOptionsOf(options));
  merge::CombineWorkbooks(controls, stacking);
  StackingApplication& application = stacking.application();
  if (options.dry_run) return {DryRunReport(application, options), {}};
  application.Finish();
  automation::Engine& engine = host.engine();
  const std::string merged = engine.ActiveWorkbookName();
  automation::engine::SaveReport saved;
  if (IsCsvPath(options.output)) {
    // Every sheet of the merged workbook, each continuing the one before, as one table.
    saved = automation::writers::SaveContinuedSheetsAsCsv(
        engine.PrepareSave(merged, options.output), options.output);
    engine.FinishSave(merged, options.output);
  } else {
    saved = engine.SaveWorkbookAs(merged, options.output);
  }
  // The run counted sheets; the summary counts files, and the sheets beside them.
  std::string summary = controls.summary();
  if (options.all_sheets) {
    summary = merge::SummaryText(static_cast<std::int32_t>(file_count)) + "（" +
              std::to_string(application.blocks().size()) + "个工作表）";
  }
  for (const std::string& note : application.notes()) summary += "\n" + note;
  return {summary, automation::engine::SaveWarning(saved)};
}

MergeResult Merge(const BatchOptions& options, std::ostream& err, bool show_progress) {
  std::vector<InputFile> files = ResolveInputs(options.inputs, options.recursive);
  if (!options.dry_run) RefuseOutputOverInput(options.output, files);
  const std::size_t file_count = files.size();
  std::vector<SheetEntry> sheets;
  if (options.all_sheets) {
    SheetEntries entries = VisibleSheetEntries(files);
    files = std::move(entries.files);
    sheets = std::move(entries.sheets);
  }
  ProgressLine progress(err);
  BatchControls::ProgressCallback report;
  if (show_progress) {
    report = [&](int index, int count, const std::string& name) {
      progress.Show(index, count, name);
    };
  }
  BatchControls controls(options, std::move(files), report, std::move(sheets));
  automation::EngineHost host;
  automation::Engine& engine = host.engine();
  // Without the flags the window has no control for, the engine pastes as in the window.
  if (!options.Extended() && !IsCsvPath(options.output)) {
    merge::CombineWorkbooks(controls, host);
    const automation::engine::SaveReport saved =
        engine.SaveWorkbookAs(engine.ActiveWorkbookName(), options.output);
    return {controls.summary(), automation::engine::SaveWarning(saved)};
  }
  return MergeStacked(options, controls, host, file_count);
}

}  // namespace

int RunBatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
             bool show_progress) {
  BatchOptions options;
  try {
    options = ParseArguments(arguments);
  } catch (const Error& error) {
    err << FormatError(error) << "\n\n" << UsageText();
    return kExitUsage;
  }
  if (options.help) {
    out << UsageText();
    return kExitSuccess;
  }
  try {
    // The progress line is gone once Merge returns, so the warning gets a line of its own.
    const MergeResult result = Merge(options, err, show_progress);
    if (!result.warning.empty()) err << "警告：" << result.warning << "\n";
    out << result.summary << "\n";
    return kExitSuccess;
  } catch (const Error& error) {
    err << FormatError(error) << "\n";
  } catch (const std::bad_alloc&) {
    err << "内存不足，合并已停止\n";
  }
  return kExitFailure;
}

}  // namespace tavrio::batch
