// The straight-line path for the cell shape nearly every spreadsheet application writes.

#include <charconv>
#include <cmath>
#include <cstring>

#include "automation/base/sheet_limits.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/row_parser.h"

namespace tavrio::automation::readers {
namespace {

template <std::size_t N>
bool HasAt(std::string_view data, std::size_t pos, const char (&literal)[N]) {
  return pos <= data.size() && data.size() - pos >= N - 1 &&
         std::memcmp(data.data() + pos, literal, N - 1) == 0;
}

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Where the text at `begin` ends (at '<' or the end of the data), or `begin` when it holds
// anything the general path would have to decode (an entity, a carriage return).
std::size_t PlainTextEnd(std::string_view data, std::size_t begin) {
  std::size_t end = begin;
  for (; end < data.size() && data[end] != '<'; ++end) {
    if (data[end] == '&' || data[end] == '\r') return begin;
  }
  return end;
}

// Reads at most `max_digits` digits at `i`; false when there are none or more follow.
bool Digits(std::string_view data, std::size_t& i, int max_digits, std::uint64_t& value) {
  const std::size_t begin = i;
  value = 0;
  for (; i < data.size() && Digit(data[i]); ++i) {
    if (static_cast<int>(i - begin) == max_digits) return false;
    value = value * 10 + static_cast<std::uint64_t>(data[i] - '0');
  }
  return i > begin;
}

}  // namespace

// <c r="B7" s="3" t="s"><v>12</v></c> with s and t optional and t either "s" or "n": the
// attributes in this order, double-quoted, one space apart, the value plain; a plain <f>
// without attributes may come before the value. Every check the
// general path makes is made here too, and any cell that is otherwise, or that the general
// path would refuse, is left to it untouched, so a fault reads the same whichever path met it.
bool RowParser::FastCell(std::size_t at, std::uint16_t& column, std::size_t& end) {
  const std::string_view data = data_;
  if (!HasAt(data, at, "<c r=\"")) return false;
  std::size_t i = at + 6;
  std::uint32_t col = 0;
  const std::size_t letters = i;
  for (; i < data.size() && i - letters < 3 && data[i] >= 'A' && data[i] <= 'Z'; ++i) {
    col = col * 26 + static_cast<std::uint32_t>(data[i] - 'A' + 1);
  }
  std::uint64_t row = 0;
  if (i == letters || col > kMaxColumns || !Digits(data, i, 7, row) || row == 0 || row > kMaxRows ||
      !HasAt(data, i, "\"")) {
    return false;
  }
  ++i;
  std::uint64_t style = 0;
  if (HasAt(data, i, " s=\"")) {
    i += 4;
    if (!Digits(data, i, 9, style) || style >= context_.style_count || !HasAt(data, i, "\"")) {
      return false;
    }
    ++i;
  }
  bool shared = false;
  if (HasAt(data, i, " t=\"s\"")) {
    shared = true;
    i += 6;
  } else if (HasAt(data, i, " t=\"n\"")) {
    i += 6;
  }
  if (!HasAt(data, i, ">")) return false;
  ++i;
  std::string_view formula;
  if (HasAt(data, i, "<f>")) {
    i += 3;
    const std::size_t formula_end = PlainTextEnd(data, i);
    // An empty formula is none, which the general path decides on.
    if (formula_end == i || !HasAt(data, formula_end, "</f>")) return false;
    formula = data.substr(i, formula_end - i);
    i = formula_end + 4;
  }
  if (!HasAt(data, i, "<v>")) return false;
  i += 3;
  const std::size_t close = PlainTextEnd(data, i);
  // An empty value makes a blank cell, which the general path decides on.
  if (close == i || !HasAt(data, close, "</v></c>")) return false;
  const char* first = data.data() + i;
  const char* last = data.data() + close;
  Cell cell{static_cast<std::uint32_t>(row),
            static_cast<std::uint16_t>(col),
            static_cast<std::uint32_t>(style),
            Kind::kNumber,
            0,
            0,
            0};
  if (shared) {
    std::uint64_t index = 0;
    const auto [stop, error] = std::from_chars(first, last, index);
    const std::size_t count = context_.strings ? context_.strings->size() : 0;
    if (error != std::errc() || stop != last || index >= count) return false;
    cell.kind = Kind::kShared;
    cell.text_begin = index;
  } else {
    // What ParseNumber takes without trimming: a sign, digit or point first, finite.
    if (!Digit(*first) && *first != '-' && *first != '.') return false;
    const auto [stop, error] = std::from_chars(first, last, cell.number);
    if (error != std::errc() || stop != last || !std::isfinite(cell.number)) return false;
  }
  Enter(at);  // the same nesting limit as the general path
  --depth_;
  if (!formula.empty()) {
    std::string scratch;  // allocated only for a formula holding an _xHHHH_ escape
    const std::string_view decoded = DecodeEscapes(formula, scratch);
    cell.formula_begin = texts_.size();
    cell.formula_size = decoded.size();
    texts_.append(decoded);
  }
  column = cell.column;
  cells_.push_back(cell);
  end = close + 8;
  return true;
}

}  // namespace tavrio::automation::readers
