#pragma once

// The engine's save interface: one writer per file format. A writer only puts a workbook's
// content into a file it is given; choosing the writer, the temporary name and the rename are
// done once for all of them (save_workbook.h), so a faster writer replaces one class.

#include <memory>
#include <stdexcept>
#include <string>

#include "automation/engine/save_report.h"
#include "automation/engine/workbook.h"
#include "automation/writers/chunked_deflate.h"

namespace tavrio::automation::writers {

// Why a writer could not finish, in Chinese; the caller adds which file was being saved.
// reason() is the whole text: what() stops at a NUL, which a sheet name it quotes may hold.
class WriteFailure : public std::runtime_error {
 public:
  explicit WriteFailure(const std::string& reason) : std::runtime_error(reason), reason_(reason) {}
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

class WorkbookWriter {
 public:
  virtual ~WorkbookWriter() = default;
  // Writes `workbook`, whose sheets are all loaded, to the file at `path`, replacing its
  // content. Returns what had to be changed to fit the format (engine::SaveReport, without the
  // path). Throws WriteFailure.
  virtual engine::SaveReport Write(const engine::Workbook& workbook, const std::string& path) = 0;
};

// Every sheet, in the workbook's order, as .xlsx; hidden sheets stay hidden. Its parts are
// deflated on `deflate_threads` workers (0: on the saving thread); the file's bytes are the same
// whatever their number.
std::unique_ptr<WorkbookWriter> MakeXlsxWriter(unsigned deflate_threads = DefaultDeflateThreads());
// The active sheet as CSV, UTF-8 with BOM (the choices are described in csv_writer.cpp).
std::unique_ptr<WorkbookWriter> MakeCsvWriter();
// Every sheet, in the workbook's order, as the rows of one CSV table: each sheet but the last
// continues on the next, so it is written to the grid's last row (1,048,576), blank rows
// included. For a merge that outgrew one sheet; a CSV has no row limit.
std::unique_ptr<WorkbookWriter> MakeContinuedCsvWriter();

}  // namespace tavrio::automation::writers
