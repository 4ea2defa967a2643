#pragma once

// The .xlsx/.xlsm reader. Opening reads only the package directory, the workbook, its
// relationships and the styles; shared strings wait for the first sheet that is read (or for
// ReadSharedParts), and each sheet's XML is streamed only when ReadSheet asks for it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/readers/shared_strings.h"
#include "automation/readers/workbook_reader.h"
#include "automation/readers/zip_archive.h"

namespace tavrio::automation::readers {

class XlsxReader : public WorkbookReader {
 public:
  // Reads the workbook from `archive`, the package at `path` already opened. Throws ReadFault
  // (without the file name) when the package is not a workbook, is damaged or breaks a limit.
  XlsxReader(const std::string& path, ZipArchive archive);

  const std::vector<SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<StyleInfo>& Styles() const override { return styles_; }
  bool Uses1904DateSystem() const override { return date1904_; }
  bool FormulaResultsTrusted() const override { return formula_results_trusted_; }
  void ReadSheet(std::size_t index, CellSink& sink) override;
  void ReadSharedParts() override;

 private:
  void LoadWorkbook(const std::string& workbook_part);
  void LoadSharedStrings();

  std::string path_;
  ZipArchive archive_;
  std::vector<SheetInfo> sheets_;
  std::vector<std::string> sheet_parts_;  // empty for a sheet without cells (a chart sheet)
  std::vector<StyleInfo> styles_;
  bool date1904_ = false;
  bool full_calc_on_load_ = false;
  bool formula_results_trusted_ = true;
  std::string shared_strings_part_;
  std::optional<SharedStrings> shared_strings_;
};

}  // namespace tavrio::automation::readers
