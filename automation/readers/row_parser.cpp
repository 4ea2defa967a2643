#include "automation/readers/row_parser.h"

#include <array>
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
constexpr std::string_view kValue = "v";
constexpr std::string_view kInlineValue = "is";
constexpr std::string_view kMismatch = "开始标签与结束标签不匹配";

// Whether `data` holds `literal` at `pos`: a compare of a fixed size, which the compiler
// unrolls, where string_view::compare calls into the library for a few bytes of every cell.
template <std::size_t N>
bool HasAt(std::string_view data, std::size_t pos, const char (&literal)[N]) {
  return pos <= data.size() && data.size() - pos >= N - 1 &&
         std::memcmp(data.data() + pos, literal, N - 1) == 0;
}

// Whether `data` begins with `expected`: a loop for the few bytes of a tag name, where
// memcmp with a length unknown at compile time is a library call.
bool SameBytes(const char* data, std::string_view expected) {
  for (std::size_t k = 0; k < expected.size(); ++k) {
    if (data[k] != expected[k]) return false;
  }
  return true;
}

// The bytes that end an element or attribute name: XML's white space, '>', '/' and '='.
constexpr std::array<bool, 256> kEndsName = [] {
  std::array<bool, 256> ends{};
  for (const char c : {' ', '\t', '\r', '\n', '>', '/', '='})
    ends[static_cast<unsigned char>(c)] = true;
  return ends;
}();

// The bytes that end a text that can be taken as it stands: markup, an entity, a carriage
// return (which XML reads as a line feed).
constexpr std::array<bool, 256> kEndsPlainText = [] {
  std::array<bool, 256> ends{};
  for (const char c : {'<', '&', '\r'}) ends[static_cast<unsigned char>(c)] = true;
  return ends;
}();

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

// Decimal digits only, as from_chars takes them for an unsigned type; a loop the compiler
// inlines, since a cell's style and shared-string index are read for nearly every cell.
bool ParseUnsigned(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  std::uint64_t result = 0;
  for (const char c : text) {
    const unsigned digit = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
    if (digit > 9 || __builtin_mul_overflow(result, 10, &result) ||
        __builtin_add_overflow(result, digit, &result)) {
      return false;
    }
  }
  value = result;
  return true;
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
  KeyAttributes keys;                  // r, s and t
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

// Keeps r, s or t, the attributes that say where a cell or row stands and what its value is;
// false for any other.
bool RowParser::TakeKeyAttribute(std::string_view name, std::string_view value,
                                 KeyAttributes& keys) {
  if (name.size() != 1) return false;
  switch (name[0]) {
    case 'r':
      keys.r = value, keys.has_r = true;
      return true;
    case 's':
      keys.s = value, keys.has_s = true;
      return true;
    case 't':
      keys.t = value, keys.has_t = true;
      return true;
  }
  return false;
}

// Keeps the attributes a row or cell uses.
void RowParser::TakeAttribute(std::string_view name, std::string_view value, Tag& tag) {
  if (TakeKeyAttribute(name, value, tag.keys)) return;
  if (name == "si") {
    tag.si = value;
  } else if (name == "ht") {
    tag.ht = value;
  } else if (name == "customHeight") {
    tag.custom_height = value;
  }
}

// Reads the attributes of a start tag from `i`, past its name, handing each to `take`; returns
// the position past the tag.
template <typename Take>
std::size_t RowParser::Attributes(std::size_t i, bool& self_closing, Take&& take) {
  while (true) {
    const char c = At(i);
    if (c == '>') return i + 1;
    if (c == '/') {
      if (At(i + 1) != '>') Malformed(i, "开始标签有误");
      self_closing = true;
      return i + 2;
    }
    if (IsXmlSpace(c)) {
      ++i;
      continue;
    }
    std::string_view name;
    std::string_view value;
    i = Attribute(i, name, value);
    take(name, value);
  }
}

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
  const KeyAttributes& keys = tag.keys;
  if (keys.has_r && (!ParseUnsigned(keys.r, number) || number == 0)) {
    throw ReadFault("文件已损坏：" + PartName(context_.part) + "中的行号“" + std::string(keys.r) +
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
      // "<c " is matched at once: it opens nearly every child of a row.
      const std::size_t name_end = HasAt(data_, at, "<c ") ? at + 2 : NameEnd(at + 1);
      if (name_end == at + 2 || Local(data_.substr(at + 1, name_end - at - 1)) == "c") {
        pos = CellElement(at, name_end, row, column);
      } else {
        Tag child;
        StartTag(at, child);
        pos = SkipElement(child);
      }
    }
  }
  last_row_ = row;
  Emit();
  return pos;
}

