#pragma once

// The Excel 97-2003 (.xls, BIFF) reader. freexl reads the cells; a scan of the workbook's own
// records adds what freexl leaves out (encryption, hidden sheets, formula results, booleans,
// error values). freexl turns date cells into text such as "2024-01-15 06:00:00" and forgets
// their number format; this reader turns them back into serial numbers in the 1900 date system
// with an ISO-style date, date-time or time format, so they stay real dates. Other number
// formats are not known and read as "General"; so does a formula result that shows a date.

#include <string>
#include <vector>

#include "automation/readers/biff_records.h"
#include "automation/readers/freexl_handle.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

class XlsReader : public WorkbookReader {
 public:
  // `workbook_stream` is the file's "Workbook" (or "Book") stream. Throws ReadFault (without
  // the file name) when the workbook is password-protected or damaged.
  XlsReader(const std::string& path, std::string workbook_stream);

  const std::vector<SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<StyleInfo>& Styles() const override { return styles_; }
  // Always false: dates arrive as calendar text and are counted from 1899-12-30.
  bool Uses1904DateSystem() const override { return false; }
  void ReadSheet(std::size_t index, CellSink& sink) override;

 private:
  void MatchRecordsToSheets(const BiffGlobals& globals);
  void ReadCells(std::size_t index, CellSink& sink);

  std::string path_;
  std::string stream_;
  FreexlHandle handle_;
  std::vector<SheetInfo> sheets_;
  std::vector<StyleInfo> styles_;
  std::vector<std::int64_t> substreams_;  // per sheet: its substream's offset, or -1 if unknown
};

}  // namespace tavrio::automation::readers
