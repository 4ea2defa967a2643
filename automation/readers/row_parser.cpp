#include "automation/readers/row_parser.h"

#include <charconv>
#include <cstring>

#include "automation/base/ascii.h"
#include "automation/base/cell_address.h"
#include "automation/base/formula_shift.h"
#include "automation/base/sheet_limits.h"
#include "automation/base/utf8.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xml_scanner.h"

namespace tavrio::automation::readers {
namespace {

// Thrown when the data ends inside the construct being parsed; the row is parsed again, whole,
// once the next chunk has arrived.
struct NeedMore {};

constexpr std::string_view kCdata = "<![CDATA[";
constexpr std::string_view kMismatch = "开始标签与结束标签不匹配";

// Whether `data` holds `literal` at `pos`: a compare of a fixed size, which the compiler
// unrolls, where string_view::compare calls into the library for a few bytes of every cell.
template <std::size_t N>
bool HasAt(std::string_view data, std::size_t pos, const char (&literal)[N]) {
  return pos <= data.size() && data.size() - pos >= N - 1 &&
         std::memcmp(data.data() + pos, literal, N - 1) == 0;
}

std::string_view Local(std::string_view name) {
  std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

CellType TypeOf(bool has_type, std::string_view type) {
  if (!has_type) return CellType::kNumber;
  if (type.size() == 1) {
    switch (type[0]) {
      case 'n':
        return CellType::kNumber;
      case 's':
        return CellType::kShared;
      case 'b':
        return CellType::kBoolean;
      case 'e':
        return CellType::kError;
      case 'd':
        return CellType::kDate;
    }
  }
  if (type == "str") return CellType::kFormulaText;
  if (type == "inlineStr") return CellType::kInline;
  return CellType::kUnknown;
}

bool ParseUnsigned(std::string_view text, std::uint64_t& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The code point of a character reference's body ("#65", "#x41"), or 0 when invalid.
std::uint32_t CharacterReference(std::string_view body) {
  std::uint32_t code = 0;
  int base = 10;
  body.remove_prefix(1);
  if (!body.empty() && body.front() == 'x') {
    base = 16;
    body.remove_prefix(1);
  }
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), code, base);
  bool valid = ec == std::errc() && end == body.data() + body.size() && !body.empty() && code > 0 &&
               code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  return valid ? code : 0;
}

}  // namespace

struct RowParser::Tag {
  std::size_t begin = 0;  // the '<'
  std::size_t end = 0;    // just past the '>'
  std::string_view name;  // local name
  bool self_closing = false;
  std::string_view r, s, t;  // the attributes a row or cell uses
  bool has_r = false, has_s = false, has_t = false;
  std::string_view ht, custom_height;  // a row's own height
  std::string_view si;                 // a shared formula's index
};

namespace {

// Only a height the user set counts: one without customHeight is what the application
// measured for the row's font, and it measures again.
double RowHeightOf(std::string_view ht, std::string_view custom_height) {
  if (custom_height != "1" && custom_height != "true") return -1;
  double points = 0;
  if (!ParseNumber(ht, points) || points < 0 || points > 409) return -1;
  return points;
}

}  // namespace

RowParser::RowParser(const SheetContext& context, CellSink& sink, int depth)
    : context_(context), sink_(sink), base_depth_(depth) {}

std::size_t RowParser::NextTag(std::size_t pos) const {
  // Markup mostly follows markup directly; memchr only pays off across text.
  if (pos < data_.size() && data_[pos] == '<') return pos;
  const void* found = std::memchr(data_.data() + pos, '<', data_.size() - pos);
  if (found == nullptr) throw NeedMore{};
  return static_cast<const char*>(found) - data_.data();
}

char RowParser::At(std::size_t pos) const {
  if (pos >= data_.size()) throw NeedMore{};
  return data_[pos];
}

void RowParser::Malformed(std::size_t pos, std::string_view why) const {
  throw ReadFault("文件已损坏：" + PartName(context_.part) + "不是有效的 XML：" + std::string(why) +
                  AtOffset(base_ + pos));
}

void RowParser::CellFault(std::uint32_t row, std::uint16_t column, std::string_view why) const {
  throw ReadFault("文件已损坏：单元格 " + CellReference(row, column) + " " + std::string(why));
}

void RowParser::Enter(std::size_t at) {
  if (base_depth_ + ++depth_ > kMaxXmlDepth) ThrowNestingFault(context_.part, base_ + at);
}

std::size_t RowParser::Parse(std::string_view data, std::size_t pos, std::uint64_t base,
                             bool& ended) {
  data_ = data;
  base_ = base;
  ended = false;
  while (pos < data_.size() && !ended) {
    std::size_t start = pos;
    try {
      pos = Step(pos, ended);
    } catch (const NeedMore&) {
      return start;
    }
  }
  return pos;
}

std::size_t RowParser::Step(std::size_t pos, bool& ended) {
  depth_ = 0;
  const void* found = std::memchr(data_.data() + pos, '<', data_.size() - pos);
  if (found == nullptr) return data_.size();  // text between rows means nothing
  std::size_t at = static_cast<const char*>(found) - data_.data();
  // Text is consumed on its own, so that a part cut short is reported at the same byte however
  // the chunks fell.
  if (at > pos) return at;
  char next = At(at + 1);
  if (next == '/') {
    // Only once the whole end tag is here: a </sheetData> cut by the end of a chunk is read
    // again with the next one, and must not end the rows twice.
    std::size_t after = EndTag(at, "sheetData");
    ended = true;
    return after;
  }
  if (next == '!' || next == '?') return SkipMarkup(at);
  Tag tag;
  StartTag(at, tag);
  return tag.name == "row" ? Row(tag) : SkipElement(tag);
}

std::size_t RowParser::Row(const Tag& tag) {
  cells_.clear();
  texts_.clear();
  std::uint64_t number = std::uint64_t{last_row_} + 1;
  if (tag.has_r && (!ParseUnsigned(tag.r, number) || number == 0)) {
    throw ReadFault("文件已损坏：" + PartName(context_.part) + "中的行号“" + std::string(tag.r) +
                    "”无效");
  }
  if (number > kMaxRows) {
    throw ReadFault("超出限制：行号 " + std::to_string(number) +
                    " 超出工作表范围（最多 1048576 行）");
  }
  const auto row = static_cast<std::uint32_t>(number);
  row_height_ = RowHeightOf(tag.ht, tag.custom_height);
  std::size_t pos = tag.end;
  if (!tag.self_closing) {
    Enter(tag.begin);
    std::uint16_t column = 0;
    while (true) {
      std::size_t at = NextTag(pos);
      char next = At(at + 1);
      if (next == '/') {
        pos = EndTag(at, "row");
        break;
      }
      if (next == '!' || next == '?') {
        pos = SkipMarkup(at);
        continue;
      }
      if (next == 'c' && FastCell(at, column, pos)) continue;
      Tag child;
      StartTag(at, child);
      pos = child.name == "c" ? CellElement(child, row, column) : SkipElement(child);
    }
  }
  last_row_ = row;
  Emit();
  return pos;
}

std::size_t RowParser::CellElement(const Tag& tag, std::uint32_t row, std::uint16_t& column) {
  if (tag.has_r) {
    std::uint32_t referenced_column = 0;
    switch (ParseCellReference(tag.r, row, referenced_column)) {
      case ReferenceStatus::kValid:
        column = static_cast<std::uint16_t>(referenced_column);
        break;
      case ReferenceStatus::kMalformed:
        throw ReadFault("文件已损坏：" + PartName(context_.part) + "中的单元格引用“" +
                        std::string(tag.r) + "”无效");
      case ReferenceStatus::kOutOfRange:
        throw ReadFault("超出限制：单元格引用“" + std::string(tag.r) +
                        "”超出工作表范围（最多 1048576 行、16384 列）");
    }
  } else if (column == kMaxColumns) {
    throw ReadFault("超出限制：第 " + std::to_string(row) +
                    " 行的单元格超出工作表范围（最多 16384 列）");
  } else {
    ++column;
  }
  std::uint64_t style = 0;
  // s="" is written by some programs for the default style, and desktop applications take it so.
  if (tag.has_s && !tag.s.empty() && !ParseUnsigned(tag.s, style)) {
    CellFault(row, column, "的样式编号“" + std::string(tag.s) + "”无效");
  }
  if (style >= context_.style_count) {
    CellFault(row, column,
              "的样式编号 " + std::to_string(style) + " 超出范围（共 " +
                  std::to_string(context_.style_count) + " 个样式）");
  }
  const CellType type = TypeOf(tag.has_t, tag.t);
  if (type == CellType::kUnknown) {
    CellFault(row, column, "的类型“" + std::string(tag.t) + "”无法识别");
  }
  const std::string_view value_element = type == CellType::kInline ? "is" : "v";
  bool has_value = false;
  value_.clear();
  has_formula_ = false;
  formula_.clear();
  std::string_view value;
  std::size_t pos = tag.end;
  if (!tag.self_closing && type != CellType::kInline && PlainValue(tag.end, value, pos)) {
    Enter(tag.begin);  // the same nesting limit as the general path below
    --depth_;
    has_value = true;
  } else if (!tag.self_closing) {
    pos = CellChildren(tag, value_element, has_value);
    value = value_;
  }
  Cell cell{row, column, static_cast<std::uint32_t>(style), Kind::kBlank, 0, 0, 0};
  if (has_formula_) AddFormula(cell);
  // An empty <v/> is no value: formulas saved without their result look like this.
  if (!has_value ||
      (value.empty() && type != CellType::kFormulaText && type != CellType::kInline)) {
    if (style != 0 || cell.formula_size != 0) cells_.push_back(cell);
    return pos;
  }
  Store(cell, value, type);
  return pos;
}

// Reads the children of a cell up to its end tag, the value element's text into value_, and
// returns the position past the end tag.
std::size_t RowParser::CellChildren(const Tag& tag, std::string_view value_element,
                                    bool& has_value) {
  Enter(tag.begin);
  std::size_t pos = tag.end;
  while (true) {
    std::size_t at = NextTag(pos);
    char next = At(at + 1);
    if (next == '/') {
      pos = EndTag(at, "c");
      break;
    }
    if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
      continue;
    }
    Tag child;
    StartTag(at, child);
    bool wanted = child.name == value_element;
    if (wanted) has_value = true;
    if (child.name == "f") {
      has_formula_ = true;
      formula_type_ = child.t;
      formula_index_ = child.si;
      pos = Text(child.end, child.self_closing ? std::string_view() : "f", formula_);
    } else if (!wanted) {
      pos = SkipElement(child);
    } else if (child.name == "is") {
      pos = InlineString(child, value_);
    } else {
      pos = Text(child.end, child.self_closing ? std::string_view() : "v", value_);
    }
  }
  --depth_;
  return pos;
}

