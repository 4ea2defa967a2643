#include "automation/readers/biff_formula_text.h"

#include <charconv>
#include <cmath>

#include "automation/base/ascii.h"
#include "automation/base/utf8.h"

namespace tavrio::automation::readers {
namespace {

bool IsNameCharacter(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '.' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// One to three letters then digits (A1, XFD1048576): a name Excel would take for a cell.
// "Sheet2" has too many letters for a column.
bool ReadsAsA1Cell(std::string_view name) {
  std::size_t i = 0;
  while (i < name.size() && IsAsciiLetter(name[i])) ++i;
  if (i == 0 || i > 3 || i == name.size()) return false;
  while (i < name.size() && IsAsciiDigit(name[i])) ++i;
  return i == name.size();
}

// R, C, RC, R1, C2, R1C2: a name Excel would take for a cell in R1C1 notation.
bool ReadsAsR1C1Cell(std::string_view name) {
  std::size_t i = 0;
  auto part = [&](char letter) {
    if (i < name.size() && AsciiUppercase(name[i]) == letter) {
      ++i;
      while (i < name.size() && IsAsciiDigit(name[i])) ++i;
    }
  };
  part('R');
  part('C');
  return i > 0 && i == name.size();
}

bool NeedsQuotes(std::string_view name) {
  if (name.empty() || IsAsciiDigit(name[0]) || name[0] == '.') return true;
  for (char c : name) {
    if (!IsNameCharacter(c)) return true;
  }
  const std::string upper = [&] {
    std::string text(name);
    for (char& c : text) c = AsciiUppercase(c);
    return text;
  }();
  return ReadsAsA1Cell(name) || ReadsAsR1C1Cell(name) || upper == "TRUE" || upper == "FALSE";
}

void AppendDoublingQuotes(std::string_view text, char quote, std::string& out) {
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
}

}  // namespace

std::optional<std::string_view> BiffErrorText(std::uint8_t code) {
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
    case 0x2A:
      return "#N/A";
    default:
      return std::nullopt;
  }
}

std::optional<std::string> FormulaNumberText(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == 'e') c = 'E';
  }
  return text;
}

std::string FormulaStringText(std::string_view utf8) {
  std::string out = "\"";
  AppendDoublingQuotes(utf8, '"', out);
  out += '"';
  return out;
}

std::optional<std::string> Utf16ToUtf8(std::span<const std::uint8_t> bytes, bool compressed) {
  const std::size_t unit_size = compressed ? 1 : 2;
  const std::size_t count = bytes.size() / unit_size;
  auto unit = [&](std::size_t i) -> std::uint32_t {
    return compressed ? bytes[i] : bytes[2 * i] | (bytes[2 * i + 1] << 8);
  };
  std::string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t code = unit(i);
    if (code >= 0xDC00 && code <= 0xDFFF) return std::nullopt;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 1 == count) return std::nullopt;
      const std::uint32_t low = unit(++i);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(code, out);
  }
  return out;
}

std::string SheetPrefix(std::string_view first, std::string_view last) {
  const bool quoted = NeedsQuotes(first) || (!last.empty() && NeedsQuotes(last));
  std::string out;
  if (quoted) out += '\'';
  AppendDoublingQuotes(first, '\'', out);
  if (!last.empty()) {
    out += ':';
    AppendDoublingQuotes(last, '\'', out);
  }
  if (quoted) out += '\'';
  out += '!';
  return out;
}

bool IsPlainFormulaName(std::string_view name) { return !NeedsQuotes(name); }

}  // namespace tavrio::automation::readers
