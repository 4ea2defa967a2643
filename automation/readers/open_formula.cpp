#include "automation/readers/open_formula.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "automation/base/ascii.h"
#include "automation/base/cell_address.h"
#include "automation/base/sheet_limits.h"
#include "automation/readers/biff_formula_text.h"
#include "automation/readers/open_formula_functions.h"
#include "automation/readers/text_encoding.h"

namespace tavrio::automation::readers {
namespace {

// The most a cell's formula may hold in Excel.
constexpr std::size_t kMaxFormulaLength = 8192;

constexpr std::string_view kErrors[] = {"#DIV/0!", "#VALUE!", "#NAME?", "#NULL!",
                                        "#REF!",   "#NUM!",   "#N/A"};

bool IsNameStart(char c) {
  return IsAsciiLetter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameCharacter(char c) { return IsNameStart(c) || IsAsciiDigit(c) || c == '.'; }

std::string Uppercase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = AsciiUppercase(c);
  return upper;
}

// One end of a reference inside brackets: "$Sheet1.$A$1", ".A", "'My sheet'.3".
struct ReferenceEnd {
  bool has_sheet = false;
  std::string sheet;
  std::uint32_t column = 0;  // 0: none (a whole row)
  std::uint32_t row = 0;     // 0: none (a whole column)
  bool column_absolute = false;
  bool row_absolute = false;

  bool SameCell(const ReferenceEnd& other) const {
    return column == other.column && row == other.row && column_absolute == other.column_absolute &&
           row_absolute == other.row_absolute;
  }
};

// Excel refuses a sheet name with any of these, and a formula could not quote one with a ':'
// (a range of sheets) or a '"' (a string) for certain.
bool IsExcelSheetName(std::string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string_view("[]:*?/\\\"").find(c) != std::string_view::npos;
  });
}

// The sheet name before the '.', quoted ('It''s') or not; false when malformed.
bool ParseSheet(std::string_view& text, ReferenceEnd& end) {
  const bool absolute = !text.empty() && text.front() == '$';
  if (absolute) text.remove_prefix(1);
  if (!text.empty() && text.front() == '\'') {
    std::size_t i = 1;
    for (;; ++i) {
      if (i >= text.size()) return false;
      if (text[i] != '\'') {
        end.sheet += text[i];
      } else if (i + 1 < text.size() && text[i + 1] == '\'') {
        end.sheet += '\'';
        ++i;
      } else {
        break;
      }
    }
    text.remove_prefix(i + 1);
    end.has_sheet = true;
  } else {
    // Unquoted names hold none of these; "$#REF!" is LibreOffice's deleted sheet.
    const std::size_t dot = text.find_first_of(". #$'");
    if (dot == std::string_view::npos || text[dot] != '.') return false;
    end.sheet = std::string(text.substr(0, dot));
    end.has_sheet = !end.sheet.empty();
    text.remove_prefix(dot);
  }
  if (absolute && !end.has_sheet) return false;
  if (end.has_sheet && !IsExcelSheetName(end.sheet)) return false;
  return !text.empty() && text.front() == '.';
}

bool ParseEnd(std::string_view text, ReferenceEnd& end) {
  if (!ParseSheet(text, end)) return false;
  text.remove_prefix(1);  // the '.'
  std::size_t i = 0;
  auto take_dollar = [&] { return i < text.size() && text[i] == '$' ? (++i, true) : false; };
  bool dollar = take_dollar();
  std::size_t letters = 0;
  for (; i < text.size() && IsAsciiLetter(text[i]); ++i, ++letters) {
    if (letters == 3) return false;
    end.column = end.column * 26 + (AsciiUppercase(text[i]) - 'A' + 1);
  }
  if (letters > 0) {
    end.column_absolute = dollar;
    dollar = take_dollar();
  }
  if (end.column > kMaxColumns) return false;
  std::size_t digits = 0;
  for (; i < text.size() && IsAsciiDigit(text[i]); ++i, ++digits) {
    if (digits == 7) return false;
    end.row = end.row * 10 + (text[i] - '0');
  }
  if (digits > 0) {
    if (end.row == 0 || end.row > kMaxRows) return false;
    end.row_absolute = dollar;
  } else if (dollar) {
    return false;
  }
  return i == text.size() && (letters > 0 || digits > 0);
}

