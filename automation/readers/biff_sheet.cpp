#include "automation/readers/biff_sheet.h"

#include <cmath>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/base/cell_address.h"
#include "automation/base/sheet_limits.h"
#include "automation/readers/biff_formula.h"
#include "automation/readers/biff_formula_text.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

// The records a sheet's cells come in, whatever number each generation gives them.
enum class Kind {
  kOther,
  kBlank,
  kInteger,
  kNumber,
  kRk,
  kMulRk,
  kMulBlank,
  kLabel,
  kRString,
  kLabelSst,
  kBoolErr,
  kFormula,
  kString,
  kShared,
  kArray,
  kTable,
  kRow,
  kMerged,
  kIxfe
};

struct Numbered {
  std::uint16_t type;
  Kind kind;
};

constexpr Numbered kBiff2Records[] = {
    {0x0001, Kind::kBlank},  {0x0002, Kind::kInteger}, {0x0003, Kind::kNumber},
    {0x0004, Kind::kLabel},  {0x0005, Kind::kBoolErr}, {0x0006, Kind::kFormula},
    {0x0007, Kind::kString}, {0x0008, Kind::kRow},     {0x0021, Kind::kArray},
    {0x0036, Kind::kTable},  {0x0044, Kind::kIxfe},
};

// BIFF3 on, but for FORMULA, whose number changed with each generation.
constexpr Numbered kRecords[] = {
    {0x00BD, Kind::kMulRk},   {0x00FD, Kind::kLabelSst}, {0x0203, Kind::kNumber},
    {0x0201, Kind::kBlank},   {0x027E, Kind::kRk},       {0x00BE, Kind::kMulBlank},
    {0x0204, Kind::kLabel},   {0x0205, Kind::kBoolErr},  {0x0207, Kind::kString},
    {0x0208, Kind::kRow},     {0x0221, Kind::kArray},    {0x0236, Kind::kTable},
    {0x00D6, Kind::kRString}, {0x00E5, Kind::kMerged},   {0x04BC, Kind::kShared},
};

template <std::size_t N>
Kind Find(const Numbered (&records)[N], std::uint16_t type) {
  for (const Numbered& record : records) {
    if (record.type == type) return record.kind;
  }
  return Kind::kOther;
}

Kind KindOf(std::uint16_t type, BiffVersion version) {
  if (version == BiffVersion::kBiff2) return Find(kBiff2Records, type);
  if (type == 0x0206 || type == 0x0406) {
    return version <= BiffVersion::kBiff4 ? Kind::kFormula : Kind::kOther;
  }
  if (type == 0x0006) return version >= BiffVersion::kBiff5 ? Kind::kFormula : Kind::kOther;
  return Find(kRecords, type);
}

