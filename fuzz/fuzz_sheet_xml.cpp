// One worksheet part. The first bytes choose the context (style count, date system) and the
// size of the chunks the part arrives in; the part is read once whole and once in those chunks,
// and both readings must agree cell for cell and fault for fault, since the inflated stream
// cuts a sheet wherever it likes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/readers/part_parsers.h"
#include "fuzz/fuzz_support.h"

namespace {

using tavrio::automation::readers::ReadFault;

struct Outcome {
  std::string cells;
  std::string fault;
};

template <typename Read>
Outcome Run(std::size_t style_count, Read read) {
  tavrio::fuzz::CheckingSink sink(style_count);
  Outcome outcome;
  try {
    read(sink);
  } catch (const ReadFault& fault) {
    outcome.fault = fault.what();
  }
  outcome.cells = sink.digest();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrio::automation::readers;
  if (size < 2) return 0;
  const std::size_t style_count = 1 + (data[0] & 0x0F);
  const bool date1904 = (data[0] & 0x10) != 0;
  const std::size_t chunk = 1 + data[1];
  const std::string_view xml = tavrio::fuzz::AsText(data + 2, size - 2);

  SharedStrings strings;
  strings.Add("first");
  strings.Add("");
  strings.Add("第三");
  const SheetContext context{"xl/worksheets/sheet1.xml", &strings, style_count, date1904};

  Outcome whole = Run(style_count, [&](CellSink& sink) { ParseSheetXml(xml, context, sink); });
  Outcome pieces = Run(style_count, [&](CellSink& sink) {
    SheetParser parser(context, sink);
    for (std::size_t at = 0; at < xml.size(); at += chunk) parser.Feed(xml.substr(at, chunk));
    parser.Finish();
  });
  if (whole.fault != pieces.fault) {
    tavrio::fuzz::Finding("whole: \"" + whole.fault + "\" in chunks: \"" + pieces.fault + "\"");
  }
  if (whole.cells != pieces.cells) tavrio::fuzz::Finding("the chunked reading differs");
  return 0;
}
