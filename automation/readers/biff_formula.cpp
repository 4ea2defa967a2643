#include "automation/readers/biff_formula.h"

#include <bit>
#include <vector>

#include "automation/base/cell_address.h"
#include "automation/readers/biff_formula_text.h"
#include "automation/readers/biff_functions.h"

namespace tavrio::automation::readers {
namespace {

// The most characters a cell's formula may hold in an .xlsx file.
constexpr std::size_t kMaxFormulaLength = 8192;
// A call by name: its first operand names the function (an add-in's, or a newer one).
constexpr std::uint16_t kCallByName = 255;

// Reads little-endian fields; every read fails rather than pass the end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool AtEnd() const { return at_ == bytes_.size(); }
  bool Skip(std::size_t count) {
    if (bytes_.size() - at_ < count) return false;
    at_ += count;
    return true;
  }
  bool Take(std::size_t count, std::span<const std::uint8_t>& out) {
    if (bytes_.size() - at_ < count) return false;
    out = bytes_.subspan(at_, count);
    at_ += count;
    return true;
  }
  template <typename T>
  bool Read(T& value) {
    std::span<const std::uint8_t> raw;
    if (!Take(sizeof(T), raw)) return false;
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) bits |= std::uint64_t{raw[i]} << (8 * i);
    if constexpr (sizeof(T) == 8) {
      value = std::bit_cast<T>(bits);
    } else {
      value = static_cast<T>(bits);
    }
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

struct Operand {
  std::string text;
  bool is_name = false;  // a defined or external name, which may name a called function
};

// One end of a reference: 0-based, already resolved against the formula's cell.
struct CellEnd {
  std::uint32_t row = 0;
  std::uint32_t column = 0;
  bool row_relative = false;
  bool column_relative = false;
};

// Excel 2007 made these add-in or newer functions its own; an .xlsx file spells them plainly.
std::string FunctionNameFromExternal(std::string name) {
  constexpr std::string_view kFuture = "_xlfn.";
  static constexpr std::string_view kExcel2007[] = {"IFERROR", "SUMIFS", "COUNTIFS", "AVERAGEIF",
                                                    "AVERAGEIFS"};
  if (!name.starts_with(kFuture)) return name;
  const std::string_view rest = std::string_view(name).substr(kFuture.size());
  for (std::string_view plain : kExcel2007) {
    if (rest == plain) return std::string(rest);
  }
  return name;
}

void AppendCell(const CellEnd& end, std::string& out) {
  if (!end.column_relative) out += '$';
  AppendColumnLetters(end.column + 1, out);
  if (!end.row_relative) out += '$';
  out += std::to_string(end.row + 1);
}

void AppendRows(const CellEnd& end, std::string& out) {
  if (!end.row_relative) out += '$';
  out += std::to_string(end.row + 1);
}

void AppendColumns(const CellEnd& end, std::string& out) {
  if (!end.column_relative) out += '$';
  AppendColumnLetters(end.column + 1, out);
}

class Decoder {
 public:
  Decoder(const BiffFormulaContext& context, std::span<const std::uint8_t> rgce,
          std::span<const std::uint8_t> rgcb, bool shared)
      : context_(context), tokens_(rgce), extra_(rgcb), shared_(shared) {}

  std::optional<std::string> Run() {
    if (!KnownVersion()) return std::nullopt;
    std::uint8_t ptg = 0;
    while (!tokens_.AtEnd()) {
      if (!tokens_.Read(ptg) || !Token(ptg)) return std::nullopt;
      if (expanded_) return expanded_;
    }
    if (stack_.size() != 1) return std::nullopt;
    return std::move(stack_.back().text);
  }

 private:
  bool KnownVersion() const {
    const int v = context_.biff;
    return v == 2 || v == 3 || v == 4 || v == 5 || v == 7 || v == 8;
  }
  bool Biff8() const { return context_.biff == 8; }
  bool Biff5() const { return context_.biff == 5 || context_.biff == 7; }
  // BIFF2 and BIFF3 store function numbers and some lengths in one byte.
  bool Narrow() const { return context_.biff <= 3; }
  std::uint32_t MaxRow() const { return Biff8() ? 0xFFFF : 0x3FFF; }

