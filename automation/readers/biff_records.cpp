#include "automation/readers/biff_records.h"

#include <cstring>

#include "automation/base/utf8.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kSharedFormula = 0x04BC;
constexpr std::uint16_t kArray = 0x0221;
constexpr std::uint16_t kTable = 0x0236;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kBlank = 0x0201;
constexpr std::uint16_t kMulBlank = 0x00BE;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kBiff8Version = 0x0600;

[[noreturn]] void Damaged() { throw ReadFault("文件已损坏：工作簿数据无效"); }

std::uint16_t U16(std::string_view data, std::size_t at) {
  if (at + 2 > data.size()) Damaged();
  auto b = reinterpret_cast<const unsigned char*>(data.data() + at);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t U32(std::string_view data, std::size_t at) {
  return U16(data, at) | (static_cast<std::uint32_t>(U16(data, at + 2)) << 16);
}

struct Record {
  std::uint16_t type;
  std::string_view data;
};

// Walks the records of a substream, one at a time, without reading past the stream.
class RecordCursor {
 public:
  RecordCursor(std::string_view stream, std::size_t at) : stream_(stream), at_(at) {
    if (at > stream.size()) Damaged();
  }
  bool Next(Record& record) {
    if (at_ + 4 > stream_.size()) return false;
    std::uint16_t length = U16(stream_, at_ + 2);
    if (at_ + 4 + length > stream_.size()) Damaged();
    record = {U16(stream_, at_), stream_.substr(at_ + 4, length)};
    at_ += 4 + std::size_t{length};
    return true;
  }
  std::uint16_t PeekType() const { return at_ + 4 <= stream_.size() ? U16(stream_, at_) : 0; }

 private:
  std::string_view stream_;
  std::size_t at_;
};

std::string ErrorText(std::uint8_t code) {
  switch (code) {
    case 0x00:
      return "#NULL!";
    case 0x07:
      return "#DIV/0!";
    case 0x0F:
      return "#VALUE!";
    case 0x17:
      return "#REF!";
    case 0x1D:
      return "#NAME?";
    case 0x24:
      return "#NUM!";
    default:
      return "#N/A";
  }
}

// Appends `count` characters of a BIFF8 string body (8-bit when not `wide`) starting at `at`.
std::size_t AppendChars(std::string_view data, std::size_t at, std::size_t count, bool wide,
                        std::u16string& out) {
  std::size_t available = (data.size() - std::min(at, data.size())) / (wide ? 2 : 1);
  std::size_t take = std::min(count, available);
  for (std::size_t i = 0; i < take; ++i) {
    out.push_back(wide ? U16(data, at + 2 * i) : static_cast<unsigned char>(data[at + i]));
  }
  return take;
}

std::string Utf8(const std::u16string& units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    AppendUtf8(code, out);
  }
  return out;
}

// A STRING record's text, continued in CONTINUE records that each restate the width flag.
std::string ReadStringRecord(const Record& record, RecordCursor& cursor) {
  std::size_t count = U16(record.data, 0);
  if (record.data.size() < 3) Damaged();
  std::u16string units;
  count -= AppendChars(record.data, 3, count, record.data[2] & 1, units);
  Record more{};
  while (count > 0 && cursor.PeekType() == kContinue && cursor.Next(more)) {
    if (more.data.empty()) Damaged();
    count -= AppendChars(more.data, 1, count, more.data[0] & 1, units);
  }
  if (count > 0) Damaged();
  return Utf8(units);
}

// A FORMULA record's cached result; false for an empty text result.
bool FormulaResult(const Record& record, RecordCursor& cursor, BiffCell& cell) {
  if (record.data.size() < 14) Damaged();
  std::string_view value = record.data.substr(6, 8);
  if (U16(value, 6) != 0xFFFF) {
    cell.kind = BiffCell::Kind::kNumber;
    std::memcpy(&cell.number, value.data(), sizeof cell.number);
    return true;
  }
  switch (static_cast<std::uint8_t>(value[0])) {
    case 0: {
      Record string{};
      while (cursor.PeekType() == kSharedFormula || cursor.PeekType() == kArray ||
             cursor.PeekType() == kTable) {
        cursor.Next(string);
      }
      if (cursor.PeekType() != kString || !cursor.Next(string)) return false;
      cell.kind = BiffCell::Kind::kText;
      cell.text = ReadStringRecord(string, cursor);
      return !cell.text.empty();
    }
    case 1:
      cell.kind = BiffCell::Kind::kBoolean;
      cell.boolean = value[2] != 0;
      return true;
    case 2:
      cell.kind = BiffCell::Kind::kError;
      cell.text = ErrorText(static_cast<std::uint8_t>(value[2]));
      return true;
    default:
      return false;
  }
}

bool BoolErrValue(const Record& record, BiffCell& cell) {
  if (record.data.size() < 8) Damaged();
  auto value = static_cast<std::uint8_t>(record.data[6]);
  if (record.data[7] != 0) {
    cell.kind = BiffCell::Kind::kError;
    cell.text = ErrorText(value);
  } else {
    cell.kind = BiffCell::Kind::kBoolean;
    cell.boolean = value != 0;
  }
  return true;
}

