#pragma once

// Streams one worksheet part into a CellSink. The inflated XML arrives in chunks; only a row
// not yet complete is kept between chunks, so memory is bounded by the longest row, never by
// the sheet, and <dimension> is never consulted. Outside <sheetData> the part is only scanned
// (for declarations and nesting); inside, the row parser reads the cells.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/readers/chunk_pipeline.h"
#include "automation/readers/row_parser.h"
#include "automation/readers/workbook_reader.h"
#include "automation/readers/xml_scanner.h"

namespace tavrio::automation::readers {

class SheetParser {
 public:
  SheetParser(const SheetContext& context, CellSink& sink);

  // Hands over the next chunk of the part. Throws ReadFault for a damaged or refused sheet.
  void Feed(std::string_view chunk);
  // As Feed, for a chunk with kChunkHeadroom writable bytes in front of it (see ChunkConsumer):
  // the chunk is parsed where it lies rather than copied.
  void FeedInPlace(char* data, std::size_t size);
  // Declares the part complete; throws ReadFault when it ended inside an element.
  void Finish();

 private:
  struct Tracker;

  // Parses what `data` holds completely and returns how many bytes that was.
  std::size_t Drain(std::string_view data);

  SheetContext context_;
  CellSink& sink_;
  XmlScanner scanner_;
  std::optional<RowParser> rows_;  // while inside <sheetData>
  bool sheet_data_done_ = false;
  std::string buffer_;               // the unparsed end of what came so far
  std::string_view data_;            // what Drain is parsing
  std::uint64_t buffer_offset_ = 0;  // where buffer_[0] sits in the part
  std::size_t retry_size_ = 0;       // the buffer size at which to parse again
};

// Parses a whole worksheet part held in memory, as ReadSheet does with the inflated stream.
void ParseSheetXml(std::string_view xml, const SheetContext& context, CellSink& sink);

}  // namespace tavrio::automation::readers