// The shape nearly every cell a spreadsheet application writes has: "<v>text</v></c>" right
// after the cell's start tag, with nothing to decode in the text. Then the value is a view of
// the buffer and `end` is past "</c>"; anything else (a formula, a prefix, an entity, the data
// ending early) returns false and leaves the cell to the general path.
bool RowParser::PlainValue(std::size_t pos, std::string_view& value, std::size_t& end) const {
  if (!HasAt(data_, pos, "<v>")) return false;
  const std::size_t begin = pos + 3;
  // A value is a few bytes: one loop finds its end and what would need decoding.
  std::size_t close = begin;
  for (; close < data_.size() && data_[close] != '<'; ++close) {
    if (data_[close] == '&' || data_[close] == '\r') return false;
  }
  if (!HasAt(data_, close, "</v></c>")) return false;
  value = data_.substr(begin, close - begin);
  end = close + 8;
  return true;
}

void RowParser::Store(Cell cell, std::string_view text, CellType type) {
  std::string scratch;
  if (type == CellType::kNumber) {
    cell.kind = Kind::kNumber;
    if (!ParseNumber(text, cell.number)) {
      CellFault(cell.row, cell.column, "的数值“" + std::string(text) + "”无效");
    }
  } else if (type == CellType::kShared) {
    cell.kind = Kind::kShared;
    std::uint64_t index = 0;
    if (!ParseUnsigned(text, index)) {
      CellFault(cell.row, cell.column, "的共享字符串编号“" + std::string(text) + "”无效");
    }
    std::size_t count = context_.strings ? context_.strings->size() : 0;
    if (index >= count) {
      CellFault(cell.row, cell.column,
                "引用的共享字符串编号 " + std::to_string(index) + " 超出范围（共 " +
                    std::to_string(count) + " 个）");
    }
    cell.text_begin = index;
  } else if (type == CellType::kFormulaText || type == CellType::kInline ||
             type == CellType::kError) {
    cell.kind = type == CellType::kError ? Kind::kError : Kind::kText;
    std::string_view decoded = type == CellType::kError ? text : DecodeEscapes(text, scratch);
    cell.text_begin = texts_.size();
    cell.text_size = decoded.size();
    texts_.append(decoded);
  } else if (type == CellType::kBoolean) {
    cell.kind = Kind::kBoolean;
    if (text != "0" && text != "1" && text != "true" && text != "false") {
      CellFault(cell.row, cell.column, "的逻辑值“" + std::string(text) + "”无效");
    }
    cell.number = text == "1" || text == "true";
  } else {
    cell.kind = Kind::kNumber;
    if (!ParseIsoDate(text, context_.date1904, cell.number)) {
      CellFault(cell.row, cell.column, "的日期“" + std::string(text) + "”无效");
    }
  }
  cells_.push_back(cell);
}

