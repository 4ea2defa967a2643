#include "automation/engine/number_format_code.h"

#include <algorithm>

#include "automation/base/ascii.h"

namespace tavrio::automation::engine {
namespace {

constexpr std::string_view kChineseAmPm = "上午/下午";

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLowercase(text[at + i]) != AsciiLowercase(prefix[i])) {
      return false;
    }
  }
  return true;
}

std::size_t RunLength(std::string_view text, std::size_t at) {
  const char c = AsciiLowercase(text[at]);
  std::size_t end = at;
  while (end < text.size() && AsciiLowercase(text[end]) == c) ++end;
  return end - at;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view section) : code_(section) {}

  FormatSection Run() {
    while (at_ < code_.size()) Next();
    ResolveMinutes();
    return std::move(section_);
  }

 private:
  void Add(TokenKind kind, std::string text) {
    if (kind == TokenKind::kLiteral && !section_.tokens.empty() &&
        section_.tokens.back().kind == TokenKind::kLiteral) {
      section_.tokens.back().text += text;
      return;
    }
    section_.tokens.push_back({kind, std::move(text)});
  }

  void AddRun(TokenKind kind) {
    const std::size_t length = RunLength(code_, at_);
    Add(kind, std::string(code_.substr(at_, length)));
    at_ += length;
  }

  void Next() {
    const char c = code_[at_];
    const char lower = AsciiLowercase(c);
    if (c == '"') return Quoted();
    if (c == '\\' || c == '_' || c == '*') return Escaped(c);
    if (c == '[') return Bracket();
    if (StartsWithIgnoringCase(code_, at_, "General")) return Keyword(TokenKind::kGeneral, 7);
    if (StartsWithIgnoringCase(code_, at_, "AM/PM")) return Keyword(TokenKind::kAmPm, 5);
    if (StartsWithIgnoringCase(code_, at_, "A/P")) return Keyword(TokenKind::kAmPm, 3);
    if (code_.substr(at_, kChineseAmPm.size()) == kChineseAmPm) {
      return Keyword(TokenKind::kAmPm, kChineseAmPm.size());
    }
    if (StartsWithIgnoringCase(code_, at_, "E+") || StartsWithIgnoringCase(code_, at_, "E-")) {
      return Keyword(TokenKind::kExponent, 2);
    }
    switch (lower) {
      case 'y':
      case 'e':
        return AddRun(TokenKind::kYear);
      case 'm':
        return AddRun(TokenKind::kMonth);
      case 'd':
        return AddRun(TokenKind::kDay);
      case 'a':
        if (RunLength(code_, at_) >= 3) return AddRun(TokenKind::kWeekday);
        break;
      case 'h':
        return AddRun(TokenKind::kHour);
      case 's':
        return AddRun(TokenKind::kSecond);
      case '0':
      case '#':
      case '?':
        return Keyword(TokenKind::kDigit, 1);
      case '.':
        return Point();
      case ',':
        return Keyword(TokenKind::kComma, 1);
      case '%':
        return Keyword(TokenKind::kPercent, 1);
      case '@':
        return Keyword(TokenKind::kText, 1);
      default:
        break;
    }
    Add(TokenKind::kLiteral, std::string(1, c));
    ++at_;
  }

  void Keyword(TokenKind kind, std::size_t length) {
    Add(kind, std::string(code_.substr(at_, length)));
    at_ += length;
  }

  void Quoted() {
    const std::size_t end = code_.find('"', at_ + 1);
    const std::size_t stop = end == std::string_view::npos ? code_.size() : end;
    Add(TokenKind::kLiteral, std::string(code_.substr(at_ + 1, stop - at_ - 1)));
    at_ = stop + 1;
  }

  void Escaped(char marker) {
    std::size_t length = 1;
    // The escaped character may be several bytes of UTF-8.
    while (at_ + 1 + length < code_.size() && (code_[at_ + 1 + length] & 0xC0) == 0x80) ++length;
    if (at_ + 1 < code_.size()) {
      if (marker == '\\') Add(TokenKind::kLiteral, std::string(code_.substr(at_ + 1, length)));
      // _x leaves the width of x, which a grid cell shows as one space.
      if (marker == '_') Add(TokenKind::kLiteral, " ");
    }
    at_ += 1 + length;
  }

  void Bracket() {
    const std::size_t end = code_.find(']', at_ + 1);
    if (end == std::string_view::npos) {
      at_ = code_.size();
      return;
    }
    const std::string_view inside = code_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    if (!inside.empty() && inside[0] == '$') {
      const std::size_t dash = inside.find('-');
      const std::string_view symbol =
          inside.substr(1, dash == std::string_view::npos ? dash : dash - 1);
      if (!symbol.empty()) Add(TokenKind::kLiteral, std::string(symbol));
      return;
    }
    const bool one_letter =
        !inside.empty() && std::all_of(inside.begin(), inside.end(), [&](char c) {
          return AsciiLowercase(c) == AsciiLowercase(inside[0]);
        });
    if (!one_letter) {
      // Else a condition or a locale tag, which change nothing shown here.
      if (const auto color = FormatColor(inside)) section_.color = color;
      return;
    }
    switch (AsciiLowercase(inside[0])) {
      case 'h':
        return Add(TokenKind::kElapsedHour, std::string(inside));
      case 'm':
        return Add(TokenKind::kElapsedMinute, std::string(inside));
      case 's':
        return Add(TokenKind::kElapsedSecond, std::string(inside));
      default:
        return;
    }
  }

  void Point() {
    // After seconds, ".00" is a fraction of the second, not a decimal point.
    const auto last_time =
        std::find_if(section_.tokens.rbegin(), section_.tokens.rend(),
                     [](const FormatToken& t) { return t.kind != TokenKind::kLiteral; });
    const bool after_seconds =
        last_time != section_.tokens.rend() &&
        (last_time->kind == TokenKind::kSecond || last_time->kind == TokenKind::kElapsedSecond);
    std::size_t zeros = 0;
    while (at_ + 1 + zeros < code_.size() && code_[at_ + 1 + zeros] == '0') ++zeros;
    if (after_seconds && zeros > 0) {
      Add(TokenKind::kSubsecond, std::string(code_.substr(at_, zeros + 1)));
      at_ += zeros + 1;
      return;
    }
    Keyword(TokenKind::kPoint, 1);
  }

  // A month code means minutes right after hours or right before seconds.
  void ResolveMinutes() {
    auto& tokens = section_.tokens;
    auto is_time_part = [](TokenKind kind) { return kind != TokenKind::kLiteral; };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (tokens[i].kind != TokenKind::kMonth || tokens[i].text.size() > 2) continue;
      std::size_t before = i;
      while (before > 0 && !is_time_part(tokens[before - 1].kind)) --before;
      std::size_t after = i + 1;
      while (after < tokens.size() && !is_time_part(tokens[after].kind)) ++after;
      const bool after_hours = before > 0 && (tokens[before - 1].kind == TokenKind::kHour ||
                                              tokens[before - 1].kind == TokenKind::kElapsedHour);
      const bool before_seconds =
          after < tokens.size() && (tokens[after].kind == TokenKind::kSecond ||
                                    tokens[after].kind == TokenKind::kElapsedSecond);
      if (after_hours || before_seconds) tokens[i].kind = TokenKind::kMinute;
    }
  }

  std::string_view code_;
  std::size_t at_ = 0;
  FormatSection section_;
};

}  // namespace

