#pragma once

// The Excel 97-2003 (.xls, BIFF) reader. freexl reads the cells; a scan of the workbook's own
// records adds what freexl leaves out (encryption, hidden sheets, the 1904 date system, formula
// results, booleans, error values). freexl tells which cells are dates but hands them over as
// calendar text, without the time of a date or the days of a time, and forgets their number
// format; this reader gives such cells their stored numbers with an ISO-style date, date-time or
// time format, so they stay real dates. Every other cell, formula results included, keeps the
// number format its XF record names (percent, currency, thousands separators, decimals, text),
// read from the FORMAT records or the built-in ids. Fonts, fills, borders and alignment are not
// read.

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
  bool Uses1904DateSystem() const override { return date1904_; }
  void ReadSheet(std::size_t index, CellSink& sink) override;

 private:
  void MatchRecordsToSheets(const BiffGlobals& globals);
  void StylesFromFormats(const BiffGlobals& globals);
  void ReadCells(std::size_t index, CellSink& sink);

  std::string path_;
  std::string stream_;
  FreexlHandle handle_;
  std::vector<SheetInfo> sheets_;
  std::vector<StyleInfo> styles_;
  std::vector<std::uint32_t> xf_styles_;  // per XF record: its index in styles_
  bool date1904_ = false;
  std::vector<std::int64_t> substreams_;  // per sheet: its substream's offset, or -1 if unknown
};

}  // namespace tavrio::automation::readers