void AppendEnd(const ReferenceEnd& end, std::string& out) {
  if (end.column != 0) {
    if (end.column_absolute) out += '$';
    AppendColumnLetters(end.column, out);
  }
  if (end.row != 0) {
    if (end.row_absolute) out += '$';
    out += std::to_string(end.row);
  }
}

// The position of the ':' between a reference's two ends, outside quoted sheet names.
std::size_t RangeColon(std::string_view body) {
  bool quoted = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\'') quoted = !quoted;
    if (body[i] == ':' && !quoted) return i;
  }
  return std::string_view::npos;
}

// The A1 text of a reference's bracketed body; nullopt when it is not one read for certain.
std::optional<std::string> TranslateReference(std::string_view body) {
  const std::size_t colon = RangeColon(body);
  ReferenceEnd first, last;
  const bool range = colon != std::string_view::npos;
  if (!ParseEnd(body.substr(0, colon), first) ||
      (range && !ParseEnd(body.substr(colon + 1), last))) {
    // A reference to cells that were deleted; it points nowhere, as Excel's #REF! does.
    if (body.find("#REF!") != std::string_view::npos) return "#REF!";
    return std::nullopt;
  }
  if (!range) {
    if (first.column == 0 || first.row == 0) return std::nullopt;
    std::string out = first.has_sheet ? SheetPrefix(first.sheet, {}) : std::string();
    AppendEnd(first, out);
    return out;
  }
  if ((first.column == 0) != (last.column == 0) || (first.row == 0) != (last.row == 0)) {
    return std::nullopt;
  }
  if (!first.has_sheet && last.has_sheet) return std::nullopt;
  const bool across = last.has_sheet && last.sheet != first.sheet;
  std::string out = !first.has_sheet ? std::string()
                    : across         ? SheetPrefix(first.sheet, last.sheet)
                                     : SheetPrefix(first.sheet, {});
  AppendEnd(first, out);
  // A reference across sheets is always a range in OpenFormula; Excel spells one cell alone.
  if (across && first.row != 0 && first.column != 0 && first.SameCell(last)) return out;
  out += ':';
  AppendEnd(last, out);
  return out;
}

class Translator {
 public:
  explicit Translator(std::string_view text) : text_(text) {}

  std::optional<std::string> Run() {
    while (true) {
      SkipSpace();
      if (pos_ >= text_.size()) break;
      if (!Token()) return std::nullopt;
    }
    if (!contexts_.empty() || last_ != Last::kOperand || out_.size() > kMaxFormulaLength) {
      return std::nullopt;
    }
    return std::move(out_);
  }

 private:
  enum class Last { kStart, kOperator, kOperand };
  enum class Kind { kFunction, kGroup, kArray };
  struct Context {
    Kind kind;
    bool has_union = false;
    // An operator other than the reference operators, or a constant, directly inside: Excel
    // reads a ',' in parentheses as the union only between references.
    bool has_other = false;
  };

  void SkipSpace() {
    while (pos_ < text_.size() && IsXmlSpace(text_[pos_])) ++pos_;
  }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool InArray() const { return !contexts_.empty() && contexts_.back().kind == Kind::kArray; }
  void MarkOther() {
    if (!contexts_.empty()) contexts_.back().has_other = true;
  }

  // Before an operand: false when two operands would meet with no operator between them.
  bool StartOperand() { return last_ != Last::kOperand; }
  // Before a constant or a name: false right after a reference operator. Its operands are
  // references: Excel would read 1:2 or A:B as whole rows or columns, and LibreOffice keeps a
  // formula it could not read as typed, in lower case ("nope!a1"), which reads as names.
  bool StartPlainOperand() { return StartOperand() && !after_reference_operator_; }

