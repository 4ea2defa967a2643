#pragma once

// The reader of binary Excel workbooks: BIFF8 (Excel 97-2003) and BIFF5/7 (Excel 5.0/95) in
// a compound file (or, as some programs save them, on their own), and BIFF2-4 single-sheet
// files (Excel 2.x to 4.0). Every cell keeps its number as stored and its XF's look (number
// format, font, fill, borders, alignment), so a date stays a number with its date format; a
// formula cell hands over its last result and, where its tokens read for certain, its formula.

#include <string>
#include <vector>

#include "automation/readers/biff_workbook.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

class XlsReader : public WorkbookReader {
 public:
  // `stream` is the workbook stream (or the whole BIFF2-4 file); `path` names the file in
  // errors and, for a BIFF2-4 file, its one sheet. A workbook encrypted with the default
  // password (what Excel writes for one protected without an open password) reads as the
  // plain one. Throws ReadFault (without the file name) when the workbook needs another
  // password, is encrypted in a way not read here, or is damaged.
  XlsReader(const std::string& path, std::string stream);

  const std::vector<SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<StyleInfo>& Styles() const override { return workbook_.styles; }
  bool Uses1904DateSystem() const override { return workbook_.date1904; }
  void ReadSheet(std::size_t index, CellSink& sink) override;

 private:
  void Unscramble(const std::string& path);

  std::string path_;
  // Held whole: sheets are read from it on demand. An encrypted workbook's records are
  // unscrambled here, in place, once, before anything else reads them.
  std::string stream_;
  BiffWorkbook workbook_;
  std::vector<SheetInfo> sheets_;
};

// True when `header` (a file's first bytes) is a BOF record: a BIFF2, BIFF3 or BIFF4 file is
// no compound file but the sheet's records themselves, and some programs save a BIFF5 or
// BIFF8 workbook stream on its own too.
bool IsBareBiffFile(std::string_view header);

}  // namespace tavrio::automation::readers