// Reads the cell whose start tag is at `at`, its name ending at `name_end`.
//
// Every cell of every sheet passes here, so the steps below that it calls are inlined into it
// ([[gnu::always_inline]]): 7% fewer instructions for reading three files of the million set
// (3.02 G against 2.80 G, `valgrind --tool=callgrind bench/harness/tavrio-bench-merge` on
// million-_0001..3.xlsx in a Release build), which GCC's own heuristics left as calls. Its
// attributes are read here rather than through StartTag, straight into what the cell needs: this
// runs for every cell of every sheet.
std::size_t RowParser::CellElement(std::size_t at, std::size_t name_end, std::uint32_t row,
                                   std::uint16_t& column) {
  KeyAttributes tag;
  bool self_closing = false;
  std::size_t pos = Attributes(name_end, self_closing, [&tag](auto name, auto value) {
    TakeKeyAttribute(name, value, tag);
  });
  CellPlace(tag, row, column);
  Cell cell{row, column, CellStyle(tag, row, column), Kind::kBlank, 0, 0, 0};
  const CellType type = TypeOf(tag.has_t, tag.t);
  if (type == CellType::kUnknown) {
    CellFault(row, column, "的类型“" + std::string(tag.t) + "”无法识别");
  }
  CellContent content;
  if (!self_closing) pos = CellChildren(at, pos, type, content);
  if (content.has_formula) AddFormula(cell, content);
  // An empty <v/> is no value: formulas saved without their result look like this.
  if (!content.has_value ||
      (content.value.empty() && type != CellType::kFormulaText && type != CellType::kInline)) {
    if (cell.style != 0 || cell.formula_size != 0) cells_.push_back(cell);
    return pos;
  }
  Store(cell, content.value, type);
  return pos;
}

// Where the cell stands: its own reference, which names its row too, or the column after the
// previous cell of the row.
[[gnu::always_inline]] inline void RowParser::CellPlace(const KeyAttributes& tag,
                                                        std::uint32_t& row,
                                                        std::uint16_t& column) const {
  if (!tag.has_r) {
    if (column == kMaxColumns) {
      throw ReadFault("超出限制：第 " + std::to_string(row) +
                      " 行的单元格超出工作表范围（最多 16384 列）");
    }
    ++column;
    return;
  }
  std::uint32_t referenced_column = 0;
  switch (ParseCellReference(tag.r, row, referenced_column)) {
    case ReferenceStatus::kValid:
      column = static_cast<std::uint16_t>(referenced_column);
      return;
    case ReferenceStatus::kMalformed:
      throw ReadFault("文件已损坏：" + PartName(context_.part) + "中的单元格引用“" +
                      std::string(tag.r) + "”无效");
    case ReferenceStatus::kOutOfRange:
      throw ReadFault("超出限制：单元格引用“" + std::string(tag.r) +
                      "”超出工作表范围（最多 1048576 行、16384 列）");
  }
}

[[gnu::always_inline]] inline std::uint32_t RowParser::CellStyle(const KeyAttributes& tag,
                                                                 std::uint32_t row,
                                                                 std::uint16_t column) const {
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
  return static_cast<std::uint32_t>(style);
}

// Reads the children of a cell up to its end tag and returns the position past it.
[[gnu::always_inline]] inline std::size_t RowParser::CellChildren(std::size_t at, std::size_t pos,
                                                                  CellType type,
                                                                  CellContent& content) {
  const std::string_view value_element = type == CellType::kInline ? kInlineValue : kValue;
  Enter(at);
  while (true) {
    std::size_t at = NextTag(pos);
    char next = At(at + 1);
    if (next == '/') {
      pos = HasAt(data_, at, "</c>") ? at + 4 : EndTag(at, "c");
      break;
    }
    if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
      continue;
    }
    // The value element as applications write it needs no start-tag parse.
    if (type != CellType::kInline && HasAt(data_, at, "<v>")) {
      content.has_value = true;
      pos = ElementText(at + 3, kValue, value_, content.value);
      continue;
    }
    Tag child;
    StartTag(at, child);
    if (child.name == value_element) {
      content.has_value = true;
      if (type == CellType::kInline) {
        value_.clear();
        pos = InlineString(child, value_);
        content.value = value_;
      } else {
        pos = ElementText(child, value_, content.value);
      }
    } else if (child.name == "f") {
      content.has_formula = true;
      content.formula_type = child.keys.t;
      content.formula_index = child.si;
      pos = ElementText(child, formula_, content.formula);
    } else {
      pos = SkipElement(child);
    }
  }
  --depth_;
  return pos;
}

// The text of the element `tag` opens, and the position past its end tag. The text nearly every
// value and formula has (no entity, no line break, no markup inside) is a view of the data,
// which saves a copy per cell; any other is decoded into `scratch`.
[[gnu::always_inline]] inline std::size_t RowParser::ElementText(const Tag& tag,
                                                                 std::string& scratch,
                                                                 std::string_view& text) {
  if (tag.self_closing) {
    text = {};
    return tag.end;
  }
  return ElementText(tag.end, tag.name, scratch, text);
}