void RowParser::Emit() {
  EmitCells();
  if (row_height_ >= 0) sink_.RowHeight(last_row_, row_height_);
}

// A shared formula is written out only in its first cell; the others get it moved by their
// distance from that cell. Array and data-table formulas keep only their results: their text
// means something only over the whole range they fill.
void RowParser::AddFormula(Cell& cell) {
  std::string text;
  if (formula_type_.empty() || formula_type_ == "normal") {
    text = formula_;
  } else if (formula_type_ == "shared" && !formula_.empty()) {
    shared_formulas_[formula_index_] = SharedFormula{formula_, cell.row, cell.column};
    text = formula_;
  } else if (formula_type_ == "shared") {
    const auto found = shared_formulas_.find(formula_index_);
    if (found == shared_formulas_.end()) return;
    const SharedFormula& first = found->second;
    text = ShiftFormula(first.text, std::int64_t{cell.row} - first.row,
                        std::int64_t{cell.column} - first.column);
  }
  if (text.empty()) return;
  // A formula is escaped as a cell's text is: its string literals may hold any character.
  std::string scratch;
  const std::string_view decoded = DecodeEscapes(text, scratch);
  cell.formula_begin = texts_.size();
  cell.formula_size = decoded.size();
  texts_ += decoded;
}

void RowParser::EmitCells() {
  sink_cells_.clear();
  for (const Cell& c : cells_) {
    SinkCell& out = sink_cells_.emplace_back();
    out = SinkCell{c.row, c.column, SinkCell::Kind::kBlank, c.style, 0, c.number, {}, {}};
    if (c.formula_size != 0) {
      out.formula = std::string_view(texts_).substr(c.formula_begin, c.formula_size);
    }
    switch (c.kind) {
      case Kind::kNumber:
        out.kind = SinkCell::Kind::kNumber;
        break;
      case Kind::kShared:
        out.kind = SinkCell::Kind::kSharedText;
        out.shared_index = static_cast<std::uint32_t>(c.text_begin);
        out.text = (*context_.strings)[out.shared_index];
        break;
      case Kind::kText:
      case Kind::kError:
        out.kind = c.kind == Kind::kText ? SinkCell::Kind::kText : SinkCell::Kind::kError;
        out.text = std::string_view(texts_).substr(c.text_begin, c.text_size);
        break;
      case Kind::kBoolean:
        out.kind = SinkCell::Kind::kBoolean;
        break;
      case Kind::kBlank:
        break;
    }
  }
  if (!sink_cells_.empty()) sink_.Cells(sink_cells_);
}

