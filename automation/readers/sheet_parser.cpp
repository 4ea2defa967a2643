#include "automation/readers/sheet_parser.h"

#include <charconv>
#include <cstring>

#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::size_t kFeedChunk = 256 * 1024;

bool ParseIndex(std::string_view text, std::uint64_t& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool IsAttribute(pugi::xml_attribute attribute, char name) {
  const char* text = attribute.name();
  return text[0] == name && text[1] == '\0';
}

}  // namespace

// Follows the scanner through the part and marks where complete rows end.
struct SheetParser::Tracker {
  SheetParser& parser;

  void Opened(std::string_view name, std::size_t end, bool self_closing) {
    SheetParser& p = parser;
    if (p.in_sheet_data_) {
      if (self_closing && p.scanner_.depth() == p.sheet_data_depth_) p.rows_end_ = end;
    } else if (!p.sheet_data_done_ && !self_closing && name == "sheetData") {
      p.in_sheet_data_ = true;
      p.sheet_data_depth_ = p.scanner_.depth();
      p.rows_begin_ = p.rows_end_ = end;
    }
  }

  void Closed(std::string_view, std::size_t begin, std::size_t end) {
    SheetParser& p = parser;
    if (!p.in_sheet_data_) return;
    if (p.scanner_.depth() == p.sheet_data_depth_) {
      p.rows_end_ = end;
    } else if (p.scanner_.depth() < p.sheet_data_depth_) {
      p.ParseRows(p.rows_begin_, begin);
      p.in_sheet_data_ = false;
      p.sheet_data_done_ = true;
    }
  }
};

SheetParser::SheetParser(const SheetContext& context, CellSink& sink)
    : context_(context), sink_(sink), scanner_(context.part) {}

void SheetParser::Feed(std::string_view chunk) {
  buffer_.append(chunk);
  Tracker tracker{*this};
  scan_pos_ = scanner_.Scan(buffer_, scan_pos_, buffer_offset_, tracker);
  // Between rows nothing is open: what was scanned can go, however long, so that stray text
  // among the rows cannot make the buffer grow.
  if (in_sheet_data_ && scanner_.depth() == sheet_data_depth_) rows_end_ = scan_pos_;
  if (in_sheet_data_ && rows_end_ > rows_begin_) {
    ParseRows(rows_begin_, rows_end_);
    rows_begin_ = rows_end_;
  }
  Compact();
}

void SheetParser::Compact() {
  std::size_t keep = in_sheet_data_ ? rows_begin_ : scan_pos_;
  buffer_.erase(0, keep);
  buffer_offset_ += keep;
  scan_pos_ -= keep;
  if (in_sheet_data_) {
    rows_begin_ -= keep;
    rows_end_ -= keep;
  }
}

void SheetParser::Finish() {
  if (scan_pos_ != buffer_.size() || scanner_.depth() != 0) {
    throw ReadFault("文件已损坏：" + PartName(context_.part) + "不是有效的 XML：意外结束" +
                    AtOffset(buffer_offset_ + scan_pos_));
  }
}

void SheetParser::ParseRows(std::size_t begin, std::size_t end) {
  if (end <= begin) return;
  auto result = fragment_.load_buffer_inplace(buffer_.data() + begin, end - begin,
                                              kXmlParseFlags | pugi::parse_fragment,
                                              pugi::encoding_utf8);
  CheckParseResult(result, context_.part, buffer_offset_ + begin);
  for (pugi::xml_node row = fragment_.first_child(); row; row = row.next_sibling()) {
    if (IsNamed(row, "row")) Row(row);
  }
}

void SheetParser::Row(pugi::xml_node row) {
  std::uint64_t number = std::uint64_t{last_row_} + 1;
  if (const char* r = AttributeValue(row, "r")) {
    if (!ParseIndex(r, number) || number == 0) {
      throw ReadFault("文件已损坏：" + PartName(context_.part) + "中的行号“" + r + "”无效");
    }
  }
  if (number > kMaxRows) {
    throw ReadFault("超出限制：行号 " + std::to_string(number) +
                    " 超出工作表范围（最多 1048576 行）");
  }
  std::uint16_t column = 0;
  for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
    if (IsNamed(cell, "c")) Cell(cell, static_cast<std::uint32_t>(number), column);
  }
  last_row_ = static_cast<std::uint32_t>(number);
}

