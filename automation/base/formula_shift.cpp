#include "automation/base/formula_shift.h"

#include <optional>

#include "automation/base/ascii.h"
#include "automation/base/cell_address.h"
#include "automation/base/sheet_limits.h"

namespace tavrio::automation {
namespace {

// Characters that continue a name; bytes of UTF-8 sequences count, so 数据1 is one name.
bool IsNameChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '.' || c == '\\' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// One end of a reference: a cell (B7, $B$7), a whole column (B, $B) or a whole row (7, $7).
struct End {
  std::int64_t column = 0;  // 0: none
  std::int64_t row = 0;     // 0: none
  bool column_absolute = false;
  bool row_absolute = false;
};

std::optional<End> ParseEnd(std::string_view token) {
  End end;
  std::size_t i = 0;
  if (i < token.size() && token[i] == '$') end.column_absolute = true, ++i;
  const std::size_t letters = i;
  while (i < token.size() && IsAsciiLetter(token[i]) && i - letters < 4) {
    end.column = end.column * 26 + (token[i] & 0x1F);
    ++i;
  }
  const bool has_column = i > letters;
  if (!has_column) {
    // A row alone; a '$' read above belongs to it.
    end.row_absolute = end.column_absolute;
    end.column_absolute = false;
  } else if (i < token.size() && token[i] == '$') {
    end.row_absolute = true, ++i;
  }
  const std::size_t digits = i;
  while (i < token.size() && IsAsciiDigit(token[i]) && i - digits < 8) {
    end.row = end.row * 10 + (token[i] - '0');
    ++i;
  }
  if (i != token.size() || i == 0) return std::nullopt;
  if (i == digits && end.row_absolute) return std::nullopt;  // "$A$"
  if (end.column > kMaxColumns || end.row > kMaxRows) return std::nullopt;
  if (digits < i && end.row == 0) return std::nullopt;
  if (end.column == 0 && end.row == 0) return std::nullopt;
  return end;
}

void AppendNumber(std::int64_t number, std::string& out) {
  char digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number > 0);
  while (count > 0) out += digits[--count];
}

// Moves `end` and appends it as text; false, appending nothing, when it left the sheet.
bool AppendMoved(End end, std::int64_t rows, std::int64_t columns, std::string& out) {
  if (end.column != 0) {
    if (!end.column_absolute) end.column += columns;
    if (end.column < 1 || end.column > kMaxColumns) return false;
  }
  if (end.row != 0) {
    if (!end.row_absolute) end.row += rows;
    if (end.row < 1 || end.row > kMaxRows) return false;
  }
  if (end.column != 0) {
    if (end.column_absolute) out += '$';
    AppendColumnLetters(static_cast<std::uint32_t>(end.column), out);
  }
  if (end.row != 0) {
    if (end.row_absolute) out += '$';
    AppendNumber(end.row, out);
  }
  return true;
}

class Shifter {
 public:
  Shifter(std::string_view formula, std::int64_t rows, std::int64_t columns)
      : in_(formula), rows_(rows), columns_(columns) {}

  std::string Run() {
    out_.reserve(in_.size() + 8);
    while (i_ < in_.size()) {
      const char c = in_[i_];
      if (c == '"') {
        CopyQuoted('"');
      } else if (c == '\'') {
        CopyQuoted('\'');  // a sheet name; its '!' follows
      } else if (c == '[') {
        CopyBracketed();
      } else if (c == '#') {
        CopyError();
      } else if ((IsNameChar(c) || c == '$') && (i_ == 0 || !IsNameChar(in_[i_ - 1]))) {
        Token();
      } else {
        out_ += c;
        ++i_;
      }
    }
    return std::move(out_);
  }

 private:
  std::size_t TokenEnd(std::size_t from) const {
    while (from < in_.size() && (IsNameChar(in_[from]) || in_[from] == '$')) ++from;
    return from;
  }

  void CopyQuoted(char quote) {
    std::size_t end = i_ + 1;
    while (end < in_.size()) {
      if (in_[end] == quote) {
        if (end + 1 < in_.size() && in_[end + 1] == quote) {
          end += 2;
          continue;
        }
        ++end;
        break;
      }
      ++end;
    }
    out_.append(in_.substr(i_, end - i_));
    i_ = end;
  }

  void CopyBracketed() {
    int depth = 0;
    std::size_t end = i_;
    do {
      if (in_[end] == '[') ++depth;
      if (in_[end] == ']') --depth;
      ++end;
    } while (end < in_.size() && depth > 0);
    out_.append(in_.substr(i_, end - i_));
    i_ = end;
  }

  // #REF!, #N/A, #DIV/0!, #NAME?, ...
  void CopyError() {
    std::size_t end = i_ + 1;
    while (end < in_.size() && (IsNameChar(in_[end]) || in_[end] == '/')) ++end;
    if (end < in_.size() && (in_[end] == '!' || in_[end] == '?')) ++end;
    out_.append(in_.substr(i_, end - i_));
    i_ = end;
  }

  void Token() {
    const std::size_t end = TokenEnd(i_);
    const std::string_view token = in_.substr(i_, end - i_);
    const char next = end < in_.size() ? in_[end] : '\0';
    if (next == '!' || next == '(' || next == '[') return Copy(end);  // sheet, function, table
    const std::optional<End> first = ParseEnd(token);
    if (!first) return Copy(end);
    if (next == ':') {
      const std::size_t second_end = TokenEnd(end + 1);
      const std::optional<End> second = ParseEnd(in_.substr(end + 1, second_end - end - 1));
      const char after = second_end < in_.size() ? in_[second_end] : '\0';
      if (after == '!') return Copy(second_end);  // Jan:Mar!A1, sheets named like cells
      const bool same_kind = second && (first->column == 0) == (second->column == 0) &&
                             (first->row == 0) == (second->row == 0);
      if (same_kind && after != '(') {
        const std::size_t start = out_.size();
        bool moved = AppendMoved(*first, rows_, columns_, out_);
        if (moved) {
          out_ += ':';
          moved = AppendMoved(*second, rows_, columns_, out_);
        }
        if (!moved) {
          out_.resize(start);
          out_ += "#REF!";
        }
        i_ = second_end;
        return;
      }
    }
    // A whole row or column means something only in a range; alone it is a number or a name.
    if (first->column == 0 || first->row == 0) return Copy(end);
    if (!AppendMoved(*first, rows_, columns_, out_)) out_ += "#REF!";
    i_ = end;
  }

  void Copy(std::size_t end) {
    out_.append(in_.substr(i_, end - i_));
    i_ = end;
  }

  std::string_view in_;
  std::int64_t rows_;
  std::int64_t columns_;
  std::size_t i_ = 0;
  std::string out_;
};

}  // namespace

std::string ShiftFormula(std::string_view formula, std::int64_t rows, std::int64_t columns) {
  if (rows == 0 && columns == 0) return std::string(formula);
  return Shifter(formula, rows, columns).Run();
}

}  // namespace tavrio::automation
