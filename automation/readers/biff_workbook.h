#pragma once

// The workbook globals of a binary workbook: the records before the first sheet's (or, in a
// BIFF2-4 file, which holds one sheet, the sheet's own leading records) that every sheet's
// reading needs: the sheets and where they start, the code page, the date system, the shared
// string table, the cell formats and what formulas refer to by name or sheet position.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/readers/biff_formula_names.h"
#include "automation/readers/biff_stream.h"
#include "automation/readers/biff_text.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

struct BiffSheet {
  SheetInfo info;
  std::size_t offset = 0;  // of its BOF record in the stream
};

struct BiffWorkbook {
  BiffText text{BiffVersion::kBiff8};
  // A FILEPASS record: every record after it is scrambled, from `scrambled_from` (the offset
  // of the record after FILEPASS) on. `filepass` is its payload: the kind of scrambling and
  // what a decryptor needs to check a password.
  bool encrypted = false;
  std::string_view filepass;
  std::size_t scrambled_from = 0;
  bool date1904 = false;
  std::vector<BiffSheet> sheets;
  std::vector<std::string> shared_strings;
  std::vector<StyleInfo> styles;
  std::vector<std::uint32_t> xf_styles;  // per XF record, its index in styles
  BiffFormulaNames formula_names;
  // A BIFF2 file without XF records: its cells name their number format, not an XF.
  bool cells_name_formats = false;
};

// Reads the globals of `stream`. A BIFF2-4 single-sheet file gets one sheet named
// `lone_sheet_name`, as spreadsheet applications name it after the file. Worksheets, macro
// sheets and chart sheets are listed; Visual Basic modules, which show as no sheet, are not.
// Throws ReadFault when the records are damaged or the stream is no workbook. Stops early at
// a FILEPASS record, whose followers cannot be read without the password, unless
// `unscrambled` says the caller has decrypted them already: then it reads on past it (and
// `encrypted` stays false).
BiffWorkbook ReadBiffWorkbook(std::string_view stream, const std::string& lone_sheet_name,
                              bool unscrambled = false);

}  // namespace tavrio::automation::readers
