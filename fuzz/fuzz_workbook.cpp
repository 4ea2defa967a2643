// The workbook part: the sheets in order and the date system.

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/readers/part_parsers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrio::automation::readers;
  try {
    WorkbookPart workbook =
        ParseWorkbookPart(std::string(tavrio::fuzz::AsText(data, size)), "xl/workbook.xml");
    for (const WorkbookSheet& sheet : workbook.sheets) {
      if (sheet.relationship_id.empty()) tavrio::fuzz::Finding("a sheet without a relationship");
    }
  } catch (const ReadFault&) {
  }
  return 0;
}