std::span<const std::uint8_t> AsBytes(std::string_view bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// A code that names no error reads as #N/A, what an application shows for a value it lacks.
std::string_view ErrorText(std::uint8_t code) { return BiffErrorText(code).value_or("#N/A"); }

// The formula's text, without the '=', in `context` (the workbook's lookups); empty when the
// decoder cannot read it for certain, and the cell hands over its last result alone.
std::string FormulaText(const BiffFormula& formula, BiffFormulaContext& context) {
  context.row = formula.row;
  context.column = formula.column;
  context.shared_formula = [&formula](std::uint32_t row,
                                      std::uint16_t column) -> std::optional<BiffSharedTokens> {
    const BiffSharedFormula* shared = formula.shared;
    // Array formulas are read apart (ArrayFormulaText); data tables keep their values, as the
    // .xlsx path keeps them.
    if (!shared || shared->array || shared->first_row != row || shared->first_column != column) {
      return std::nullopt;
    }
    return BiffSharedTokens{AsBytes(shared->tokens), AsBytes(shared->extra)};
  };
  return DecodeBiffFormula(AsBytes(formula.tokens), AsBytes(formula.extra), context)
      .value_or(std::string());
}

// An array formula's text, on its range's top-left cell only: the ARRAY record's tokens read
// as that cell's own formula. Empty for the range's other cells, which keep their values, and
// for tokens the decoder cannot read for certain.
std::string ArrayFormulaText(const BiffFormula& formula, BiffFormulaContext& context) {
  const BiffSharedFormula& array = *formula.shared;
  if (formula.row != array.first_row || formula.column != array.first_column ||
      array.last_row < array.first_row || array.last_column < array.first_column) {
    return {};
  }
  context.row = formula.row;
  context.column = formula.column;
  context.shared_formula = nullptr;
  return DecodeBiffFormula(AsBytes(array.tokens), AsBytes(array.extra), context)
      .value_or(std::string());
}

struct Range {
  std::uint32_t first_row, last_row, first_column, last_column;  // 0-based
};

class SheetReader {
 public:
  SheetReader(std::string_view stream, const BiffWorkbook& book, CellSink& sink)
      : stream_(stream), book_(book), sink_(sink), version_(book.text.version()) {
    book.formula_names.Fill(formula_context_, book.text);
  }

  void Read(std::size_t offset);

 private:
  struct Head {
    std::uint32_t row;     // 1-based, as the sink takes them
    std::uint16_t column;  // 1-based
    std::uint32_t style;
    std::size_t value_at;  // where the record's own value starts
  };

  void Take(const BiffRecord& record, BiffCursor& cursor);
  // Reads a cell record's row, column and XF, and starts that row.
  Head HeadOf(std::string_view data);
  void StartRow(std::uint32_t row);
  std::uint16_t Column(std::uint32_t row, std::size_t column) const;
  std::uint32_t StyleOf(std::size_t xf) const;
  void Put(const SinkCell& cell);
  void Flush();
  std::string_view Keep(std::string text);
  void MulRk(std::string_view data);
  void MulBlank(std::string_view data);
  void BoolErr(std::string_view data);
  void Formula(const BiffRecord& record, BiffCursor& cursor);
  SinkCell FormulaResult(const Head& head, std::string_view value, BiffCursor& cursor);
  void Shared(const BiffRecord& record, Kind kind);
  std::string StringRecord(const BiffRecord& record, BiffCursor& cursor) const;
  void Row(std::string_view data);
  void Merged(std::string_view data);

  std::string_view stream_;
  const BiffWorkbook& book_;
  CellSink& sink_;
  BiffVersion version_;
  std::uint16_t ixfe_ = 0;  // BIFF2: the XF a cell naming XF 63 means
  std::vector<SinkCell> row_cells_;
  std::deque<std::string> texts_;  // the row's texts; a deque keeps views into them valid
  std::unordered_map<std::uint32_t, BiffSharedFormula> shared_;  // by anchor row << 16 | column
  BiffFormulaContext formula_context_;
  std::vector<std::pair<std::uint32_t, double>> heights_;
  std::vector<Range> merged_;
};

void SheetReader::Read(std::size_t offset) {
  BiffCursor cursor(stream_, offset);
  BiffRecord record;
  if (!cursor.Next(record) || !IsBiffBof(record.type)) BiffDamaged();
  if (ReadBof(record).substream == biff::kChart) return;
  int depth = 1;
  while (depth > 0 && cursor.Next(record)) {
    if (IsBiffBof(record.type)) {
      ++depth;
    } else if (record.type == biff::kEof) {
      --depth;
    } else if (depth == 1) {
      Take(record, cursor);
    }
  }
  Flush();
  for (const auto& [row, points] : heights_) sink_.RowHeight(row, points);
  for (const Range& range : merged_) {
    sink_.MergedCells(range.first_row + 1u, static_cast<std::uint16_t>(range.first_column + 1),
                      range.last_row + 1u, static_cast<std::uint16_t>(range.last_column + 1));
  }
}

void SheetReader::Take(const BiffRecord& record, BiffCursor& cursor) {
  const std::string_view data = record.data;
  const Kind kind = KindOf(record.type, version_);
  switch (kind) {
    case Kind::kBlank: {
      const Head head = HeadOf(data);
      return Put(SinkCell::Blank(head.row, head.column, head.style));
    }
    case Kind::kInteger: {
      const Head head = HeadOf(data);
      return Put(SinkCell::Number(head.row, head.column, BiffU16(data, head.value_at), head.style));
    }
    case Kind::kNumber: {
      const Head head = HeadOf(data);
      return Put(
          SinkCell::Number(head.row, head.column, BiffDouble(data, head.value_at), head.style));
    }
    case Kind::kRk: {
      const Head head = HeadOf(data);
      return Put(SinkCell::Number(head.row, head.column, BiffRk(BiffU32(data, head.value_at)),
                                  head.style));
    }
    case Kind::kLabel:
    case Kind::kRString: {
      const Head head = HeadOf(data);
      std::string_view text =
          Keep(book_.text.ReadAt(data, head.value_at, version_ == BiffVersion::kBiff2 ? 1 : 2));
      return Put(SinkCell::Text(head.row, head.column, text, head.style));
    }
    case Kind::kLabelSst: {
      const Head head = HeadOf(data);
      const std::uint32_t index = BiffU32(data, head.value_at);
      if (index >= book_.shared_strings.size()) BiffDamaged();
      return Put({head.row,
                  head.column,
                  SinkCell::Kind::kSharedText,
                  head.style,
                  index,
                  0,
                  book_.shared_strings[index],
                  {}});
    }
    case Kind::kMulRk:
      return MulRk(data);
    case Kind::kMulBlank:
      return MulBlank(data);
    case Kind::kBoolErr:
      return BoolErr(data);
    case Kind::kFormula:
      return Formula(record, cursor);
    case Kind::kShared:
    case Kind::kArray:
      return Shared(record, kind);
    case Kind::kRow:
      return Row(data);
    case Kind::kMerged:
      return Merged(data);
    case Kind::kIxfe:
      ixfe_ = BiffU16(data, 0);
      return;
    default:
      return;  // a STRING or TABLE record away from its formula, and everything else
  }
}

SheetReader::Head SheetReader::HeadOf(std::string_view data) {
  const std::uint32_t row = BiffU16(data, 0) + 1u;
  const std::uint16_t column = Column(row, BiffU16(data, 2));
  StartRow(row);
  if (version_ != BiffVersion::kBiff2) return {row, column, StyleOf(BiffU16(data, 4)), 6};
  // BIFF2 cells carry three bytes of attributes: the XF (63: the IXFE record's) and the number
  // format, which names the style when the file has no XF records.
  std::size_t xf = BiffU8(data, 4) & 0x3F;
  if (xf == 63) xf = ixfe_;
  if (book_.cells_name_formats) xf = BiffU8(data, 5) & 0x3F;
  BiffU8(data, 6);
  return {row, column, StyleOf(xf), 7};
}

std::uint16_t SheetReader::Column(std::uint32_t row, std::size_t column) const {
  if (column >= kMaxColumns) {
    throw ReadFault("超出限制：第 " + std::to_string(row) +
                    " 行的单元格超出工作表范围（最多 16384 列）");
  }
  return static_cast<std::uint16_t>(column + 1);
}

std::uint32_t SheetReader::StyleOf(std::size_t xf) const {
  return xf < book_.xf_styles.size() ? book_.xf_styles[xf] : 0;
}

// Cells come a row at a time; the texts kept for a row live until the sink has had it.
void SheetReader::StartRow(std::uint32_t row) {
  if (!row_cells_.empty() && row_cells_.back().row != row) Flush();
}

// No sheet holds NaN or an infinity; Excel never writes one, so the number is damaged.
void SheetReader::Put(const SinkCell& cell) {
  if (cell.kind == SinkCell::Kind::kNumber && !std::isfinite(cell.number)) {
    throw ReadFault("文件已损坏：单元格 " + CellReference(cell.row, cell.column) + " 的数值无效");
  }
  row_cells_.push_back(cell);
}

void SheetReader::Flush() {
  if (!row_cells_.empty()) sink_.Cells(row_cells_);
  row_cells_.clear();
  texts_.clear();
}

std::string_view SheetReader::Keep(std::string text) {
  texts_.push_back(std::move(text));
  return texts_.back();
}

// Row, first column, then per cell its XF and RK value, then the last column.
void SheetReader::MulRk(std::string_view data) {
  const std::uint32_t row = BiffU16(data, 0) + 1u;
  const std::size_t first = BiffU16(data, 2);
  StartRow(row);
  for (std::size_t i = 0, at = 4; at + 6 + 2 <= data.size(); ++i, at += 6) {
    Put(SinkCell::Number(row, Column(row, first + i), BiffRk(BiffU32(data, at + 2)),
                         StyleOf(BiffU16(data, at))));
  }
}

void SheetReader::MulBlank(std::string_view data) {
  const std::uint32_t row = BiffU16(data, 0) + 1u;
  const std::size_t first = BiffU16(data, 2);
  StartRow(row);
  for (std::size_t i = 0, at = 4; at + 2 + 2 <= data.size(); ++i, at += 2) {
    Put(SinkCell::Blank(row, Column(row, first + i), StyleOf(BiffU16(data, at))));
  }
}

void SheetReader::BoolErr(std::string_view data) {
  const Head head = HeadOf(data);
  const std::uint8_t value = BiffU8(data, head.value_at);
  if (BiffU8(data, head.value_at + 1) != 0) {
    return Put(SinkCell::Error(head.row, head.column, ErrorText(value), head.style));
  }
  Put(SinkCell::Boolean(head.row, head.column, value != 0, head.style));
}

// A FORMULA record: its last result, then its tokens, which may only point at the shared or
// array formula whose record follows the first cell of its range.
void SheetReader::Formula(const BiffRecord& record, BiffCursor& cursor) {
  const std::string_view data = record.data;
  const Head head = HeadOf(data);
  std::size_t tokens_at = 0, count = 0;
  switch (version_) {
    case BiffVersion::kBiff2:
      count = BiffU8(data, 16), tokens_at = 17;
      break;
    case BiffVersion::kBiff3:
    case BiffVersion::kBiff4:
      count = BiffU16(data, 16), tokens_at = 18;
      break;
    default:
      count = BiffU16(data, 20), tokens_at = 22;
      break;
  }
  if (data.size() - tokens_at < count) BiffDamaged();
  BiffFormula formula{version_,
                      static_cast<std::uint16_t>(head.row - 1),
                      static_cast<std::uint16_t>(head.column - 1),
                      data.substr(tokens_at, count),
                      data.substr(tokens_at + count),
                      nullptr};
  BiffRecord next;
  for (std::uint16_t type = cursor.PeekType();
       KindOf(type, version_) == Kind::kShared || KindOf(type, version_) == Kind::kArray ||
       KindOf(type, version_) == Kind::kTable;
       type = cursor.PeekType()) {
    cursor.Next(next);
    if (KindOf(type, version_) != Kind::kTable) Shared(next, KindOf(type, version_));
  }
  if (formula.tokens.size() >= 4 && formula.tokens[0] == 0x01) {
    const std::uint32_t row = BiffU16(formula.tokens, 1);
    const std::uint32_t column =
        version_ == BiffVersion::kBiff2 ? BiffU8(formula.tokens, 3) : BiffU16(formula.tokens, 3);
    auto found = shared_.find(row << 16 | column);
    if (found != shared_.end()) formula.shared = &found->second;
  }
  SinkCell cell = FormulaResult(head, data.substr(head.value_at, 8), cursor);
  if (formula.shared != nullptr && formula.shared->array) {
    cell.formula = Keep(ArrayFormulaText(formula, formula_context_));
    if (!cell.formula.empty()) {
      cell.array_rows = formula.shared->last_row - formula.shared->first_row + 1u;
      cell.array_columns = static_cast<std::uint16_t>(formula.shared->last_column -
                                                      formula.shared->first_column + 1);
    }
  } else {
    cell.formula = Keep(FormulaText(formula, formula_context_));
  }
  Put(cell);
}

// The result is a number, unless its last two bytes are 0xFFFF: then the first byte says
// text (in the STRING record that follows), boolean, error, or empty text.
SinkCell SheetReader::FormulaResult(const Head& head, std::string_view value, BiffCursor& cursor) {
  SinkCell cell = SinkCell::Blank(head.row, head.column, head.style);
  if (BiffU16(value, 6) != 0xFFFF) {
    cell = SinkCell::Number(head.row, head.column, BiffDouble(value, 0), head.style);
  } else if (BiffU8(value, 0) == 1) {
    cell = SinkCell::Boolean(head.row, head.column, BiffU8(value, 2) != 0, head.style);
  } else if (BiffU8(value, 0) == 2) {
    cell = SinkCell::Error(head.row, head.column, ErrorText(BiffU8(value, 2)), head.style);
  } else if (BiffU8(value, 0) == 0 && KindOf(cursor.PeekType(), version_) == Kind::kString) {
    BiffRecord string;
    cursor.Next(string);
    std::string text = StringRecord(string, cursor);
    if (!text.empty())
      cell = SinkCell::Text(head.row, head.column, Keep(std::move(text)), head.style);
  }
  return cell;
}

std::string SheetReader::StringRecord(const BiffRecord& record, BiffCursor& cursor) const {
  if (version_ != BiffVersion::kBiff8) {
    return book_.text.ReadAt(record.data, 0, version_ == BiffVersion::kBiff2 ? 1 : 2);
  }
  // A long text goes on in CONTINUE records, each restating the width of its characters.
  BiffPieces pieces(record.data, cursor);
  const std::size_t count = pieces.U16();
  const std::uint8_t flags = pieces.U8();
  if (flags & 0x08) pieces.U16();
  if (flags & 0x04) pieces.U32();
  std::u16string units;
  pieces.Chars(count, (flags & 0x01) != 0, units);
  return Utf16ToUtf8(units);
}

// SHRFMLA and ARRAY records: the range, then (after fields that differ by generation) the
// token count and the tokens.
void SheetReader::Shared(const BiffRecord& record, Kind kind) {
  const std::string_view data = record.data;
  BiffSharedFormula shared;
  shared.first_row = BiffU16(data, 0);
  shared.last_row = BiffU16(data, 2);
  shared.first_column = BiffU8(data, 4);
  shared.last_column = BiffU8(data, 5);
  shared.array = kind == Kind::kArray;
  std::size_t count_at = 8;
  if (kind == Kind::kArray && version_ >= BiffVersion::kBiff5) count_at = 12;
  std::size_t count = 0;
  if (version_ == BiffVersion::kBiff2) {
    count = BiffU8(data, 7), count_at = 7;
  } else {
    count = BiffU16(data, count_at);
  }
  const std::size_t tokens_at = count_at + (version_ == BiffVersion::kBiff2 ? 1 : 2);
  if (data.size() < tokens_at || data.size() - tokens_at < count) BiffDamaged();
  shared.tokens = data.substr(tokens_at, count);
  shared.extra = data.substr(tokens_at + count);
  shared_.insert_or_assign(std::uint32_t{shared.first_row} << 16 | shared.first_column, shared);
}

// A row's height counts only when the user set it: otherwise the application measured it for
// the row's fonts, and measures again.
void SheetReader::Row(std::string_view data) {
  const std::uint32_t row = BiffU16(data, 0) + 1u;
  const std::uint16_t height = BiffU16(data, 6);
  const bool custom =
      version_ == BiffVersion::kBiff2 ? (height & 0x8000) == 0 : (BiffU16(data, 12) & 0x40) != 0;
  const double points = (height & 0x7FFF) / 20.0;
  if (custom && points <= 409) heights_.emplace_back(row, points);
}

void SheetReader::Merged(std::string_view data) {
  const std::size_t count = BiffU16(data, 0);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = 2 + 8 * i;
    const Range range{BiffU16(data, at), BiffU16(data, at + 2), BiffU16(data, at + 4),
                      BiffU16(data, at + 6)};
    if (range.first_row > range.last_row || range.first_column > range.last_column ||
        range.last_column >= kMaxColumns) {
      continue;
    }
    if (range.first_row == range.last_row && range.first_column == range.last_column) continue;
    merged_.push_back(range);
  }
}

}  // namespace

void ReadBiffSheet(std::string_view stream, std::size_t offset, const BiffWorkbook& workbook,
                   CellSink& sink) {
  SheetReader(stream, workbook, sink).Read(offset);
}

}  // namespace tavrio::automation::readers
