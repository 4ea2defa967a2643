#include "automation/readers/sheet_parser.h"

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::size_t kFeedChunk = 256 * 1024;

}  // namespace

// Stops the scanner where <sheetData> opens, so that the row parser takes over.
struct SheetParser::Tracker {
  SheetParser& parser;

  bool Opened(std::string_view name, std::size_t, bool self_closing) {
    if (parser.sheet_data_done_ || self_closing || name != "sheetData") return true;
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
  if (buffer_.size() >= retry_size_) Drain();
}

void SheetParser::Drain() {
  while (true) {
    if (rows_) {
      bool ended = false;
      scan_pos_ = rows_->Parse(buffer_, scan_pos_, buffer_offset_, ended);
      if (!ended) break;
      rows_.reset();
      sheet_data_done_ = true;
      scanner_.LeaveElement();
    }
    Tracker tracker{*this};
    scan_pos_ = scanner_.Scan(buffer_, scan_pos_, buffer_offset_, tracker);
    if (!rows_) break;
  }
  buffer_.erase(0, scan_pos_);
  buffer_offset_ += scan_pos_;
  scan_pos_ = 0;
  retry_size_ = 2 * buffer_.size();
}

void SheetParser::Finish() {
  if (!buffer_.empty()) Drain();
  if (rows_ || !buffer_.empty() || scanner_.depth() != 0) {
    throw ReadFault("文件已损坏：" + PartName(context_.part) + "不是有效的 XML：意外结束" +
                    AtOffset(buffer_offset_ + scan_pos_));
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
