#pragma once

// Workbooks that are text: a CSV file, tab-separated text (what "Unicode text" exports and many
// business systems write, often under an ".xls" name) and an HTML page of tables. The content
// decides, with the extension only choosing the delimiter of plain text:
// - HTML (after an optional byte order mark and whitespace, the file starts with '<', holds an
//   <html>, <table>, <head>, <body> or <meta> tag or a doctype in its first 4 KiB, and is not an
//   XML document): one sheet per <table>, named "表1", "表2", ... in the order the tables
//   begin. The encoding is the one the page declares, else UTF-8, else GB18030.
// - A ".csv" file: comma-separated, one sheet named after the file; tab-separated when its
//   first 20 lines hold tabs but no comma.
// - Other text whose first 20 lines hold a tab (a title line may come first): tab-separated,
//   one sheet named after the file.
// - Anything else is refused with what it is: an Excel 2003 XML spreadsheet, another XML
//   document, a comma-separated file under another name, or plain text.
// Fields become cells by the rule in text_cells.h.

#include <memory>
#include <string>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

// Text files larger than this are refused rather than read into memory.
inline constexpr std::uint64_t kMaxTextFileBytes = 512ull << 20;

// `bytes` is the whole file. Throws ReadFault (without the file name) when the file is not a
// table this program reads, or when it is binary: "不是工作簿文件".
std::unique_ptr<WorkbookReader> OpenTextWorkbook(const std::string& path, std::string bytes);

}  // namespace tavrio::automation::readers