void SheetParser::Cell(pugi::xml_node cell, std::uint32_t row, std::uint16_t& column) {
  const char* reference = nullptr;
  const char* style_text = nullptr;
  const char* type = "n";
  for (pugi::xml_attribute a = cell.first_attribute(); a; a = a.next_attribute()) {
    if (IsAttribute(a, 'r')) reference = a.value();
    else if (IsAttribute(a, 's')) style_text = a.value();
    else if (IsAttribute(a, 't')) type = a.value();
  }
  if (reference != nullptr) {
    switch (ParseCellReference(reference, row, column)) {
      case ReferenceStatus::kValid:
        break;
      case ReferenceStatus::kMalformed:
        throw ReadFault("文件已损坏：" + PartName(context_.part) + "中的单元格引用“" +
                        reference + "”无效");
      case ReferenceStatus::kOutOfRange:
        throw ReadFault(std::string("超出限制：单元格引用“") + reference +
                        "”超出工作表范围（最多 1048576 行、16384 列）");
    }
  } else if (column == kMaxColumns) {
    throw ReadFault("超出限制：第 " + std::to_string(row) +
                    " 行的单元格超出工作表范围（最多 16384 列）");
  } else {
    ++column;
  }
  std::uint64_t style = 0;
  if (style_text != nullptr && !ParseIndex(style_text, style)) {
    CellFault(row, column, std::string("的样式编号“") + style_text + "”无效");
  }
  if (style >= context_.style_count) {
    CellFault(row, column, "的样式编号 " + std::to_string(style) + " 超出范围（共 " +
                               std::to_string(context_.style_count) + " 个样式）");
  }
  Value(cell, type, row, column, static_cast<std::uint32_t>(style));
}

std::string_view SheetParser::ValueText(pugi::xml_node node) {
  pugi::xml_node first = node.first_child();
  if (!first) return {};
  if (!first.next_sibling() &&
      (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata)) {
    return first.value();
  }
  text_.clear();
  AppendText(node, text_);
  return text_;
}

void SheetParser::Value(pugi::xml_node cell, std::string_view type, std::uint32_t row,
                        std::uint16_t column, std::uint32_t style) {
  pugi::xml_node v;
  pugi::xml_node inline_string;
  for (pugi::xml_node child = cell.first_child(); child; child = child.next_sibling()) {
    if (IsNamed(child, "v")) v = child;
    else if (IsNamed(child, "is")) inline_string = child;
  }
  if (type == "inlineStr") {
    if (!inline_string) {
      if (style != 0) sink_.Blank(row, column, style);
      return;
    }
    text_.clear();
    for (pugi::xml_node part = inline_string.first_child(); part; part = part.next_sibling()) {
      if (IsNamed(part, "t")) AppendText(part, text_);
      else if (IsNamed(part, "r")) AppendText(FirstChild(part, "t"), text_);
    }
    sink_.Text(row, column, DecodeEscapes(text_, scratch_), style);
    return;
  }
  // An empty <v/> is no value: formulas saved without their result look like this.
  std::string_view text = v ? ValueText(v) : std::string_view();
  if (!v || (text.empty() && type != "str")) {
    if (style != 0) sink_.Blank(row, column, style);
    return;
  }
  if (type == "n") {
    double number = 0;
    if (!ParseNumber(text, number)) CellFault(row, column, "的数值“" + std::string(text) + "”无效");
    sink_.Number(row, column, number, style);
  } else if (type == "s") {
    std::uint64_t index = 0;
    if (!ParseIndex(text, index)) {
      CellFault(row, column, "的共享字符串编号“" + std::string(text) + "”无效");
    }
    std::size_t count = context_.strings ? context_.strings->size() : 0;
    if (index >= count) {
      CellFault(row, column, "引用的共享字符串编号 " + std::to_string(index) + " 超出范围（共 " +
                                 std::to_string(count) + " 个）");
    }
    sink_.Text(row, column, (*context_.strings)[index], style);
  } else if (type == "str") {
    sink_.Text(row, column, DecodeEscapes(text, scratch_), style);
  } else if (type == "b") {
    if (text != "0" && text != "1" && text != "true" && text != "false") {
      CellFault(row, column, "的逻辑值“" + std::string(text) + "”无效");
    }
    sink_.Boolean(row, column, text == "1" || text == "true", style);
  } else if (type == "e") {
    sink_.ErrorValue(row, column, text, style);
  } else if (type == "d") {
    double serial = 0;
    if (!ParseIsoDate(text, context_.date1904, serial)) {
      CellFault(row, column, "的日期“" + std::string(text) + "”无效");
    }
    sink_.Number(row, column, serial, style);
  } else {
    CellFault(row, column, "的类型“" + std::string(type) + "”无法识别");
  }
}

void SheetParser::CellFault(std::uint32_t row, std::uint16_t column, std::string_view why) {
  std::string text = "文件已损坏：单元格 " + ColumnName(column) + std::to_string(row) + " ";
  text.append(why);
  throw ReadFault(text);
}

void ParseSheetXml(std::string_view xml, const SheetContext& context, CellSink& sink) {
  SheetParser parser(context, sink);
  for (std::size_t at = 0; at < xml.size(); at += kFeedChunk) {
    parser.Feed(xml.substr(at, kFeedChunk));
  }
  parser.Finish();
}

}  // namespace tavrio::automation::readers
