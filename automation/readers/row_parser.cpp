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

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kValue = "v";
constexpr std::string_view kInlineValue = "is";

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
// Nineteen digits cannot overflow 64 bits, so only the digits after them are checked for it:
// merging million-formatted took 1.59 s of CPU instead of 1.63 s (minimum of 15 runs by turns
// of build-bench/bench/harness/tavrio-bench-merge).
bool ParseUnsigned(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  std::uint64_t result = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned digit = static_cast<unsigned char>(text[i]) - static_cast<unsigned>('0');
    if (digit > 9) return false;
    if (i < 19) {
      result = result * 10 + digit;
    } else if (__builtin_mul_overflow(result, 10, &result) ||
               __builtin_add_overflow(result, digit, &result)) {
      return false;
    }
  }
  value = result;
  return true;
}

}  // namespace

struct RowParser::Tag : XmlTokenizer::Tag {
  KeyAttributes keys;                  // r, s and t
  std::string_view ht, custom_height;  // a row's own height
  std::string_view si;                 // a shared formula's index
  std::string_view ref;                // the range an array formula fills
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
  } else if (name == "ref") {
    tag.ref = value;
  }
}

RowParser::RowParser(const SheetContext& context, CellSink& sink, int depth)
    : context_(context), sink_(sink), xml_(context.part, depth) {}

void RowParser::CellFault(std::uint32_t row, std::uint16_t column, std::string_view why) const {
  throw ReadFault("文件已损坏：单元格 " + CellReference(row, column) + " " + std::string(why));
}

std::size_t RowParser::Parse(std::string_view data, std::size_t pos, std::uint64_t base,
                             bool& ended) {
  xml_.Reset(data, base);
  ended = false;
  while (pos < data.size() && !ended) {
    std::size_t start = pos;
    try {
      pos = Step(pos, ended);
    } catch (const XmlNeedMore&) {
      return start;
    }
  }
  return pos;
}

std::size_t RowParser::Step(std::size_t pos, bool& ended) {
  xml_.set_depth(0);
  const std::string_view data = xml_.data();
  const void* found = std::memchr(data.data() + pos, '<', data.size() - pos);
  if (found == nullptr) return data.size();  // text between rows means nothing
  std::size_t at = static_cast<const char*>(found) - data.data();
  // Text is consumed on its own, so that a part cut short is reported at the same byte however
  // the chunks fell.
  if (at > pos) return at;
  char next = xml_.At(at + 1);
  if (next == '/') {
    // Only once the whole end tag is here: a </sheetData> cut by the end of a chunk is read
    // again with the next one, and must not end the rows twice.
    std::size_t after = xml_.EndTag(at, "sheetData");
    ended = true;
    return after;
  }
  if (next == '!' || next == '?') return xml_.SkipMarkup(at);
  Tag tag;
  StartTag(at, tag);
  return tag.name == "row" ? Row(tag) : xml_.SkipElement(tag);
}

std::size_t RowParser::StartTag(std::size_t at, Tag& tag) {
  return xml_.StartTag(at, tag, [&tag](auto name, auto value) { TakeAttribute(name, value, tag); });
}

