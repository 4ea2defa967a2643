// The check of the binary workbook reader's records, fed without the compound file around
// them so that the fuzzer spends its time on the records.

#include <memory>
#include <string>

#include "automation/base/error.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xls_reader.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/input_checks.h"

namespace tavrio::fuzz {
namespace {

using namespace automation::readers;

constexpr std::size_t kMaxSheetsRead = 16;

// The sheet's cells as digested, or a fault's text; a broken promise in `broken`.
std::string ReadDigest(XlsReader& reader, std::size_t index, std::string& broken) {
  CheckingSink sink(reader.Styles().size());
  std::string fault;
  try {
    reader.ReadSheet(index, sink);
  } catch (const Error& error) {
    fault = error.description();
  }
  if (broken.empty()) broken = sink.broken();
  return sink.digest() + "|" + fault;
}

}  // namespace

std::string CheckXlsRecords(std::string_view input) {
  std::unique_ptr<XlsReader> reader;
  try {
    reader = std::make_unique<XlsReader>("fuzz.xls", std::string(input));
  } catch (const ReadFault&) {
    return {};
  }
  if (reader->Styles().empty()) return "an empty style table";
  std::string broken;
  for (std::size_t i = 0; i < reader->Sheets().size() && i < kMaxSheetsRead; ++i) {
    // A sheet read twice must come out the same: nothing of one reading may stay behind.
    const std::string first = ReadDigest(*reader, i, broken);
    if (!broken.empty()) return broken;
    if (ReadDigest(*reader, i, broken) != first) return "a sheet read twice differs";
  }
  return {};
}

}  // namespace tavrio::fuzz