  bool Token(std::uint8_t ptg) {
    if (ptg < 0x20) return BasicToken(ptg);
    // The two class bits (reference, value, array) do not change how a token reads.
    const std::uint8_t base = static_cast<std::uint8_t>((ptg & 0x1F) | 0x20);
    switch (base) {
      case 0x20:
        return ArrayConstant();
      case 0x21:
        return Function(false);
      case 0x22:
        return Function(true);
      case 0x23:
        return Name();
      case 0x24:
        return Reference(false, false);
      case 0x25:
        return Area(false, false);
      case 0x26:
      case 0x27:
      case 0x28:
      case 0x29:
      case 0x2E:
      case 0x2F:
        return Memory(base);
      case 0x2A:
        return ReferenceError(false);
      case 0x2B:
        return ReferenceError(true);
      case 0x2C:
        return Reference(true, false);
      case 0x2D:
        return Area(true, false);
      case 0x39:
        return ExternalName();
      case 0x3A:
        return Reference(shared_, true);
      case 0x3B:
        return Area(shared_, true);
      case 0x3C:
        return ReferenceError3d(false);
      case 0x3D:
        return ReferenceError3d(true);
      default:
        return false;
    }
  }

  bool BasicToken(std::uint8_t ptg) {
    static constexpr const char* kBinary[] = {
        "+", "-", "*", "/", "^", "&", "<", "<=", "=", ">=", ">", "<>", " ", ",", ":"};
    if (ptg >= 0x03 && ptg <= 0x11) return Binary(kBinary[ptg - 0x03]);
    switch (ptg) {
      case 0x01:
        return Expand();
      case 0x12:
        return Unary("+", "");
      case 0x13:
        return Unary("-", "");
      case 0x14:
        return Unary("", "%");
      case 0x15:
        return Unary("(", ")");
      case 0x16:
        return Push("");
      case 0x17:
        return StringConstant();
      case 0x19:
        return Attribute();
      case 0x1C:
        return ErrorConstant();
      case 0x1D:
        return BooleanConstant();
      case 0x1E:
        return IntegerConstant();
      case 0x1F:
        return NumberConstant();
      default:
        return false;  // data tables, BIFF8's extended tokens, BIFF2-4's external sheets
    }
  }

  bool Push(std::string text, bool is_name = false) {
    if (text.size() > kMaxFormulaLength) return false;
    stack_.push_back({std::move(text), is_name});
    return true;
  }
  bool Pop(Operand& operand) {
    if (stack_.empty()) return false;
    operand = std::move(stack_.back());
    stack_.pop_back();
    return true;
  }

  bool Binary(std::string_view op) {
    Operand right, left;
    if (!Pop(right) || !Pop(left)) return false;
    left.text += op;
    left.text += right.text;
    return Push(std::move(left.text));
  }
  bool Unary(std::string_view before, std::string_view after) {
    Operand operand;
    if (!Pop(operand)) return false;
    return Push(std::string(before) + operand.text + std::string(after));
  }

  // A cell of a shared formula: the tokens are those of the formula's first cell, read
  // against this cell. It must be the whole formula.
  bool Expand() {
    std::uint16_t row = 0, column = 0;
    if (!tokens_.Read(row)) return false;
    if (context_.biff == 2) {
      std::uint8_t narrow = 0;
      if (!tokens_.Read(narrow)) return false;
      column = narrow;
    } else if (!tokens_.Read(column)) {
      return false;
    }
    if (shared_ || !stack_.empty() || !tokens_.AtEnd() || !context_.shared_formula) return false;
    const std::optional<BiffSharedTokens> shared = context_.shared_formula(row, column);
    if (!shared) return false;
    expanded_ = Decoder(context_, shared->rgce, shared->rgcb, true).Run();
    return expanded_.has_value();
  }

  bool StringConstant() {
    std::uint8_t length = 0;
    if (!tokens_.Read(length)) return false;
    std::optional<std::string> text = ReadString(tokens_, length);
    return text && Push(FormulaStringText(*text));
  }

