#pragma once

// The OpenDocument spreadsheet (.ods) reader. Opening streams content.xml once to list the
// sheets; ReadSheet streams it again up to the end of the sheet asked for. Values come with
// number formats for dates, times and percentages; the file's own cell styles and row heights
// are not read. A formula comes as A1 text beside its saved result where its translation is
// certain (open_formula.h); any other, and an array formula, gives its saved result alone.

#include <string>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "automation/readers/zip_archive.h"

namespace tavrio::automation::readers {

inline constexpr std::string_view kOdsMimeType = "application/vnd.oasis.opendocument.spreadsheet";

// Whether the package's mimetype entry names an OpenDocument spreadsheet.
bool IsOdsPackage(ZipArchive& archive);

class OdsReader : public WorkbookReader {
 public:
  // Throws ReadFault (without the file name) when the package is damaged or breaks a limit.
  OdsReader(const std::string& path, ZipArchive archive);

  const std::vector<SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<StyleInfo>& Styles() const override { return styles_; }
  bool Uses1904DateSystem() const override { return false; }
  // LibreOffice shows the results an .ods file keeps without recalculating them (its default
  // for every OpenDocument file, whichever program saved it), and so does the merge.
  bool FormulaResultsTrusted() const override { return true; }
  void ReadSheet(std::size_t index, CellSink& sink) override;

 private:
  std::string path_;
  ZipArchive archive_;
  std::vector<SheetInfo> sheets_;
  std::vector<StyleInfo> styles_;
};

}  // namespace tavrio::automation::readers