std::size_t RowParser::InlineString(const Tag& tag, std::string& out) {
  if (tag.self_closing) return tag.end;
  Enter(tag.begin);
  std::size_t pos = tag.end;
  std::string_view container = "is";
  while (true) {
    std::size_t at = NextTag(pos);
    char next = At(at + 1);
    if (next == '/') {
      pos = EndTag(at, container);
      --depth_;
      if (container == "is") break;
      container = "is";  // a run ended
      continue;
    }
    if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
      continue;
    }
    Tag child;
    StartTag(at, child);
    if (child.name == "t") {
      pos = Text(child.end, child.self_closing ? std::string_view() : "t", out);
    } else if (child.name == "r" && container == "is" && !child.self_closing) {
      Enter(child.begin);
      container = "r";
      pos = child.end;
    } else {
      pos = SkipElement(child);  // run properties, phonetic guides
    }
  }
  return pos;
}

// Appends the text of an element up to its end tag `name` (empty: the element was
// self-closing, so there is none) and returns the position past that end tag.
std::size_t RowParser::Text(std::size_t pos, std::string_view name, std::string& out) {
  if (name.empty()) return pos;
  while (true) {
    std::size_t at = NextTag(pos);
    AppendDecoded(pos, at, out);
    char next = At(at + 1);
    if (next == '/') return EndTag(at, name);
    if (next == '!' && At(at + 2) == '[') {
      for (std::size_t i = 3; i < kCdata.size(); ++i) {
        if (At(at + i) != kCdata[i]) Malformed(at, "CDATA 段有误");
      }
      std::size_t close = data_.find("]]>", at + kCdata.size());
      if (close == std::string_view::npos) throw NeedMore{};
      out.append(data_.substr(at + kCdata.size(), close - at - kCdata.size()));
      pos = close + 3;
    } else if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
    } else {
      Tag child;
      StartTag(at, child);
      pos = SkipElement(child);
    }
  }
}

