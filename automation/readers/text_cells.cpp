#include "automation/readers/text_cells.h"

#include <charconv>
#include <filesystem>

#include "automation/base/ascii.h"
#include "automation/base/sheet_limits.h"
#include "automation/base/utf8.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

enum TextStyle : std::uint32_t { kGeneral, kDate, kDateTime };

constexpr std::size_t kMaxSignificantDigits = 15;
constexpr std::size_t kMaxWholeNumberDigits = 10;
constexpr std::size_t kMaxTextUnits = 32767;

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool ReadsAsNumber(std::string_view text, double& value) {
  std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
  std::size_t whole = 0;
  while (whole < digits.size() && IsAsciiDigit(digits[whole])) ++whole;
  if (whole == 0 || (whole > 1 && digits[0] == '0')) return false;
  std::size_t fraction = 0;
  if (whole < digits.size()) {
    if (digits[whole] != '.') return false;
    for (char c : digits.substr(whole + 1)) {
      if (!IsAsciiDigit(c)) return false;
      ++fraction;
    }
    if (fraction == 0) return false;
  } else if (whole > kMaxWholeNumberDigits) {
    return false;
  }
  std::string significant;
  for (char c : digits) {
    if (IsAsciiDigit(c) && (c != '0' || !significant.empty())) significant.push_back(c);
  }
  if (fraction > 0) {
    while (!significant.empty() && significant.back() == '0') significant.pop_back();
  }
  if (significant.size() > kMaxSignificantDigits) return false;
  if (text == "-0") return false;
  return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

bool ReadsAsDate(std::string_view text, double& value, std::uint32_t& style) {
  if (text.size() != 10 && text.size() != 19) return false;
  if (text[4] != '-' || text[7] != '-') return false;
  std::string iso(text);
  if (text.size() == 19) {
    if (text[10] != ' ') return false;
    iso[10] = 'T';
  }
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!IsAsciiDigit(text[i])) return false;
  }
  if (!ParseIsoDate(iso, false, value)) return false;
  style = text.size() == 10 ? kDate : kDateTime;
  return true;
}

std::string Where(std::uint64_t row, std::uint64_t column) {
  return "第 " + std::to_string(row) + " 行第 " + std::to_string(column) + " 列";
}

}  // namespace

const std::vector<StyleInfo>& TextCellStyles() {
  static const std::vector<StyleInfo> styles = [] {
    std::vector<StyleInfo> formats(3);
    formats[kDate].number_format = "yyyy-mm-dd";
    formats[kDateTime].number_format = "yyyy-mm-dd hh:mm:ss";
    return formats;
  }();
  return styles;
}

void TextCellWriter::CheckPlace(std::uint64_t row, std::uint64_t column) {
  if (row > kMaxRows) {
    throw ReadFault("行数超过一个工作表的上限 " + std::to_string(kMaxRows) + " 行");
  }
  if (column > kMaxColumns) {
    throw ReadFault("第 " + std::to_string(row) + " 行的列数超过一个工作表的上限 " +
                    std::to_string(kMaxColumns) + " 列");
  }
}

void TextCellWriter::Number(std::uint64_t row, std::uint64_t column, double value) {
  CheckPlace(row, column);
  sink_.Put(SinkCell::Number(static_cast<std::uint32_t>(row), static_cast<std::uint16_t>(column),
                             value, kGeneral));
}

void TextCellWriter::Field(std::uint64_t row, std::uint64_t column, std::string_view text,
                           bool keep_text) {
  if (text.empty()) return;
  CheckPlace(row, column);
  if (!keep_text && text.size() >= 3 && text.starts_with("=\"") && text.ends_with('"')) {
    text = text.substr(2, text.size() - 3);
    keep_text = true;
  }
  if (Utf16Length(text) > kMaxTextUnits) {
    throw ReadFault(Where(row, column) + "的文本超过一个单元格的上限 " +
                    std::to_string(kMaxTextUnits) + " 个字符");
  }
  const auto r = static_cast<std::uint32_t>(row);
  const auto c = static_cast<std::uint16_t>(column);
  double value = 0;
  std::uint32_t style = kGeneral;
  if (!keep_text && ReadsAsNumber(TrimSpaces(text), value)) {
    sink_.Put(SinkCell::Number(r, c, value, kGeneral));
  } else if (!keep_text && ReadsAsDate(text, value, style)) {
    sink_.Put(SinkCell::Number(r, c, value, style));
  } else {
    sink_.Put(SinkCell::Text(r, c, text, kGeneral));
  }
}

std::string SheetNameForFile(const std::string& path) {
  std::string stem = std::filesystem::path(path).stem().string();
  std::string name;
  std::size_t units = 0;
  for (std::size_t i = 0; i < stem.size();) {
    auto lead = static_cast<unsigned char>(stem[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::size_t width = length == 4 ? 2 : 1;
    if (units + width > 31) break;
    std::string_view character(stem.data() + i, std::min(length, stem.size() - i));
    bool forbidden = character.size() == 1 &&
                     std::string_view("[]:*?/\\").find(character[0]) != std::string_view::npos;
    name.append(forbidden ? "_" : character);
    units += width;
    i += length;
  }
  return name.empty() ? "Sheet1" : name;
}

}  // namespace tavrio::automation::readers
