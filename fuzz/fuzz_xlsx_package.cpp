// A whole .xlsx/.xlsm package through the public entry point: open it, then read every sheet.
// Only tavrio::Error may come out; every cell must keep the reader's promises.

#include <cstddef>
#include <cstdint>

#include "automation/error.h"
#include "automation/readers/workbook_reader.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::size_t kMaxSheetsRead = 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrio::automation::readers;
  tavrio::fuzz::MemoryFile file(data, size);
  std::unique_ptr<WorkbookReader> reader;
  try {
    reader = OpenWorkbookFile(file.path());
  } catch (const tavrio::Error&) {
    return 0;
  }
  if (reader->Styles().empty()) tavrio::fuzz::Finding("an empty style table");
  for (std::size_t i = 0; i < reader->Sheets().size() && i < kMaxSheetsRead; ++i) {
    tavrio::fuzz::CheckingSink sink(reader->Styles().size());
    try {
      reader->ReadSheet(i, sink);
    } catch (const tavrio::Error&) {
    }
  }
  return 0;
}