void RowParser::AppendDecoded(std::size_t begin, std::size_t end, std::string& out) {
  std::string_view text = data_.substr(begin, end - begin);
  std::size_t special = 0;
  while (special < text.size() && text[special] != '&' && text[special] != '\r') ++special;
  if (special == text.size()) {
    out.append(text);
    return;
  }
  out.append(text.substr(0, special));
  for (std::size_t i = special; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') out.push_back('\n');
      continue;
    }
    if (c != '&') {
      out.push_back(c);
      continue;
    }
    std::size_t semicolon = text.find(';', i);
    if (semicolon == std::string_view::npos || semicolon - i > 12) {
      Malformed(begin + i, "实体引用有误");
    }
    std::string_view entity = text.substr(i + 1, semicolon - i - 1);
    if (entity == "amp")
      out.push_back('&');
    else if (entity == "lt")
      out.push_back('<');
    else if (entity == "gt")
      out.push_back('>');
    else if (entity == "quot")
      out.push_back('"');
    else if (entity == "apos")
      out.push_back('\'');
    else if (std::uint32_t code = entity.starts_with('#') ? CharacterReference(entity) : 0) {
      AppendUtf8(code, out);
    } else {
      Malformed(begin + i, "实体引用有误");
    }
    i = semicolon;
  }
}

std::size_t RowParser::SkipElement(const Tag& tag) {
  if (tag.self_closing) return tag.end;
  Enter(tag.begin);
  int open = 1;
  std::size_t pos = tag.end;
  while (open > 0) {
    std::size_t at = NextTag(pos);
    char next = At(at + 1);
    if (next == '/') {
      pos = EndTag(at, {});
      --open;
      --depth_;
    } else if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
    } else {
      Tag child;
      pos = StartTag(at, child);
      if (!child.self_closing) {
        Enter(at);
        ++open;
      }
    }
  }
  return pos;
}