  bool Token() {
    const char c = Peek();
    if (c == '"') return String();
    if (c == '[') return Reference();
    if (c == '#') return ErrorLiteral();
    if (IsAsciiDigit(c) || (c == '.' && IsAsciiDigit(Peek(1)))) return Number();
    if (IsNameStart(c)) return Name();
    if (c == '(' || c == '{') return Open(c == '(' ? Kind::kGroup : Kind::kArray);
    if (c == ')' || c == '}') return Close(c == ')' ? Kind::kGroup : Kind::kArray);
    if (c == ';' || c == '|') return Separator(c);
    return Operator();
  }

  bool String() {
    if (!StartPlainOperand()) return false;
    const std::size_t begin = pos_++;
    while (true) {
      if (pos_ >= text_.size()) return false;
      if (text_[pos_++] != '"') continue;
      if (Peek() != '"') break;
      ++pos_;
    }
    out_.append(text_.substr(begin, pos_ - begin));
    return Took(Operand::kConstant);
  }

  bool Reference() {
    if (!StartOperand() || InArray()) return false;
    bool quoted = false;
    std::size_t end = pos_ + 1;
    for (; end < text_.size(); ++end) {
      if (text_[end] == '\'') quoted = !quoted;
      if (text_[end] == ']' && !quoted) break;
    }
    if (end >= text_.size()) return false;
    const std::optional<std::string> reference =
        TranslateReference(text_.substr(pos_ + 1, end - pos_ - 1));
    if (!reference) return false;
    out_ += *reference;
    pos_ = end + 1;
    return Took(Operand::kReference);
  }

  bool ErrorLiteral() {
    if (!StartPlainOperand()) return false;
    for (std::string_view error : kErrors) {
      if (text_.substr(pos_, error.size()) == error) {
        out_ += error;
        pos_ += error.size();
        return Took(Operand::kConstant);
      }
    }
    return false;
  }

