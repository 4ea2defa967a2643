#pragma once

// Streams the content.xml of an OpenDocument spreadsheet. The part arrives in chunks; between
// chunks only an unfinished row is kept, so memory is bounded by the longest row, never by the
// sheet. The scanner refuses declarations and absurd nesting as in every other part.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "automation/readers/xml_scanner.h"

namespace tavrio::automation::readers {

class OdsContentStream {
 public:
  // Lists the sheets (tables directly in office:spreadsheet) into `sheets`, with hidden ones
  // told by their table style's table:display="false". When `on_row` is set, every row element
  // of sheet `target` (0-based) is handed to it whole.
  OdsContentStream(std::string_view part, std::vector<SheetInfo>& sheets, std::size_t target,
                   std::function<void(std::string_view)> on_row);

  void Feed(std::string_view chunk);
  // Throws ReadFault when the part ended inside an element.
  void Finish();
  // True once the target sheet has been read to its end; the rest need not be inflated.
  bool TargetDone() const { return target_done_; }

  // The internals the scanner's visitor reaches.
  bool Opened(const ScannedTag& tag);
  bool Closed(std::string_view name, std::size_t begin, std::size_t end);

 private:
  std::string part_;
  std::vector<SheetInfo>& sheets_;
  std::size_t target_;
  std::function<void(std::string_view)> on_row_;
  XmlScanner scanner_;
  std::string buffer_;
  std::uint64_t buffer_offset_ = 0;
  std::size_t scan_pos_ = 0;
  int spreadsheet_depth_ = -1;
  int table_depth_ = -1;  // while inside a sheet-level table
  bool in_target_ = false;
  bool target_done_ = false;
  std::size_t row_begin_ = std::string::npos;  // while inside a row of the target
  int row_depth_ = -1;
  std::string table_style_;  // while inside <style:style style:family="table">
  std::unordered_set<std::string> hidden_styles_;
  std::vector<std::string> sheet_styles_;
};

}  // namespace tavrio::automation::readers