std::size_t RowParser::SkipMarkup(std::size_t at) {
  static constexpr std::string_view kComment = "<!--";
  std::string_view close;
  std::size_t from = 0;
  if (At(at + 1) == '?') {
    close = "?>", from = at + 2;
  } else if (At(at + 2) == '-') {
    if (At(at + 3) != '-') Malformed(at, "注释有误");
    close = "-->", from = at + kComment.size();
  } else if (At(at + 2) == '[') {
    for (std::size_t i = 3; i < kCdata.size(); ++i) {
      if (At(at + i) != kCdata[i]) Malformed(at, "CDATA 段有误");
    }
    close = "]]>", from = at + kCdata.size();
  } else {
    ThrowDeclarationFault(context_.part, base_ + at);
  }
  std::size_t end = data_.find(close, from);
  if (end == std::string_view::npos) throw NeedMore{};
  return end + close.size();
}

// Where the element or attribute name starting at `i` ends: one bounds check for the loop
// rather than At()'s on every character, since a start tag is parsed for every cell.
std::size_t RowParser::NameEnd(std::size_t i, bool attribute) const {
  const char* data = data_.data();
  const std::size_t size = data_.size();
  for (; i < size; ++i) {
    const char c = data[i];
    if (IsXmlSpace(c) || c == '>' || c == '/' || (attribute && c == '=')) return i;
  }
  throw NeedMore{};
}

std::size_t RowParser::StartTag(std::size_t at, Tag& tag) {
  tag.begin = at;
  std::size_t i = NameEnd(at + 1, false);
  if (i == at + 1) Malformed(at, "开始标签有误");
  tag.name = Local(data_.substr(at + 1, i - at - 1));
  while (true) {
    char c = At(i);
    if (IsXmlSpace(c)) {
      ++i;
    } else if (c == '>') {
      tag.end = i + 1;
      return tag.end;
    } else if (c == '/') {
      if (At(i + 1) != '>') Malformed(i, "开始标签有误");
      tag.self_closing = true;
      tag.end = i + 2;
      return tag.end;
    } else {
      std::size_t name_begin = i;
      i = NameEnd(i, true);
      std::string_view name = data_.substr(name_begin, i - name_begin);
      while (IsXmlSpace(At(i))) ++i;
      if (name.empty() || At(i) != '=') Malformed(i, "属性有误");
      while (IsXmlSpace(At(++i))) {
      }
      char quote = At(i);
      if (quote != '"' && quote != '\'') Malformed(i, "属性有误");
      // Attribute values are short; a plain loop beats a library call for each.
      std::size_t close = i + 1;
      while (close < data_.size() && data_[close] != quote) ++close;
      if (close == data_.size()) throw NeedMore{};
      std::string_view value = data_.substr(i + 1, close - i - 1);
      if (name == "r")
        tag.r = value, tag.has_r = true;
      else if (name == "s")
        tag.s = value, tag.has_s = true;
      else if (name == "t")
        tag.t = value, tag.has_t = true;
      else if (name == "ht")
        tag.ht = value;
      else if (name == "customHeight")
        tag.custom_height = value;
      else if (name == "si")
        tag.si = value;
      i = close + 1;
    }
  }
}

// Parses the end tag at `at` and checks that it closes `expected` (any element when empty).
std::size_t RowParser::EndTag(std::size_t at, std::string_view expected) {
  std::size_t i = at + 2;
  if (!expected.empty() && i + expected.size() < data_.size() &&
      data_.compare(i, expected.size(), expected) == 0 && data_[i + expected.size()] == '>') {
    return i + expected.size() + 1;
  }
  for (char c = At(i); !IsXmlSpace(c) && c != '>'; c = At(++i)) {
  }
  std::string_view name = Local(data_.substr(at + 2, i - at - 2));
  while (IsXmlSpace(At(i))) ++i;
  if (At(i) != '>' || name.empty()) Malformed(at, "结束标签有误");
  if (!expected.empty() && name != expected) Malformed(at, kMismatch);
  return i + 1;
}

}  // namespace tavrio::automation::readers
