// A relationships part, with the targets resolved against the part that owns it. The first
// byte chooses that part, so that "..", absolute and empty targets meet each kind of source.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/readers/part_parsers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrio::automation::readers;
  if (size < 1) return 0;
  static constexpr std::string_view kSources[] = {"", "xl/workbook.xml",
                                                  "xl/worksheets/sheet1.xml", "a"};
  const std::string_view source = kSources[data[0] % 4];
  try {
    auto relationships = ParseRelationships(std::string(tavrio::fuzz::AsText(data + 1, size - 1)),
                                            RelationshipsPartOf(source), source);
    for (const Relationship& r : relationships) {
      if (!r.external && r.target.starts_with('/')) {
        tavrio::fuzz::Finding("a resolved target that is still absolute");
      }
    }
  } catch (const ReadFault&) {
  }
  return 0;
}
