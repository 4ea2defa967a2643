// Checks of the readers of text tables: CSV and tab-separated text with their encoding
// detection, and HTML pages of tables.

#include <cmath>
#include <memory>
#include <string>

#include "automation/base/error.h"
#include "automation/readers/html_tables.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/text_encoding.h"
#include "automation/readers/text_workbook.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/input_checks.h"

namespace tavrio::fuzz {
namespace {

using namespace automation::readers;

constexpr std::uint64_t kMaxRows = 1048576;
constexpr std::uint64_t kMaxColumns = 16384;

// What a decoding promises: UTF-8 out, and UTF-8 in (without a byte order mark) kept as it is,
// since trying GB18030 first would turn it into mojibake.
std::string CheckDecoding(std::string_view bytes) {
  std::string text;
  try {
    text = DecodeText(bytes);
  } catch (const ReadFault&) {
    if (IsValidUtf8(bytes)) return "valid UTF-8 refused as undecodable";
    return {};
  }
  if (!IsValidUtf8(text)) return "decoded text that is not UTF-8";
  if (IsValidUtf8(bytes) && !bytes.starts_with("\xEF\xBB\xBF") && text != bytes) {
    return "valid UTF-8 decoded as something else";
  }
  return {};
}

// Opens the bytes as a text workbook named `name` and reads every sheet through the checking
// sink, which also wants every text to be UTF-8.
std::string CheckTextWorkbook(const std::string& name, std::string_view bytes) {
  std::unique_ptr<WorkbookReader> reader;
  try {
    reader = OpenTextWorkbook(name, std::string(bytes));
  } catch (const ReadFault&) {
    return {};
  }
  if (reader->Sheets().empty()) return "a text workbook without a sheet";
  for (std::size_t i = 0; i < reader->Sheets().size(); ++i) {
    const SheetInfo& sheet = reader->Sheets()[i];
    if (sheet.name.empty() || !IsValidUtf8(sheet.name)) return "a sheet name that is no text";
    CheckingSink sink(reader->Styles().size(), /*utf8_text=*/true);
    try {
      reader->ReadSheet(i, sink);
    } catch (const Error&) {
    }
    if (!sink.broken().empty()) return sink.broken();
  }
  return {};
}

}  // namespace

std::string CheckTextTable(std::string_view input) {
  if (input.empty()) return {};
  static constexpr const char* kNames[] = {"导出.csv", "export.tsv", "report.txt", "数据.xls"};
  const std::string name = kNames[static_cast<unsigned char>(input[0]) % 4];
  const std::string_view bytes = input.substr(1);
  if (std::string finding = CheckDecoding(bytes); !finding.empty()) return finding;
  return CheckTextWorkbook(name, bytes);
}

std::string CheckHtmlTables(std::string_view input) {
  const bool utf8 = IsValidUtf8(input);
  try {
    for (const HtmlTable& table : ParseHtmlTables(input)) {
      for (const HtmlCell& cell : table.cells) {
        if (cell.row < 1 || cell.row > kMaxRows) return "a table row off the sheet";
        if (cell.column < 1 || cell.column > kMaxColumns) return "a table column off the sheet";
        if (cell.number && !std::isfinite(*cell.number)) return "a number no sheet can hold";
        if (utf8 && !IsValidUtf8(cell.text)) return "UTF-8 markup gave a cell that is not UTF-8";
      }
    }
  } catch (const ReadFault&) {
  }
  // The whole way a page under an ".xls" name takes: charset, decoding, tables, cells.
  return CheckTextWorkbook("网页导出.xls", input);
}

}  // namespace tavrio::fuzz
