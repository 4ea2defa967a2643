#include "automation/base/formula_shift.h"

#include <algorithm>
#include <optional>
#include <span>

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
  // Columns go through `targets` instead of moving by a distance (see MoveFormulaColumns).
  Shifter(std::string_view formula, std::int64_t rows, std::span<const std::uint32_t> targets)
      : in_(formula), rows_(rows), columns_(0), targets_(targets), mapped_(true) {}

  // After Run() with targets: whether some reference could not be placed with certainty.
  bool uncertain() const { return uncertain_; }

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

  // The column the cell in `column` went to; 0 when it has no place.
  std::int64_t Target(std::int64_t column) const {
    return column >= 1 && static_cast<std::size_t>(column) <= targets_.size() ? targets_[column - 1]
                                                                              : 0;
  }

  // With targets, puts the ends' columns where their cells went; notes when it cannot: a
  // column without a place, a range whose columns do not stay side by side in order, or a
  // reference into another sheet, whose cells did not move at all.
  void MapColumns(End& first, End* second, bool qualified) {
    if (!mapped_) return;
    if (qualified) uncertain_ = true;
    if (first.column == 0) return;
    const std::int64_t low = second ? std::min(first.column, second->column) : first.column;
    const std::int64_t high = second ? std::max(first.column, second->column) : first.column;
    for (std::int64_t column = low; column <= high; ++column) {
      if (Target(column) == 0 || Target(column) != Target(low) + (column - low)) uncertain_ = true;
    }
    first.column = Target(first.column);
    if (second) second->column = Target(second->column);
  }

  void Token() {
    const bool qualified = i_ > 0 && in_[i_ - 1] == '!';
    const std::size_t end = TokenEnd(i_);
    const std::string_view token = in_.substr(i_, end - i_);
    const char next = end < in_.size() ? in_[end] : '\0';
    if (next == '!' || next == '(' || next == '[') return Copy(end);  // sheet, function, table
    std::optional<End> first = ParseEnd(token);
    if (!first) return Copy(end);
    if (next == ':') {
      const std::size_t second_end = TokenEnd(end + 1);
      std::optional<End> second = ParseEnd(in_.substr(end + 1, second_end - end - 1));
      const char after = second_end < in_.size() ? in_[second_end] : '\0';
      if (after == '!') return Copy(second_end);  // Jan:Mar!A1, sheets named like cells
      const bool same_kind = second && (first->column == 0) == (second->column == 0) &&
                             (first->row == 0) == (second->row == 0);
      if (same_kind && after != '(') {
        MapColumns(*first, &*second, qualified);
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
    MapColumns(*first, nullptr, qualified);
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
  std::span<const std::uint32_t> targets_;
  bool mapped_ = false;
  bool uncertain_ = false;
  std::size_t i_ = 0;
  std::string out_;
};

}  // namespace

std::string ShiftFormula(std::string_view formula, std::int64_t rows, std::int64_t columns) {
  if (rows == 0 && columns == 0) return std::string(formula);
  return Shifter(formula, rows, columns).Run();
}

std::optional<std::string> MoveFormulaColumns(std::string_view formula, std::int64_t rows,
                                              std::span<const std::uint32_t> columns) {
  Shifter shifter(formula, rows, columns);
  std::string moved = shifter.Run();
  if (shifter.uncertain()) return std::nullopt;
  return moved;
}

}  // namespace tavrio::automation