  bool Number() {
    if (!StartPlainOperand()) return false;
    const std::size_t begin = pos_;
    while (IsAsciiDigit(Peek()) || Peek() == '.') ++pos_;
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      while (IsAsciiDigit(Peek())) ++pos_;
    }
    const std::string_view digits = text_.substr(begin, pos_ - begin);
    double value = 0;
    const auto [stop, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || stop != digits.data() + digits.size()) return false;
    const std::optional<std::string> text = FormulaNumberText(value);
    if (!text) return false;
    out_ += *text;
    return Took(Operand::kConstant);
  }

  // A function call, TRUE() or FALSE(), or a defined name.
  bool Name() {
    if (!StartOperand()) return false;
    const std::size_t begin = pos_;
    while (IsNameCharacter(Peek())) ++pos_;
    const std::string_view name = text_.substr(begin, pos_ - begin);
    SkipSpace();
    const std::string upper = Uppercase(name);
    const bool boolean = upper == "TRUE" || upper == "FALSE";
    if (Peek() != '(') {
      // An array's constants include the booleans, which LibreOffice writes bare there.
      if (InArray() && boolean) {
        out_ += upper;
        return Took(Operand::kConstant);
      }
      // A defined name; one Excel would read as a cell or a boolean is none there.
      if (InArray() || after_reference_operator_ || !IsPlainFormulaName(name)) return false;
      out_ += name;
      return Took(Operand::kName);
    }
    if (boolean) {
      ++pos_;
      SkipSpace();
      if (Peek() != ')') return false;
      ++pos_;
      out_ += upper;
      return Took(Operand::kConstant);
    }
    if (InArray()) return false;
    const std::optional<std::string_view> excel = ExcelFunctionName(name);
    if (!excel) return false;
    out_ += *excel;
    return Open(Kind::kFunction);
  }

  // A reference is also what a function call or parentheses give: either may be one.
  enum class Operand { kReference, kName, kConstant };

  bool Took(Operand operand) {
    if (operand == Operand::kConstant) MarkOther();
    last_ = Last::kOperand;
    last_plain_ = operand != Operand::kReference;
    after_reference_operator_ = false;
    return true;
  }

  bool Open(Kind kind) {
    if (kind == Kind::kGroup && !StartOperand()) return false;
    if (kind == Kind::kArray && !StartPlainOperand()) return false;
    if (InArray()) return false;
    out_ += kind == Kind::kArray ? '{' : '(';
    ++pos_;
    contexts_.push_back({kind});
    last_ = Last::kStart;
    return true;
  }

  bool Close(Kind bracket) {
    if (contexts_.empty()) return false;
    const Context context = contexts_.back();
    if ((bracket == Kind::kArray) != (context.kind == Kind::kArray)) return false;
    const bool may_be_empty = context.kind == Kind::kFunction;
    if (last_ == Last::kOperator || (last_ == Last::kStart && !may_be_empty)) return false;
    if (context.has_union && context.has_other) return false;
    contexts_.pop_back();
    out_ += bracket == Kind::kArray ? '}' : ')';
    ++pos_;
    return Took(context.kind == Kind::kArray ? Operand::kConstant : Operand::kReference);
  }

  // ';' between a function's arguments or an array's columns, '|' between an array's rows:
  // Excel's ',' and ';'.
  bool Separator(char c) {
    if (contexts_.empty() || last_ == Last::kOperator) return false;
    const Kind kind = contexts_.back().kind;
    if (kind == Kind::kArray) {
      if (last_ != Last::kOperand) return false;
      out_ += c == ';' ? ',' : ';';
    } else if (kind == Kind::kFunction && c == ';') {
      out_ += ',';
    } else {
      return false;
    }
    ++pos_;
    last_ = Last::kStart;
    return true;
  }

  bool Operator() {
    static constexpr std::string_view kBinary[] = {"<>", "<=", ">=", "<", ">", "=", "+",
                                                   "-",  "*",  "/",  "^", "&", ":"};
    const char c = Peek();
    if (last_ != Last::kOperand) {
      // A sign; in an array only before a number.
      if (c != '+' && c != '-') return false;
      ++pos_;
      if (InArray()) {
        SkipSpace();
        if (!IsAsciiDigit(Peek()) && Peek() != '.') return false;
      }
      out_ += c;
      MarkOther();
      last_ = Last::kOperator;
      return true;
    }
    if (c == '%') {
      if (InArray()) return false;
      ++pos_;
      out_ += '%';
      MarkOther();
      return true;
    }
    if (InArray()) return false;
    if (c == '!' || c == '~') return ReferenceOperator(c);
    for (std::string_view op : kBinary) {
      if (text_.substr(pos_, op.size()) != op) continue;
      if (op == ":" && last_plain_) return false;
      pos_ += op.size();
      out_ += op;
      if (op != ":") MarkOther();
      after_reference_operator_ = op == ":";
      last_ = Last::kOperator;
      return true;
    }
    return false;
  }

  // The intersection, Excel's space, and the union, Excel's ',' where parentheses hold it
  // alone (a ',' elsewhere would separate arguments).
  bool ReferenceOperator(char c) {
    if (last_plain_) return false;
    if (c == '~') {
      if (contexts_.empty() || contexts_.back().kind != Kind::kGroup) return false;
      contexts_.back().has_union = true;
    }
    ++pos_;
    out_ += c == '!' ? ' ' : ',';
    after_reference_operator_ = true;
    last_ = Last::kOperator;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string out_;
  std::vector<Context> contexts_;
  Last last_ = Last::kStart;
  bool last_plain_ = false;  // the last operand was a constant or a defined name
  bool after_reference_operator_ = false;
};

}  // namespace

std::optional<std::string> TranslateOpenFormula(std::string_view attribute) {
  if (!IsValidUtf8(attribute)) return std::nullopt;
  const std::size_t equals = attribute.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view space = attribute.substr(0, equals);
  const std::string_view formula = attribute.substr(equals + 1);
  if (!space.empty() && space != "of:") return std::nullopt;
  return Translator(formula).Run();
}

}  // namespace tavrio::automation::readers
