#include "app/sheets/number_format_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "app/sheets/date_format_text.h"
#include "automation/engine/number_format_code.h"

namespace tavrio::app::sheets {
namespace {

using automation::engine::ParseFormatCode;

// `value` as "d.ddde+xx" with `decimals` digits after the point, never in the locale's form.
std::string ScientificDigits(double value, int decimals) {
  char buffer[400];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, decimals)
          .ptr;
  return std::string(buffer, end);
}

// `value` (not negative) with `decimals` digits after the point, rounded half away from zero on
// its 15 significant digits, as spreadsheet applications round: 1.005 shows as 1.01 and 2.5 as
// 3, where printf would round the binary value to even.
std::string Fixed(double value, int decimals) {
  const std::string scientific = ScientificDigits(value, 14);  // d.dddddddddddddde±x
  std::string digits = scientific.substr(0, 1) + scientific.substr(2, 14);
  int whole_count = std::stoi(scientific.substr(17)) + 1;  // digits before the point
  const int keep = whole_count + decimals;
  if (keep < 0 || value == 0) {
    digits.clear();
  } else if (keep < static_cast<int>(digits.size())) {
    const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    for (std::size_t i = digits.size(); up; --i) {
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        ++whole_count;
        break;
      }
      if (digits[i - 1] == '9') {
        digits[i - 1] = '0';
      } else {
        ++digits[i - 1];
        break;
      }
    }
  }
  // Place the point: pad with zeros on either side as the digits' position asks.
  if (whole_count <= 0) {
    digits.insert(0, static_cast<std::size_t>(-whole_count + 1), '0');
    whole_count = 1;
  }
  const auto wanted = static_cast<std::size_t>(whole_count + decimals);
  if (digits.size() < wanted) digits.append(wanted - digits.size(), '0');
  digits.resize(wanted);
  std::string whole = digits.substr(0, static_cast<std::size_t>(whole_count));
  const std::size_t first = whole.find_first_not_of('0');
  whole = first == std::string::npos ? "0" : whole.substr(first);
  if (decimals == 0) return whole;
  return whole + "." + digits.substr(static_cast<std::size_t>(whole_count));
}

void TrimFractionZeros(std::string& text) {
  const std::size_t point = text.find('.');
  if (point == std::string::npos) return;
  const std::size_t last = text.find_last_not_of('0');
  text.erase(last == point ? point : last + 1);
}

// "1.234560E+011" -> "1.23456E+11"
std::string Scientific(double value, int decimals) {
  std::string text = ScientificDigits(value, decimals);
  const std::size_t e = text.find('e');
  std::string mantissa = text.substr(0, e);
  TrimFractionZeros(mantissa);
  int exponent = std::stoi(text.substr(e + 1));
  std::string digits = std::to_string(std::abs(exponent));
  if (digits.size() < 2) digits.insert(0, "0");
  return mantissa + (exponent < 0 ? "E-" : "E+") + digits;
}

std::string General(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return "0";
  if (magnitude >= 1e11 || magnitude < 1e-5) return Scientific(value, 5);
  const int whole_digits =
      magnitude < 1 ? 1 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
  std::string text = Fixed(magnitude, std::max(0, 10 - whole_digits));
  TrimFractionZeros(text);
  if (text == "0") return text;
  return value < 0 ? "-" + text : text;
}

// The digit placeholders of a number section, counted on each side of the point.
struct NumberLayout {
  std::string whole;     // 0 # ? before the point
  std::string fraction;  // after the point
  std::string exponent;  // after E+ / E-
  bool grouped = false;
  int thousands_divisions = 0;
  int percents = 0;
  bool has_point = false;
  bool scientific = false;
};

NumberLayout Layout(const FormatSection& section) {
  NumberLayout layout;
  const auto& tokens = section.tokens;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    switch (tokens[i].kind) {
      case TokenKind::kDigit:
        (layout.scientific  ? layout.exponent
         : layout.has_point ? layout.fraction
                            : layout.whole) += tokens[i].text;
        break;
      case TokenKind::kPoint:
        layout.has_point = true;
        break;
      case TokenKind::kExponent:
        layout.scientific = true;
        break;
      case TokenKind::kPercent:
        ++layout.percents;
        break;
      case TokenKind::kComma: {
        const bool digit_follows = i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::kDigit;
        const bool digit_before = i > 0 && (tokens[i - 1].kind == TokenKind::kDigit ||
                                            tokens[i - 1].kind == TokenKind::kComma);
        if (digit_follows && !layout.has_point)
          layout.grouped = true;
        else if (digit_before)
          ++layout.thousands_divisions;
        break;
      }
      default:
        break;
    }
  }
  return layout;
}

std::size_t Count(const std::string& placeholders, char c) {
  return static_cast<std::size_t>(std::count(placeholders.begin(), placeholders.end(), c));
}

std::string Grouped(const std::string& digits) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The whole digits, fraction digits and exponent of `value` (not negative) for the layout.
struct DigitText {
  std::string whole;
  std::string fraction;
  std::string exponent;
  bool exponent_negative = false;
};

double Rounded(double value, std::size_t decimals) {
  const std::string fixed = Fixed(value, static_cast<int>(decimals));
  double rounded = 0;
  std::from_chars(fixed.data(), fixed.data() + fixed.size(), rounded);
  return rounded;
}

