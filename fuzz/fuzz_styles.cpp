// The styles part: the cell styles and their number formats.

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/readers/part_parsers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrio::automation::readers;
  try {
    auto styles = ParseStylesPart(std::string(tavrio::fuzz::AsText(data, size)), "xl/styles.xml");
    if (styles.empty()) tavrio::fuzz::Finding("an empty style table");
    for (const StyleInfo& style : styles) {
      if (style.number_format.empty()) tavrio::fuzz::Finding("a style without a number format");
    }
  } catch (const ReadFault&) {
  }
  return 0;
}
