// The shared-strings part, held whole in memory.

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/readers/part_parsers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrio::automation::readers;
  try {
    SharedStrings strings =
        ParseSharedStrings(std::string(tavrio::fuzz::AsText(data, size)), "xl/sharedStrings.xml");
    std::size_t total = 0;
    for (std::size_t i = 0; i < strings.size(); ++i) total += strings[i].size();
    if (total > size * 4 + 16) tavrio::fuzz::Finding("more text than the part could hold");
  } catch (const ReadFault&) {
  }
  return 0;
}