  // A string of `length` characters: BIFF8's with its flags byte, earlier versions' bytes in
  // the workbook's code page.
  std::optional<std::string> ReadString(ByteReader& reader, std::size_t length) {
    std::span<const std::uint8_t> bytes;
    if (Biff8()) {
      std::uint8_t flags = 0;
      if (!reader.Read(flags) || (flags & ~0x01) != 0) return std::nullopt;
      const bool compressed = (flags & 0x01) == 0;
      if (!reader.Take(compressed ? length : 2 * length, bytes)) return std::nullopt;
      return Utf16ToUtf8(bytes, compressed);
    }
    if (!reader.Take(length, bytes)) return std::nullopt;
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (context_.decode_bytes) return context_.decode_bytes(raw);
    for (std::uint8_t b : bytes) {
      if (b >= 0x80) return std::nullopt;
    }
    return std::string(raw);
  }

  bool ErrorConstant() {
    std::uint8_t code = 0;
    if (!tokens_.Read(code)) return false;
    const auto text = BiffErrorText(code);
    return text && Push(std::string(*text));
  }
  bool BooleanConstant() {
    std::uint8_t value = 0;
    if (!tokens_.Read(value) || value > 1) return false;
    return Push(value ? "TRUE" : "FALSE");
  }
  bool IntegerConstant() {
    std::uint16_t value = 0;
    return tokens_.Read(value) && Push(std::to_string(value));
  }
  bool NumberConstant() {
    double value = 0;
    if (!tokens_.Read(value)) return false;
    const auto text = FormulaNumberText(value);
    return text && Push(*text);
  }

  // Jumps and volatility marks say nothing about the text; only SUM of one argument is written
  // as one.
  bool Attribute() {
    if (context_.biff == 2) return false;  // BIFF2's layout of these is not certain
    std::uint8_t flags = 0;
    std::uint16_t data = 0;
    if (!tokens_.Read(flags) || !tokens_.Read(data)) return false;
    if ((flags & 0x04) != 0 && !tokens_.Skip((std::size_t{data} + 1) * 2)) return false;
    if ((flags & 0x10) != 0) return Call("SUM", 1);
    return true;
  }

  bool Function(bool counted) {
    std::uint8_t count = 0;
    std::uint16_t index = 0;
    if (counted && !tokens_.Read(count)) return false;
    if (Narrow()) {
      std::uint8_t narrow = 0;
      if (!tokens_.Read(narrow)) return false;
      index = narrow;
    } else if (!tokens_.Read(index)) {
      return false;
    }
    count &= 0x7F;                            // the top bit asks the user for the arguments
    if ((index & 0x8000) != 0) return false;  // a macro command
    if (counted && index == kCallByName) return CallByName(count);
    const std::optional<BiffFunction> function = FindBiffFunction(index);
    if (!function) return false;
    if (!counted) {
      if (!function->fixed_arguments) return false;
      count = *function->fixed_arguments;
    }
    return Call(function->name, count);
  }

  bool Call(std::string_view name, std::size_t count) {
    if (stack_.size() < count) return false;
    std::string text(name);
    text += '(';
    for (std::size_t i = stack_.size() - count; i < stack_.size(); ++i) {
      if (i != stack_.size() - count) text += ',';
      text += stack_[i].text;
    }
    text += ')';
    stack_.resize(stack_.size() - count);
    return Push(std::move(text));
  }

  bool CallByName(std::size_t count) {
    if (count == 0 || stack_.size() < count) return false;
    Operand& name = stack_[stack_.size() - count];
    if (!name.is_name) return false;
    std::string function = FunctionNameFromExternal(std::move(name.text));
    stack_.erase(stack_.end() - static_cast<std::ptrdiff_t>(count));
    return Call(function, count - 1);
  }

  bool Name() {
    std::uint32_t index = 0;
    if (Biff8()) {
      if (!tokens_.Read(index)) return false;
    } else if (Biff5()) {
      std::uint16_t narrow = 0;
      if (!tokens_.Read(narrow) || !tokens_.Skip(12)) return false;
      index = narrow;
    } else {
      return false;
    }
    if (!context_.defined_name) return false;
    std::optional<std::string> name = context_.defined_name(index);
    return name && Push(std::move(*name), true);
  }

  bool ExternalName() {
    std::uint16_t sheet = 0;
    std::uint32_t index = 0;
    if (Biff8()) {
      if (!tokens_.Read(sheet) || !tokens_.Read(index)) return false;
    } else if (Biff5()) {
      std::uint16_t narrow = 0;
      if (!tokens_.Read(sheet) || !tokens_.Skip(8) || !tokens_.Read(narrow) || !tokens_.Skip(12)) {
        return false;
      }
      index = narrow;
    } else {
      return false;
    }
    if (!context_.external_name) return false;
    std::optional<std::string> name = context_.external_name(sheet, index);
    return name && Push(std::move(*name), true);
  }

