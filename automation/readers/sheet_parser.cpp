#include "automation/readers/sheet_parser.h"

#include <cstring>
#include <utility>

#include "automation/base/ascii.h"
#include "automation/base/cell_address.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::size_t kFeedChunk = 256 * 1024;

// Hands a <mergeCell ref="B2:C3"/> to the sink. A range that is malformed, outside the sheet
// or a single cell merges nothing and is passed over: it only ever changed the look.
void MergedCell(const ScannedTag& tag, CellSink& sink) {
  CellRangeReference range;
  if (!ParseCellRange(tag.Attribute("ref"), range)) return;
  auto [first_row, first_column, last_row, last_column] = range;
  if (first_row > last_row) std::swap(first_row, last_row);
  if (first_column > last_column) std::swap(first_column, last_column);
  if (first_row == last_row && first_column == last_column) return;
  sink.MergedCells(first_row, static_cast<std::uint16_t>(first_column), last_row,
                   static_cast<std::uint16_t>(last_column));
}

}  // namespace

// Stops the scanner where <sheetData> opens, so that the row parser takes over, and reads the
// merged cells that follow it.
struct SheetParser::Tracker {
  SheetParser& parser;

  bool Opened(const ScannedTag& tag) {
    if (tag.name == "mergeCell") {
      MergedCell(tag, parser.sink_);
      return true;
    }
    if (parser.sheet_data_done_ || tag.self_closing || tag.name != "sheetData") return true;
    parser.rows_.emplace(parser.context_, parser.sink_, parser.scanner_.depth());
    return false;
  }
  bool Closed(std::string_view, std::size_t, std::size_t) { return true; }
};

SheetParser::SheetParser(const SheetContext& context, CellSink& sink)
    : context_(context), sink_(sink), scanner_(context.part) {}

void SheetParser::Feed(std::string_view chunk) {
  buffer_.append(chunk);
  // What stopped short is parsed again only once the buffer has doubled, so that a row longer
  // than many chunks costs time in proportion to its length, not to its length times the chunks.
  if (buffer_.size() >= retry_size_) {
    buffer_.erase(0, Drain(buffer_));
    retry_size_ = 2 * buffer_.size();
  }
}

void SheetParser::FeedInPlace(char* data, std::size_t size) {
  const std::size_t carried = buffer_.size();
  if (carried > kChunkHeadroom || carried + size < retry_size_) return Feed({data, size});
  // The unfinished row moves in front of the chunk, and the chunk is parsed where it lies.
  char* begin = data - carried;
  std::memcpy(begin, buffer_.data(), carried);
  const std::string_view view(begin, carried + size);
  buffer_.assign(view.substr(Drain(view)));
  retry_size_ = 2 * buffer_.size();
}

std::size_t SheetParser::Drain(std::string_view data) {
  data_ = data;
  std::size_t pos = 0;
  while (true) {
    if (rows_) {
      bool ended = false;
      pos = rows_->Parse(data_, pos, buffer_offset_, ended);
      if (!ended) break;
      rows_.reset();
      sheet_data_done_ = true;
      scanner_.LeaveElement();
    }
    Tracker tracker{*this};
    pos = scanner_.Scan(data_, pos, buffer_offset_, tracker);
    if (!rows_) break;
  }
  buffer_offset_ += pos;
  return pos;
}

void SheetParser::Finish() {
  if (!buffer_.empty()) buffer_.erase(0, Drain(buffer_));
  if (rows_ || !buffer_.empty() || scanner_.depth() != 0) {
    throw ReadFault("文件已损坏：" + PartName(context_.part) + "不是有效的 XML：意外结束" +
                    AtOffset(buffer_offset_));
  }
}

void ParseSheetXml(std::string_view xml, const SheetContext& context, CellSink& sink) {
  SheetParser parser(context, sink);
  for (std::size_t at = 0; at < xml.size(); at += kFeedChunk) {
    parser.Feed(xml.substr(at, kFeedChunk));
  }
  parser.Finish();
}

}  // namespace tavrio::automation::readers