// Brings `value` into the mantissa's range and returns the exponent. With "##0.0E+0" the
// exponent is a multiple of the whole digits' count.
int ScaleForExponent(double& value, const NumberLayout& layout) {
  if (value == 0) return 0;
  const int width = std::max<int>(1, static_cast<int>(layout.whole.size()));
  const bool engineering = width > 1 && layout.whole[0] == '#';
  const int step = engineering ? width : 1;
  const int magnitude = static_cast<int>(std::floor(std::log10(value)));
  int exponent = engineering
                     ? static_cast<int>(std::floor(magnitude / static_cast<double>(width))) * width
                     : magnitude - (width - 1);
  value /= std::pow(10.0, exponent);
  if (Rounded(value, layout.fraction.size()) >= std::pow(10.0, width)) {
    value /= std::pow(10.0, step);
    exponent += step;
  }
  return exponent;
}

std::string PadWhole(std::string digits, const NumberLayout& layout) {
  if (digits == "0" && Count(layout.whole, '0') == 0) digits.clear();
  const std::size_t zeros = Count(layout.whole, '0');
  const std::size_t spaces = Count(layout.whole, '?');
  if (digits.size() < zeros) digits.insert(0, zeros - digits.size(), '0');
  if (digits.size() < zeros + spaces) digits.insert(0, zeros + spaces - digits.size(), ' ');
  return layout.grouped ? Grouped(digits) : digits;
}

std::string TrimFraction(std::string digits, const std::string& placeholders) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (placeholders[i] == '0' || digits[i] != '0') break;
    if (placeholders[i] == '?')
      digits[i] = ' ';
    else
      digits.erase(i);
  }
  return digits;
}

DigitText Digits(double value, const NumberLayout& layout) {
  DigitText text;
  const int exponent = layout.scientific ? ScaleForExponent(value, layout) : 0;
  const std::string fixed = Fixed(value, static_cast<int>(layout.fraction.size()));
  const std::size_t point = fixed.find('.');
  text.whole = PadWhole(fixed.substr(0, point), layout);
  if (point != std::string::npos) {
    text.fraction = TrimFraction(fixed.substr(point + 1), layout.fraction);
  }
  if (layout.scientific) {
    text.exponent = std::to_string(std::abs(exponent));
    const std::size_t zeros = std::max<std::size_t>(1, Count(layout.exponent, '0'));
    if (text.exponent.size() < zeros) text.exponent.insert(0, zeros - text.exponent.size(), '0');
    text.exponent_negative = exponent < 0;
  }
  return text;
}

std::string FormatDigits(double value, const FormatSection& section, bool minus) {
  const NumberLayout layout = Layout(section);
  value *= std::pow(100.0, layout.percents);
  value /= std::pow(1000.0, layout.thousands_divisions);
  const DigitText digits = Digits(value, layout);
  std::string out;
  bool whole_written = false, fraction_written = false;
  for (const FormatToken& token : section.tokens) {
    switch (token.kind) {
      case TokenKind::kDigit:
        if (!whole_written) {
          out += digits.whole;
          whole_written = true;
        } else if (layout.has_point && !fraction_written && out.find('.') != std::string::npos) {
          out += digits.fraction;
          fraction_written = true;
        }
        break;
      case TokenKind::kPoint:
        if (!whole_written) {
          out += digits.whole;
          whole_written = true;
        }
        out += '.';
        if (!layout.fraction.empty()) {
          out += digits.fraction;
          fraction_written = true;
        }
        break;
      case TokenKind::kExponent:
        out += 'E';
        out += digits.exponent_negative ? "-" : token.text[1] == '+' ? "+" : "";
        out += digits.exponent;
        break;
      case TokenKind::kPercent:
        out += '%';
        break;
      case TokenKind::kLiteral:
        out += token.text;
        break;
      default:
        break;
    }
  }
  const bool all_zero = out.find_first_of("123456789") == std::string::npos;
  return minus && !all_zero ? "-" + out : out;
}

std::string FormatSectionText(double value, const FormatSection& section, bool minus) {
  if (section.Has(TokenKind::kGeneral)) {
    std::string out;
    for (const FormatToken& token : section.tokens) {
      if (token.kind == TokenKind::kGeneral)
        out += General(minus ? -value : value);
      else if (token.kind == TokenKind::kLiteral)
        out += token.text;
    }
    return out;
  }
  if (section.IsDate()) return FormatDate(minus ? -value : value, section);
  if (!section.Has(TokenKind::kDigit) && !section.Has(TokenKind::kPoint)) {
    std::string out = minus ? "-" : "";
    for (const FormatToken& token : section.tokens) {
      if (token.kind == TokenKind::kLiteral) out += token.text;
      if (token.kind == TokenKind::kText) out += General(value);
    }
    return out;
  }
  return FormatDigits(value, section, minus);
}

}  // namespace

std::string FormatNumber(double value, std::string_view code) {
  if (!std::isfinite(value)) return "#NUM!";
  std::vector<FormatSection> sections = ParseFormatCode(code);
  if (sections.size() == 1 && sections[0].tokens.empty()) return General(value);
  if (value < 0 && sections.size() >= 2) return FormatSectionText(-value, sections[1], false);
  if (value == 0 && sections.size() >= 3) return FormatSectionText(0, sections[2], false);
  return FormatSectionText(std::fabs(value), sections[0], value < 0);
}

std::optional<std::uint32_t> NumberColor(double value, std::string_view code) {
  if (!std::isfinite(value)) return std::nullopt;
  const std::vector<FormatSection> sections = ParseFormatCode(code);
  if (value < 0 && sections.size() >= 2) return sections[1].color;
  if (value == 0 && sections.size() >= 3) return sections[2].color;
  return sections.empty() ? std::nullopt : sections[0].color;
}

std::optional<std::uint32_t> TextColor(std::string_view code) {
  const std::vector<FormatSection> sections = ParseFormatCode(code);
  if (sections.size() >= 4) return sections[3].color;
  if (sections.size() == 1 && sections[0].Has(TokenKind::kText)) return sections[0].color;
  return std::nullopt;
}

}  // namespace tavrio::app::sheets
