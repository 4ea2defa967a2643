// Checks of the package as a whole and of the streamed worksheet part.

#include <cstddef>
#include <memory>
#include <string>

#include "automation/base/error.h"
#include "automation/readers/part_parsers.h"
#include "automation/readers/workbook_reader.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/input_checks.h"

namespace tavrio::fuzz {
namespace {

using namespace automation::readers;

constexpr std::size_t kMaxSheetsRead = 16;

struct Reading {
  std::string cells;
  std::string fault;
  std::string broken;
};

template <typename Read>
Reading ReadWith(std::size_t style_count, Read read) {
  CheckingSink sink(style_count);
  Reading reading;
  try {
    read(sink);
  } catch (const ReadFault& fault) {
    reading.fault = fault.what();
  }
  reading.cells = sink.digest();
  reading.broken = sink.broken();
  return reading;
}

}  // namespace

std::string CheckXlsxPackage(std::string_view input) {
  MemoryFile file(input);
  std::unique_ptr<WorkbookReader> reader;
  try {
    reader = OpenWorkbookFile(file.path());
  } catch (const Error&) {
    return {};
  }
  if (reader->Styles().empty()) return "an empty style table";
  for (std::size_t i = 0; i < reader->Sheets().size() && i < kMaxSheetsRead; ++i) {
    CheckingSink sink(reader->Styles().size());
    try {
      reader->ReadSheet(i, sink);
    } catch (const Error&) {
    }
    if (!sink.broken().empty()) return sink.broken();
  }
  return {};
}

std::string CheckSheetXml(std::string_view input) {
  if (input.size() < 2) return {};
  const auto flags = static_cast<unsigned char>(input[0]);
  const std::size_t style_count = 1 + (flags & 0x0F);
  const bool date1904 = (flags & 0x10) != 0;
  const std::size_t chunk = 1 + static_cast<unsigned char>(input[1]);
  const std::string_view xml = input.substr(2);

  SharedStrings strings;
  strings.Add("first");
  strings.Add("");
  strings.Add("第三");
  const SheetContext context{"xl/worksheets/sheet1.xml", &strings, style_count, date1904};

  Reading whole = ReadWith(style_count, [&](CellSink& sink) { ParseSheetXml(xml, context, sink); });
  Reading pieces = ReadWith(style_count, [&](CellSink& sink) {
    SheetParser parser(context, sink);
    for (std::size_t at = 0; at < xml.size(); at += chunk) parser.Feed(xml.substr(at, chunk));
    parser.Finish();
  });
  if (!whole.broken.empty()) return whole.broken;
  if (whole.fault != pieces.fault) {
    return "read whole: \"" + whole.fault + "\"; in chunks of " + std::to_string(chunk) + ": \"" +
           pieces.fault + "\"";
  }
  if (whole.cells != pieces.cells) return "the reading in chunks gives other cells";
  return {};
}

}  // namespace tavrio::fuzz