// The text from `begin` up to the end tag `name`, and the position past that end tag. The text
// nearly every value and formula has (no entity, no line break, no markup inside) is a view of
// the data, which saves a copy per cell; any other is decoded into `scratch`.
[[gnu::always_inline]] inline std::size_t RowParser::ElementText(std::size_t begin,
                                                                 std::string_view name,
                                                                 std::string& scratch,
                                                                 std::string_view& text) {
  const char* const data = data_.data();
  const std::size_t size = data_.size();
  std::size_t close = begin;
  while (close < size && !kEndsPlainText[static_cast<unsigned char>(data[close])]) ++close;
  if (At(close) == '<' && At(close + 1) == '/') {
    const std::size_t end = EndTag(close, name);
    text = std::string_view(data + begin, close - begin);
    return end;
  }
  scratch.clear();
  const std::size_t end = Text(begin, name, scratch);
  text = scratch;
  return end;
}

[[gnu::always_inline]] inline void RowParser::Store(Cell cell, std::string_view text,
                                                    CellType type) {
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
    std::string scratch;
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
void RowParser::AddFormula(Cell& cell, const CellContent& content) {
  const std::string_view type = content.formula_type;
  std::string_view text;
  std::string shifted;
  if (type.empty() || type == "normal") {
    text = content.formula;
  } else if (type == "shared" && !content.formula.empty()) {
    shared_formulas_[std::string(content.formula_index)] =
        SharedFormula{std::string(content.formula), cell.row, cell.column};
    text = content.formula;
  } else if (type == "shared") {
    const auto found = shared_formulas_.find(std::string(content.formula_index));
    if (found == shared_formulas_.end()) return;
    const SharedFormula& first = found->second;
    shifted = ShiftFormula(first.text, std::int64_t{cell.row} - first.row,
                           std::int64_t{cell.column} - first.column);
    text = shifted;
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
// rather than At()'s on every character, and a table rather than five compares for each,
// since a start tag is parsed for every cell and for every value.
std::size_t RowParser::NameEnd(std::size_t i) const {
  const char* data = data_.data();
  const std::size_t size = data_.size();
  for (; i < size; ++i) {
    if (kEndsName[static_cast<unsigned char>(data[i])]) return i;
  }
  throw NeedMore{};
}

std::size_t RowParser::StartTag(std::size_t at, Tag& tag) {
  tag.begin = at;
  const std::size_t i = NameEnd(at + 1);
  if (i == at + 1) Malformed(at, "开始标签有误");
  tag.name = Local(data_.substr(at + 1, i - at - 1));
  tag.end = Attributes(i, tag.self_closing,
                       [&tag](auto name, auto value) { TakeAttribute(name, value, tag); });
  return tag.end;
}

// Reads the attribute at `i` and returns the position past its closing quote. A start tag is
// read for every cell, and nearly every attribute of a cell is one letter followed by ="; that
// spelling is matched at once, any other takes the steps XML allows (white space around the
// '=', single quotes, longer names).
[[gnu::always_inline]] inline std::size_t RowParser::Attribute(std::size_t i,
                                                               std::string_view& name,
                                                               std::string_view& value) {
  const char* const data = data_.data();
  const std::size_t size = data_.size();
  char quote = '"';
  if (size - i > 3 && data[i + 1] == '=' && data[i + 2] == '"' &&
      !kEndsName[static_cast<unsigned char>(data[i])]) {
    name = std::string_view(data + i, 1);
    i += 3;
  } else {
    const std::size_t name_begin = i;
    i = NameEnd(i);
    if (i == name_begin) Malformed(i, "属性有误");
    name = std::string_view(data + name_begin, i - name_begin);
    while (IsXmlSpace(At(i))) ++i;
    if (data[i] != '=') Malformed(i, "属性有误");
    while (IsXmlSpace(At(++i))) {
    }
    quote = data[i];
    if (quote != '"' && quote != '\'') Malformed(i, "属性有误");
    ++i;
  }
  // Values are short: a plain loop beats a library call for each.
  std::size_t close = i;
  while (close < size && data[close] != quote) ++close;
  if (close == size) throw NeedMore{};
  value = std::string_view(data + i, close - i);
  return close + 1;
}

// Parses the end tag at `at` and checks that it closes `expected` (any element when empty).
[[gnu::always_inline]] inline std::size_t RowParser::EndTag(std::size_t at,
                                                            std::string_view expected) {
  const std::size_t i = at + 2;
  if (!expected.empty() && i + expected.size() < data_.size() &&
      data_[i + expected.size()] == '>' && SameBytes(data_.data() + i, expected)) {
    return i + expected.size() + 1;
  }
  return SpacedEndTag(at, expected);
}

// An end tag with a prefix or white space before its '>'.
std::size_t RowParser::SpacedEndTag(std::size_t at, std::string_view expected) {
  std::size_t i = at + 2;
  for (char c = At(i); !IsXmlSpace(c) && c != '>'; c = At(++i)) {
  }
  std::string_view name = Local(data_.substr(at + 2, i - at - 2));
  while (IsXmlSpace(At(i))) ++i;
  if (At(i) != '>' || name.empty()) Malformed(at, "结束标签有误");
  if (!expected.empty() && name != expected) Malformed(at, kMismatch);
  return i + 1;
}

}  // namespace tavrio::automation::readers