// An RK value: a 30-bit integer or the top of a double, perhaps divided by 100.
double RkValue(std::uint32_t rk) {
  double value = 0;
  if (rk & 2) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFC) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 1) ? value / 100 : value;
}

void StoredNumbers(const Record& record, const std::function<void(const BiffCell&)>& cell) {
  BiffCell found;
  found.stored = true;
  found.row = U16(record.data, 0);
  found.column = U16(record.data, 2);
  if (record.type == kNumber) {
    if (record.data.size() < 14) Damaged();
    std::memcpy(&found.number, record.data.data() + 6, sizeof found.number);
    cell(found);
  } else if (record.type == kRk) {
    found.number = RkValue(U32(record.data, 6));
    cell(found);
  } else {
    for (std::size_t at = 4; at + 6 + 2 <= record.data.size(); at += 6, ++found.column) {
      found.number = RkValue(U32(record.data, at + 2));
      cell(found);
    }
  }
}

// A FORMAT record's code; a code cut short by the record's end keeps what is there.
void ReadFormat(const Record& record, BiffGlobals& globals) {
  if (record.data.size() < 5) Damaged();
  std::u16string units;
  AppendChars(record.data, 5, U16(record.data, 2), record.data[4] & 1, units);
  globals.formats.insert_or_assign(U16(record.data, 0), Utf8(units));
}

// Cell records that start with row, column and XF index.
bool IsSingleCell(std::uint16_t type) {
  switch (type) {
    case kNumber:
    case kRk:
    case kLabelSst:
    case kFormula:
    case kBoolErr:
    case kBlank:
    case kLabel:
    case kRString:
      return true;
    default:
      return false;
  }
}

// Calls `each(record, cursor)` for every record of the worksheet substream at `offset`. Charts
// embedded in the sheet bring substreams of their own, each closed by its own EOF: their records
// are left out.
template <typename Each>
void ForEachSheetRecord(std::string_view stream, std::uint32_t offset, Each each) {
  RecordCursor cursor(stream, offset);
  Record record{};
  if (!cursor.Next(record) || record.type != kBof) Damaged();
  int depth = 1;
  while (depth > 0 && cursor.Next(record)) {
    if (record.type == kBof) ++depth;
    if (record.type == kEof) --depth;
    if (depth == 1) each(record, cursor);
  }
}

}  // namespace

BiffGlobals ScanBiffGlobals(std::string_view stream) {
  BiffGlobals globals;
  RecordCursor cursor(stream, 0);
  Record record{};
  if (!cursor.Next(record) || (record.type & 0xFF) != 0x09) Damaged();
  globals.biff8 = record.type == kBof && U16(record.data, 0) == kBiff8Version;
  while (cursor.Next(record) && record.type != kEof) {
    if (record.type == kFilePass) globals.encrypted = true;
    if (record.type == kDateMode) globals.date1904 = U16(record.data, 0) == 1;
    if (record.type == kBoundSheet && globals.biff8) {
      if (record.data.size() < 6) Damaged();
      globals.sheets.push_back({record.data[4] != 0, record.data[5] == 0, U32(record.data, 0)});
    }
    if (record.type == kFormat && globals.biff8) ReadFormat(record, globals);
    if (record.type == kXf && globals.biff8) globals.xf_formats.push_back(U16(record.data, 2));
  }
  return globals;
}

void ScanBiffSheetCells(std::string_view stream, std::uint32_t offset,
                        const std::function<void(const BiffCell&)>& cell) {
  ForEachSheetRecord(stream, offset, [&](const Record& record, RecordCursor& cursor) {
    if (record.type == kNumber || record.type == kRk || record.type == kMulRk) {
      StoredNumbers(record, cell);
      return;
    }
    if (record.type != kFormula && record.type != kBoolErr) return;
    BiffCell found;
    found.row = U16(record.data, 0);
    found.column = U16(record.data, 2);
    bool has_value = record.type == kFormula ? FormulaResult(record, cursor, found)
                                             : BoolErrValue(record, found);
    if (has_value) cell(found);
  });
}

void ScanBiffCellFormats(
    std::string_view stream, std::uint32_t offset,
    const std::function<void(std::uint16_t row, std::uint16_t column, std::uint16_t xf)>& cell) {
  ForEachSheetRecord(stream, offset, [&](const Record& record, RecordCursor&) {
    if (IsSingleCell(record.type)) {
      cell(U16(record.data, 0), U16(record.data, 2), U16(record.data, 4));
    } else if (record.type == kMulRk || record.type == kMulBlank) {
      // Row, first column, then per cell its XF index (and an RK value), then the last column.
      const std::size_t step = record.type == kMulRk ? 6 : 2;
      std::uint16_t column = U16(record.data, 2);
      for (std::size_t at = 4; at + step + 2 <= record.data.size(); at += step, ++column) {
        cell(U16(record.data, 0), column, U16(record.data, at));
      }
    }
  });
}

}  // namespace tavrio::automation::readers