bool FormatSection::IsDate() const {
  return std::any_of(tokens.begin(), tokens.end(),
                     [](const FormatToken& token) { return token.kind >= TokenKind::kYear; });
}

bool FormatSection::Has(TokenKind kind) const {
  return std::any_of(tokens.begin(), tokens.end(),
                     [kind](const FormatToken& token) { return token.kind == kind; });
}

std::optional<std::uint32_t> FormatColor(std::string_view name) {
  // The default 56-colour palette that [ColorN] indexes.
  static constexpr std::uint32_t kPalette[56] = {
      0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
      0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
      0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
      0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
      0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
      0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
      0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
  struct Named {
    std::string_view english;
    std::string_view chinese;
    std::uint32_t rgb;
  };
  static constexpr Named kNamed[] = {{"black", "黑色", 0x000000},   {"white", "白色", 0xFFFFFF},
                                     {"red", "红色", 0xFF0000},     {"green", "绿色", 0x00FF00},
                                     {"blue", "蓝色", 0x0000FF},    {"yellow", "黄色", 0xFFFF00},
                                     {"magenta", "洋红", 0xFF00FF}, {"cyan", "青色", 0x00FFFF}};
  std::string lower(name);
  for (char& c : lower) c = AsciiLowercase(c);
  for (const Named& named : kNamed) {
    if (lower == named.english || name == named.chinese) return named.rgb;
  }
  for (std::string_view prefix : {std::string_view("color"), std::string_view("颜色")}) {
    if (!lower.starts_with(prefix)) continue;
    const std::string_view digits = std::string_view(lower).substr(prefix.size());
    if (digits.empty() || digits.size() > 2 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    const int index = std::stoi(std::string(digits));
    if (index >= 1 && index <= 56) return kPalette[index - 1];
  }
  return std::nullopt;
}

std::vector<FormatSection> ParseFormatCode(std::string_view code) {
  std::vector<FormatSection> sections;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= code.size(); ++i) {
    if (i == code.size() || code[i] == ';') {
      sections.push_back(Tokenizer(code.substr(start, i - start)).Run());
      start = i + 1;
    } else if (code[i] == '"') {
      const std::size_t end = code.find('"', i + 1);
      i = end == std::string_view::npos ? code.size() - 1 : end;
    } else if (code[i] == '\\' || code[i] == '_' || code[i] == '*') {
      if (i + 1 < code.size()) ++i;
    } else if (code[i] == '[') {
      const std::size_t end = code.find(']', i + 1);
      i = end == std::string_view::npos ? code.size() - 1 : end;
    }
  }
  return sections;
}

}  // namespace tavrio::automation::engine