  // The tokens that follow compute the reference; these only tell how long they are and, for
  // PtgMemArea, list its ranges in the extra data.
  bool Memory(std::uint8_t base) {
    const bool reserved = base == 0x26 || base == 0x27 || base == 0x28;
    if (reserved && !tokens_.Skip(4)) return false;
    if (!tokens_.Skip(Narrow() ? 1 : 2)) return false;
    if (base != 0x26) return true;
    std::uint16_t count = 0;
    return extra_.Read(count) && extra_.Skip(std::size_t{count} * (Biff8() ? 8 : 6));
  }

  bool ArrayConstant() {
    if (!tokens_.Skip(context_.biff == 2 ? 6 : 7)) return false;
    std::uint8_t columns_byte = 0;
    std::uint16_t rows_field = 0;
    if (!extra_.Read(columns_byte) || !extra_.Read(rows_field)) return false;
    std::size_t columns = columns_byte, rows = rows_field;
    if (Biff8()) {
      ++columns;
      ++rows;
    } else if (columns == 0) {
      columns = 256;
    }
    if (rows == 0) return false;
    std::string text = "{";
    for (std::size_t r = 0; r < rows; ++r) {
      for (std::size_t c = 0; c < columns; ++c) {
        if (c > 0) text += ',';
        if (!AppendArrayValue(text) || text.size() > kMaxFormulaLength) return false;
      }
      text += r + 1 < rows ? ';' : '}';
    }
    return Push(std::move(text));
  }

  bool AppendArrayValue(std::string& out) {
    std::uint8_t type = 0, value = 0;
    if (!extra_.Read(type)) return false;
    switch (type) {
      case 0x01: {
        double number = 0;
        if (!extra_.Read(number)) return false;
        const auto text = FormulaNumberText(number);
        if (!text) return false;
        out += *text;
        return true;
      }
      case 0x02: {
        std::uint16_t length = 0;
        if (Biff8()) {
          if (!extra_.Read(length)) return false;
        } else {
          std::uint8_t narrow = 0;
          if (!extra_.Read(narrow)) return false;
          length = narrow;
        }
        const auto text = ReadString(extra_, length);
        if (!text) return false;
        out += FormulaStringText(*text);
        return true;
      }
      case 0x04:
        if (!extra_.Read(value) || !extra_.Skip(7) || value > 1) return false;
        out += value ? "TRUE" : "FALSE";
        return true;
      case 0x10: {
        if (!extra_.Read(value) || !extra_.Skip(7)) return false;
        const auto text = BiffErrorText(value);
        if (!text) return false;
        out += *text;
        return true;
      }
      default:
        return false;  // an empty element, which no formula text can spell
    }
  }

  // BIFF8 keeps a column field with the relative flags; earlier versions keep them in the row
  // field beside a 14-bit row and store the column in one byte.
  bool ReadRows(std::uint16_t& first, std::uint16_t& last, bool area) {
    return tokens_.Read(first) && (!area || tokens_.Read(last));
  }
  bool ReadColumn(std::uint16_t& column) {
    if (Biff8()) return tokens_.Read(column);
    std::uint8_t narrow = 0;
    if (!tokens_.Read(narrow)) return false;
    column = narrow;
    return true;
  }

  std::optional<CellEnd> Resolve(std::uint16_t row_field, std::uint16_t column_field,
                                 bool relative) const {
    CellEnd end;
    const std::uint16_t flags = Biff8() ? column_field : row_field;
    end.column_relative = (flags & 0x4000) != 0;
    end.row_relative = (flags & 0x8000) != 0;
    std::int32_t row = Biff8() ? row_field : (row_field & 0x3FFF);
    std::int32_t column = Biff8() ? (column_field & 0x3FFF) : column_field;
    // Offsets from the formula's cell wrap around the sheet's edge, as Excel applies them.
    if (relative && end.row_relative) {
      const std::int32_t offset =
          Biff8() ? static_cast<std::int16_t>(row_field) : ((row & 0x3FFF) ^ 0x2000) - 0x2000;
      row = static_cast<std::int32_t>((context_.row + offset) & MaxRow());
    }
    // A column offset keeps its sign in the low byte; the bits above may repeat it or not.
    if (relative && end.column_relative) {
      column = (context_.column + static_cast<std::int8_t>(column & 0xFF)) & 0xFF;
    } else if (column > 0xFF) {
      return std::nullopt;
    }
    end.row = static_cast<std::uint32_t>(row);
    end.column = static_cast<std::uint32_t>(column);
    return end;
  }

