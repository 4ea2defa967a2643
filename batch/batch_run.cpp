#include "batch/batch_run.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "automation/engine/engine_host.h"
#include "automation/error.h"
#include "batch/batch_controls.h"
#include "batch/batch_options.h"
#include "batch/input_files.h"
#include "merge/combine_workbooks.h"

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

MergeResult Merge(const BatchOptions& options, std::ostream& err, bool show_progress) {
  std::vector<InputFile> files = ResolveInputs(options.inputs);
  RefuseOutputOverInput(options.output, files);
  ProgressLine progress(err);
  BatchControls::ProgressCallback report;
  if (show_progress) {
    report = [&](int index, int count, const std::string& name) {
      progress.Show(index, count, name);
    };
  }
  BatchControls controls(options, std::move(files), report);
  automation::EngineHost host;
  merge::CombineWorkbooks(controls, host);
  automation::Engine& engine = host.engine();
  const automation::engine::SaveReport saved =
      engine.SaveWorkbookAs(engine.ActiveWorkbookName(), options.output);
  return {controls.summary(), automation::engine::SaveWarning(saved)};
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