std::size_t RowParser::Row(const Tag& tag) {
  cells_.clear();
  texts_.clear();
  text_spans_.clear();
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
  expected_.StartRow(row);
  row_height_ = RowHeightOf(tag.ht, tag.custom_height);
  std::size_t pos = tag.end;
  if (!tag.self_closing) {
    xml_.Enter(tag.begin);
    std::uint16_t column = 0;
    while (true) {
      std::size_t at = xml_.NextTag(pos);
      // "<c " is matched first: it opens nearly every child of a row. With <f> below, 13 M
      // instructions less for two files of the benchmark's million set, 24 M for two of
      // million-formatted (`valgrind --tool=callgrind tavrio-bench-merge`).
      if (xml_.HasAt(at, "<c ")) {
        pos = CellElement(at, at + 2, row, column);
        continue;
      }
      char next = xml_.At(at + 1);
      if (next == '/') {
        pos = xml_.EndTag(at, "row");
        break;
      }
      if (next == '!' || next == '?') {
        pos = xml_.SkipMarkup(at);
        continue;
      }
      const std::size_t name_end = xml_.NameEnd(at + 1);
      if (XmlTokenizer::Local(xml_.data().substr(at + 1, name_end - at - 1)) == "c") {
        pos = CellElement(at, name_end, row, column);
      } else {
        XmlTokenizer::Tag child;
        xml_.StartTag(at, child);
        pos = xml_.SkipElement(child);
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
  std::size_t pos = xml_.Attributes(name_end, self_closing, [&tag](auto name, auto value) {
    TakeKeyAttribute(name, value, tag);
  });
  CellPlace(tag, row, column);
  SinkCell cell = SinkCell::Blank(row, column, CellStyle(tag, row, column));
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
    if (cell.style != 0 || !cell.formula.empty()) cells_.push_back(cell);
    return pos;
  }
  Store(cell, content.value, type);
  return pos;
}

// Where the cell stands: its own reference, which names its row too, or the column after the
// previous cell of the row.
[[gnu::always_inline]] inline void RowParser::CellPlace(const KeyAttributes& tag,
                                                        std::uint32_t& row,
                                                        std::uint16_t& column) {
  if (!tag.has_r) {
    if (column == kMaxColumns) {
      throw ReadFault("超出限制：第 " + std::to_string(row) +
                      " 行的单元格超出工作表范围（最多 16384 列）");
    }
    ++column;
  } else if (expected_.Matches(tag.r)) {
    column = static_cast<std::uint16_t>(expected_.column());
  } else {
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
  }
  if (column == expected_.column()) {
    expected_.Advance();
  } else {
    expected_.Expect(column + 1u);
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
[[gnu::always_inline]] inline std::size_t RowParser::CellChildren(std::size_t cell_at,
                                                                  std::size_t pos, CellType type,
                                                                  CellContent& content) {
  const std::string_view value_element = type == CellType::kInline ? kInlineValue : kValue;
  xml_.Enter(cell_at);
  while (true) {
    const std::size_t at = xml_.NextTag(pos);
    // The value element as applications write it needs no start-tag parse, nor does a formula
    // without attributes, as all but shared and array formulas are written; they and the end
    // tag, the commonest children by far, are matched before anything else: 10 M instructions
    // less for two files of the benchmark's million set (`valgrind --tool=callgrind
    // tavrio-bench-merge`) than asking first for end tags, comments and instructions.
    if (type != CellType::kInline && xml_.HasAt(at, "<v>")) {
      content.has_value = true;
      pos = xml_.ElementText(at + 3, kValue, value_, content.value);
      continue;
    }
    if (xml_.HasAt(at, "</c>")) {
      pos = at + 4;
      break;
    }
    if (xml_.HasAt(at, "<f>")) {
      content.has_formula = true;
      content.formula_type = {};
      content.formula_index = {};
      content.formula_ref = {};
      pos = xml_.ElementText(at + 3, "f", formula_, content.formula);
      continue;
    }
    const char next = xml_.At(at + 1);
    if (next == '/') {
      pos = xml_.EndTag(at, "c");
      break;
    }
    if (next == '!' || next == '?') {
      pos = xml_.SkipMarkup(at);
      continue;
    }
    Tag child;
    StartTag(at, child);
    if (child.name == value_element) {
      content.has_value = true;
      if (type == CellType::kInline) {
        value_.clear();
        pos = xml_.StringItem(child, value_);
        content.value = value_;
      } else {
        pos = xml_.ElementText(child, value_, content.value);
      }
    } else if (child.name == "f") {
      content.has_formula = true;
      content.formula_type = child.keys.t;
      content.formula_index = child.si;
      content.formula_ref = child.ref;
      pos = xml_.ElementText(child, formula_, content.formula);
    } else {
      pos = xml_.SkipElement(child);
    }
  }
  xml_.Leave();
  return pos;
}

// Adds the cell to the row with the value `text` spells as `type` says.
[[gnu::always_inline]] inline void RowParser::Store(SinkCell cell, std::string_view text,
                                                    CellType type) {
  if (type == CellType::kNumber) {
    cell.kind = SinkCell::Kind::kNumber;
    if (!ParseNumber(text, cell.number)) {
      CellFault(cell.row, cell.column, "的数值“" + std::string(text) + "”无效");
    }
  } else if (type == CellType::kShared) {
    cell.kind = SinkCell::Kind::kSharedText;
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
    cell.shared_index = static_cast<std::uint32_t>(index);
    context_.strings->Prefetch(index);
    cell.text = (*context_.strings)[index];
  } else if (type == CellType::kFormulaText || type == CellType::kInline ||
             type == CellType::kError) {
    cell.kind = type == CellType::kError ? SinkCell::Kind::kError : SinkCell::Kind::kText;
    std::string scratch;
    KeepText(type == CellType::kError ? text : DecodeEscapes(text, scratch), false, cell.text);
  } else if (type == CellType::kBoolean) {
    cell.kind = SinkCell::Kind::kBoolean;
    if (text != "0" && text != "1" && text != "true" && text != "false") {
      CellFault(cell.row, cell.column, "的逻辑值“" + std::string(text) + "”无效");
    }
    cell.number = text == "1" || text == "true";
  } else {
    cell.kind = SinkCell::Kind::kNumber;
    if (!ParseIsoDate(text, context_.date1904, cell.number)) {
      CellFault(cell.row, cell.column, "的日期“" + std::string(text) + "”无效");
    }
  }
  cells_.push_back(cell);
}

void RowParser::KeepText(std::string_view text, bool formula, std::string_view& view) {
  text_spans_.push_back(TextSpan{cells_.size(), formula, texts_.size(), text.size()});
  texts_.append(text);
  view = std::string_view(texts_).substr(texts_.size() - text.size());
}

void RowParser::Emit() {
  EmitCells();
  if (row_height_ >= 0) sink_.RowHeight(last_row_, row_height_);
}

// A shared formula is written out only in its first cell; the others get it moved by their
// distance from that cell. An array formula means something only over the whole range it
// fills, so it is handed over only with a range that starts at its cell. Data-table formulas
// keep only their results.
void RowParser::AddFormula(SinkCell& cell, const CellContent& content) {
  const std::string_view type = content.formula_type;
  std::string_view text;
  std::string shifted;
  if (type.empty() || type == "normal") {
    text = content.formula;
  } else if (type == "array") {
    // An extent without its text would leave the cell an array of nothing.
    if (content.formula.empty() || !TakeArrayRange(cell, content.formula_ref)) return;
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
  if (!decoded.empty()) KeepText(decoded, true, cell.formula);
}

// The extent of an array formula whose ref ("A5:B7", or "A5" for one cell) starts at the cell;
// false for any other ref, whose formula would fill cells it was not written for.
bool RowParser::TakeArrayRange(SinkCell& cell, std::string_view ref) {
  CellRangeReference range;
  if (!ParseCellRange(ref, range) || range.first_row != cell.row ||
      range.first_column != cell.column || range.last_row < range.first_row ||
      range.last_column < range.first_column) {
    return false;
  }
  cell.array_rows = range.last_row - range.first_row + 1;
  cell.array_columns = static_cast<std::uint16_t>(range.last_column - range.first_column + 1);
  return true;
}

void RowParser::EmitCells() {
  for (const TextSpan& span : text_spans_) {
    SinkCell& cell = cells_[span.cell];
    (span.formula ? cell.formula : cell.text) =
        std::string_view(texts_).substr(span.begin, span.size);
  }
  if (!cells_.empty()) sink_.Cells(cells_);
}

}  // namespace tavrio::automation::readers