  bool Reference(bool relative, bool three_d) {
    std::string prefix;
    if (three_d && !SheetsPrefix(prefix)) return false;
    std::uint16_t row = 0, unused = 0, column = 0;
    if (!ReadRows(row, unused, false) || !ReadColumn(column)) return false;
    const auto end = Resolve(row, column, relative);
    if (!end) return false;
    AppendCell(*end, prefix);
    return Push(std::move(prefix));
  }

  bool Area(bool relative, bool three_d) {
    std::string text;
    if (three_d && !SheetsPrefix(text)) return false;
    std::uint16_t first_row = 0, last_row = 0, first_column = 0, last_column = 0;
    if (!ReadRows(first_row, last_row, true) || !ReadColumn(first_column) ||
        !ReadColumn(last_column)) {
      return false;
    }
    const auto first = Resolve(first_row, first_column, relative);
    const auto last = Resolve(last_row, last_column, relative);
    if (!first || !last) return false;
    if (first->row == 0 && last->row == MaxRow()) {
      AppendColumns(*first, text);
      text += ':';
      AppendColumns(*last, text);
    } else if (first->column == 0 && last->column == 0xFF) {
      AppendRows(*first, text);
      text += ':';
      AppendRows(*last, text);
    } else {
      AppendCell(*first, text);
      text += ':';
      AppendCell(*last, text);
    }
    return Push(std::move(text));
  }

  bool ReferenceError(bool area) {
    const std::size_t size = Biff8() ? (area ? 8 : 4) : (area ? 6 : 3);
    return tokens_.Skip(size) && Push("#REF!");
  }

  bool ReferenceError3d(bool area) {
    std::string text;
    if (!SheetsPrefix(text)) return false;
    const std::size_t size = Biff8() ? (area ? 8 : 4) : (area ? 6 : 3);
    if (!tokens_.Skip(size)) return false;
    text += "#REF!";
    return Push(std::move(text));
  }

  // The sheet part of a 3-D reference, "Sheet2!": BIFF8 names an EXTERNSHEET entry, BIFF5/7
  // this workbook's sheets by position (a non-negative ixals leads into another workbook).
  bool SheetsPrefix(std::string& out) {
    if (Biff8()) {
      std::uint16_t ixti = 0;
      if (!tokens_.Read(ixti) || !context_.externsheet_sheets) return false;
      const std::optional<BiffSheetSpan> span = context_.externsheet_sheets(ixti);
      if (!span || span->first.empty()) return false;
      out = SheetPrefix(span->first, span->last);
      return true;
    }
    if (!Biff5()) return false;
    std::int16_t ixals = 0;
    std::uint16_t first = 0, last = 0;
    if (!tokens_.Read(ixals) || !tokens_.Skip(8) || !tokens_.Read(first) || !tokens_.Read(last)) {
      return false;
    }
    if (ixals >= 0 || !context_.sheet_name) return false;
    const std::optional<std::string> first_name = context_.sheet_name(first);
    const std::optional<std::string> last_name =
        first == last ? std::optional<std::string>("") : context_.sheet_name(last);
    if (!first_name || !last_name || first_name->empty()) return false;
    out = SheetPrefix(*first_name, *last_name);
    return true;
  }

  const BiffFormulaContext& context_;
  ByteReader tokens_;
  ByteReader extra_;
  const bool shared_;
  std::vector<Operand> stack_;
  std::optional<std::string> expanded_;
};

}  // namespace

std::optional<std::string> DecodeBiffFormula(std::span<const std::uint8_t> rgce,
                                             std::span<const std::uint8_t> rgcb,
                                             const BiffFormulaContext& context) {
  return Decoder(context, rgce, rgcb, false).Run();
}

}  // namespace tavrio::automation::readers
