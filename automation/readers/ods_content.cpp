#include "automation/readers/ods_content.h"

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
OdsContentStream::OdsContentStream(std::string_view part, std::vector<SheetInfo>& sheets,
                                   std::size_t target, std::function<void(std::string_view)> on_row)
    : part_(part), sheets_(sheets), target_(target), on_row_(std::move(on_row)), scanner_(part_) {}

bool OdsContentStream::Opened(const ScannedTag& tag) {
  const std::string_view name = tag.name;
  const bool self_closing = tag.self_closing;
  const int level = self_closing ? scanner_.depth() + 1 : scanner_.depth();
  if (name == "table-row") {
    if (!in_target_ || row_begin_ != std::string::npos) return true;
    if (self_closing) {
      on_row_(std::string_view(buffer_).substr(tag.begin, tag.end - tag.begin));
    } else {
      row_begin_ = tag.begin;
      row_depth_ = level;
    }
    return true;
  }
  if (name == "spreadsheet" && spreadsheet_depth_ < 0) {
    spreadsheet_depth_ = level;
  } else if (name == "style" && !self_closing && spreadsheet_depth_ < 0) {
    if (tag.Attribute("style:family") == "table") table_style_ = tag.Attribute("style:name");
  } else if (name == "table-properties" && !table_style_.empty()) {
    if (tag.Attribute("table:display") == "false") hidden_styles_.insert(table_style_);
  } else if (name == "table" && spreadsheet_depth_ >= 0 && level == spreadsheet_depth_ + 1) {
    std::string sheet_name = tag.Attribute("table:name");
    if (sheet_name.empty()) sheet_name = "Sheet" + std::to_string(sheets_.size() + 1);
    const bool hidden = hidden_styles_.contains(tag.Attribute("table:style-name"));
    sheets_.push_back({std::move(sheet_name), hidden});
    const bool target = on_row_ && sheets_.size() - 1 == target_;
    if (target && self_closing) {
      target_done_ = true;
      return false;
    }
    if (!self_closing) {
      table_depth_ = level;
      in_target_ = target;
    }
  }
  return true;
}

bool OdsContentStream::Closed(std::string_view name, std::size_t /*begin*/, std::size_t end) {
  const int level = scanner_.depth() + 1;
  if (name == "table-row" && row_begin_ != std::string::npos && level == row_depth_) {
    on_row_(std::string_view(buffer_).substr(row_begin_, end - row_begin_));
    row_begin_ = std::string::npos;
  } else if (name == "style") {
    table_style_.clear();
  } else if (name == "table" && level == table_depth_) {
    table_depth_ = -1;
    if (in_target_) {
      in_target_ = false;
      target_done_ = true;
      return false;
    }
  }
  return true;
}

void OdsContentStream::Feed(std::string_view chunk) {
  if (target_done_) return;
  buffer_.append(chunk);
  const std::size_t stop = scanner_.Scan(buffer_, scan_pos_, buffer_offset_, *this);
  const std::size_t keep = row_begin_ != std::string::npos ? row_begin_ : stop;
  buffer_.erase(0, keep);
  buffer_offset_ += keep;
  scan_pos_ = stop - keep;
  if (row_begin_ != std::string::npos) row_begin_ = 0;
}

void OdsContentStream::Finish() {
  if (target_done_) return;
  if (scanner_.depth() != 0 || scan_pos_ < buffer_.size()) {
    throw ReadFault("文件已损坏：" + PartName(part_) + "不是有效的 XML：意外结束" +
                    AtOffset(buffer_offset_ + scan_pos_));
  }
}

}  // namespace tavrio::automation::readers
