#include "automation/writers/save_workbook.h"

#include <filesystem>

#include "automation/base/error.h"
#include "automation/engine/engine_text.h"
#include "automation/writers/atomic_file.h"
#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

engine::SaveReport SaveWith(WorkbookWriter& writer, const engine::Workbook& workbook,
                            const std::string& path) {
  engine::SaveReport report;
  try {
    WriteAtomically(
        path, [&](const std::string& temporary) { report = writer.Write(workbook, temporary); });
  } catch (const WriteFailure& failure) {
    throw Error(error_number::kApplicationDefined,
                "无法保存文件“" + path + "”：" + failure.reason() + "。");
  } catch (const std::bad_alloc&) {
    throw Error(error_number::kOutOfMemory, "内存不足：无法保存文件“" + path + "”。");
  }
  report.path = path;
  return report;
}

}  // namespace

engine::SaveReport SaveWorkbook(const engine::Workbook& workbook, const std::string& path) {
  const bool csv =
      engine::EqualsIgnoringCase(std::filesystem::path(path).extension().string(), ".csv");
  return SaveWith(*(csv ? MakeCsvWriter() : MakeXlsxWriter()), workbook, path);
}

engine::SaveReport SaveContinuedSheetsAsCsv(const engine::Workbook& workbook,
                                            const std::string& path) {
  return SaveWith(*MakeContinuedCsvWriter(), workbook, path);
}

}  // namespace tavrio::automation::writers
